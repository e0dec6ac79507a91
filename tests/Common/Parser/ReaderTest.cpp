#include "Common/Parser/Reader.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::ExpectFault;
using parsertest::Parse;
using ReaderChildren = parsertest::ParserTest;
using ReaderFaults = parsertest::ParserTest;
using ReaderPrologue = parsertest::ParserTest;
using ReaderEncoding = parsertest::ParserTest;
using ReaderPreserve = parsertest::ParserTest;
using ReaderLimits = parsertest::ParserTest;
using ReaderTracking = parsertest::ParserTest;
using ReaderThreads = parsertest::ParserTest;

struct ChildCase {
  const char* text;
  const char* children;  // of the root
};

TEST_F(ReaderChildren, KeepsContentAsWritten) {
  const ChildCase cases[] = {
      {"<a><b/></a>", "T\"\" E(b) T\"\""},
      {"<a/>", ""},
      {"<a></a>", "T\"\""},
      {"<a>x&amp;y</a>", "T\"x&amp;y\""},
      {"<a>x&nbsp;y</a>", "T\"x\" R(nbsp) T\"y\""},
      {"<a>&nbsp;</a>", "T\"\" R(nbsp) T\"\""},
      {"<a>&#65;&#x41;&#zz &lt;&gt;&apos;&quot;</a>", "T\"&#65;&#x41;&#zz &lt;&gt;&apos;&quot;\""},
      {"<a>x]y]]z]</a>", "T\"x]y]]z]\""},
      {"<a>l1\r\nl2\rl3</a>", "T\"l1\r\nl2\rl3\""},
      {"<a><!--c--><?p  d e?><![CDATA[x<y]]]></a>",
       "T\"\" C\"c\" T\"\" P(p)\"d e\" T\"\" D\"x<y]\" T\"\""},
      {"<a ><b></b ></a >", "T\"\" E(b) T\"\""},
      {"<svg:a>\xC0\xFF</svg:a>", "T\"\xC0\xFF\""},
  };
  for (const ChildCase& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    ASSERT_NE(document->root, nullptr);
    EXPECT_EQ(DescribeChildren(*document->root), c.children);
  }
}

TEST_F(ReaderChildren, NestsElementsWithTheirParents) {
  auto document = Parse("<a>1<b>2<c/>3</b>4</a>");
  const Element& a = *document->root;
  EXPECT_EQ(DescribeChildren(a), "T\"1\" E(b) T\"4\"");
  const auto& b = static_cast<const Element&>(*a.children[1]);
  EXPECT_EQ(DescribeChildren(b), "T\"2\" E(c) T\"3\"");
  EXPECT_EQ(b.parent, &a);
  EXPECT_EQ(a.parent, document.get());
  EXPECT_EQ(b.children[1]->parent, &b);
}

TEST_F(ReaderChildren, KeepsAttributesRawAndInOrder) {
  auto document = Parse("<a x='1' y = \"a&lt;b\" z='' x=\"two\nlines\r\n\" q='it\"s'/>");
  const Element& a = *document->root;
  struct Expected {
    const char* name;
    const char* raw;
  };
  const Expected expected[] = {
      {"x", "1"}, {"y", "a&lt;b"}, {"z", ""}, {"x", "two\nlines\r\n"}, {"q", "it\"s"}};
  ASSERT_EQ(a.attributes.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(expected[i].name);
    const Attribute& attribute = *a.attributes[i];
    EXPECT_EQ(attribute.name, expected[i].name);
    EXPECT_EQ(attribute.parent, &a);
    ASSERT_EQ(attribute.children.size(), 1u);
    EXPECT_EQ(attribute.children[0]->parent, &attribute);
    EXPECT_EQ(DescribeChildren(attribute), std::string("T\"") + expected[i].raw + "\"");
  }
  EXPECT_EQ(a.attributes[1]->GetText(), "a&lt;b");
  EXPECT_EQ(a.attributes[3]->GetText(), "two\nlines");
}

// Equal names, values and text runs share their bytes within a document;
// strings that differ in one byte, at any place and length around the
// word boundaries of the comparison, must each keep their own.
TEST_F(ReaderChildren, KeepsLookAlikeStringsApart) {
  const std::string values[] = {
      "a",        "b",        "ab",        "ba",        "abcdefg",          "abcdefh",
      "abcdefgh", "abcdefgi", "abcdefghi", "abcdefghj", "abcdefghijklmnop", "abcdefghijklmnoq",
      "abcdefghijklmnopq",    "abcdefghijklmnopr",      "\n  ",             "\n   ",
      "a",        "abcdefgh"};
  std::string text = "<r>";
  for (const std::string& value : values) text += "<e v='" + value + "'>" + value + "</e>";
  text += "</r>";
  auto document = Parse(text);
  std::size_t index = 0;
  for (const Node* child : document->root->children) {
    if (!child->IsType(kElementNode)) continue;
    ASSERT_LT(index, std::size(values));
    const std::string& value = values[index++];
    SCOPED_TRACE(value);
    const auto& element = static_cast<const Element&>(*child);
    EXPECT_EQ(element.name, "e");
    EXPECT_EQ(DescribeChildren(*element.attributes[0]), "T\"" + value + "\"");
    EXPECT_EQ(DescribeChildren(element), "T\"" + value + "\"");
  }
  EXPECT_EQ(index, std::size(values));
}

TEST_F(ReaderPrologue, ReadsTheXmlDeclaration) {
  struct Case {
    const char* text;
    const char* version;
    const char* encoding;
    int standalone;
  };
  const Case cases[] = {
      {"<a/>", "1.0", "UTF-8", 1},
      {"<?xml version=\"1.1\"?><a/>", "1.1", "UTF-8", 1},
      {"<?xml version = '1.0' encoding = 'ISO-8859-1' standalone = 'no' ?>\n<a/>", "1.0",
       "ISO-8859-1", 0},
      {"<?xml version='1.0' standalone=\"yes\"?><a/>", "1.0", "UTF-8", 1},
      {"<?xml\tversion='v_1:x-2' encoding=\"latin1\"?><a/>", "v_1:x-2", "latin1", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    EXPECT_EQ(document->version, c.version);
    EXPECT_EQ(document->encoding, c.encoding);
    EXPECT_EQ(document->standalone, c.standalone);
  }
}

TEST_F(ReaderPrologue, KeepsCommentsAndInstructionsAroundTheRoot) {
  const ChildCase cases[] = {
      {"<?xml version='1.0'?>\n<!-- head -->\n<?xml-stylesheet href='s.css'?>\n"
       "<svg/>\n<!-- tail --> \n<?end?>\n",
       "C\" head \" P(xml-stylesheet)\"href='s.css'\" E(svg) C\" tail \" P(end)\"\""},
      // At the very start, a stylesheet instruction is no XML declaration.
      {"<?xml-stylesheet href='s.css'?><svg/>", "P(xml-stylesheet)\"href='s.css'\" E(svg)"},
  };
  for (const ChildCase& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    EXPECT_EQ(DescribeChildren(*document), c.children);
    EXPECT_EQ(document->root->name, "svg");
    EXPECT_EQ(document->root->parent, document.get());
  }
}

// Positions count from line 1; on the first line the first character has
// column 2, on later lines column 1; the end of the input is one character
// past the last byte.
TEST_F(ReaderFaults, ReportsCodeLineAndColumn) {
  const parsertest::ExpectedFault cases[] = {
      {"", kErrNoRoot, 1, 1},
      {"x", kErrNoRoot, 1, 1},
      {"\xEF\xBB\xBF<a/>", kErrNoRoot, 1, 1},
      {"<?xml version='1.0'?>  \n <!-- c -->", kErrNoRoot, 2, 11},
      {"<a>", kErrEndOfInput, 1, 5},
      {"<a b='x", kErrEndOfInput, 1, 9},
      {std::string_view("<a>\0</a>", 8), kErrEndOfInput, 1, 5},
      {"<a b c='1'/>", kErrMissingEquals, 1, 5},
      {"<a b=x/>", kErrMissingValue, 1, 7},
      {"<a b='<'/>", kErrLessThanInValue, 1, 8},
      {"<a>&x y</a>", kErrBadReference, 1, 7},
      {"<a>&;</a>", kErrBadReference, 1, 5},
      {"<a>&x", kErrBadReference, 1, 7},
      {"<a>< b/></a>", kErrMissingName, 1, 5},
      {"<a><!x></a>", kErrMissingName, 1, 5},
      {"<a></ a>", kErrMissingName, 1, 6},
      {"<1/>", kErrMissingName, 1, 2},
      {"<a/x>", kErrEmptyTagNotClosed, 1, 5},
      {"<a b='1'c='2'/>", kErrTagNotClosed, 1, 10},
      {"<a></a", kErrTagNotClosed, 1, 8},
      {"<a></a x>", kErrTagNotClosed, 1, 9},
      {"<a></b>", kErrEndTagMismatch, 1, 7},
      {"<a></A>", kErrEndTagMismatch, 1, 7},
      {"<a><b></a></b>", kErrEndTagMismatch, 1, 10},
      {"<a>]]></a>", kErrCDataEndInContent, 1, 7},
      {"<?xml?><a/>", kErrBadVersion, 1, 6},
      {"<?xml encoding='x'?><a/>", kErrBadVersion, 1, 7},
      {"<?xml version=1.0?><a/>", kErrBadVersion, 1, 16},
      {"<?xml version=''?><a/>", kErrBadVersion, 1, 16},
      {"<?xml version='1.0\"?><a/>", kErrBadVersion, 1, 20},
      {"<?xml version '1.0'?><a/>", kErrMissingEquals, 1, 14},
      {"<?xml version='1.0'<a/>", kErrDeclarationNotClosed, 1, 20},
      {"<?xml version='1.0' ?<a/>", kErrDeclarationNotClosed, 1, 21},
      {"<?xml version='1.0' encoding=UTF-8?><a/>", kErrEncodingQuote, 1, 31},
      {"<?xml version='1.0' encoding='8x'?><a/>", kErrBadEncoding, 1, 31},
      {"<?xml version='1.0' encoding='a b'?><a/>", kErrBadEncoding, 1, 33},
      {"<?xml version='1.0' standalone=yes?><a/>", kErrStandaloneQuote, 1, 33},
      {"<?xml version='1.0' standalone='maybe'?><a/>", kErrBadStandalone, 1, 34},
      {"<?xml version='1.0' standalone='no\"?><a/>", kErrBadStandalone, 1, 36},
      {"<!-- a -- b --><a/>", kErrDoubleHyphen, 1, 11},
      {"<a><!-- a --x --></a>", kErrDoubleHyphen, 1, 14},
      {"<!-- x", kErrEndOfInput, 1, 8},
      {"<!-- x -", kErrEndOfInput, 1, 10},
      {"<? x?><a/>", kErrPiWithoutTarget, 1, 3},
      {"<a/><?XmL x?>", kErrReservedPiTarget, 1, 10},
      {" <?xml version='1.0'?><a/>", kErrReservedPiTarget, 1, 7},
      {"<?p x", kErrEndOfInput, 1, 7},
      {"<?p x?", kErrEndOfInput, 1, 8},
      {"<a><![CDATA[x", kErrEndOfInput, 1, 15},
      {"<a><![CDATA[x]]", kErrEndOfInput, 1, 17},
      {"<a/>x", kErrTrailingContent, 1, 6},
      {"<a/><b/>", kErrTrailingContent, 1, 6},
      {"<a/>\n <!-- c -->\n &amp;", kErrTrailingContent, 3, 2},
      // Every kind of line end counts one line.
      {"<a>\n<b>\n</a>", kErrEndTagMismatch, 3, 3},
      {"<a>\r\n<b>\r\n</a>", kErrEndTagMismatch, 3, 3},
      {"<a>\r<b>\r</a>", kErrEndTagMismatch, 3, 3},
      {"<a\n\nb\n>", kErrMissingEquals, 3, 1},
      {"<a>\n", kErrEndOfInput, 2, 1},
  };
  for (const auto& c : cases) ExpectFault(c);
}

TEST_F(ReaderFaults, ReadsNothingPastATruncatedBuffer) {
  const std::string full =
      "<?xml version='1.0' encoding='UTF-8'?>\n<!DOCTYPE svg [<!ENTITY e 'v'>]>\n"
      "<!--c--><svg a='1' b=\"2\"><g><text xml:space='preserve'>x&amp;y&e;"
      "<![CDATA[z]]><?p q?></text></g></svg>";
  for (std::size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    // An exactly sized heap copy, so that a read past the end is caught by
    // the address sanitizer.
    std::vector<unsigned char> bytes(full.begin(), full.begin() + static_cast<long>(length));
    Parser parser;
    EXPECT_THROW(parser.Parse(bytes.data(), bytes.size()), ParsingException);
    ResetTextState();
  }
  EXPECT_NE(Parse(full), nullptr);
}

// A node that cannot be allocated ends the construct that needed it; every
// one of them surfaces as a ParsingException and leaves nothing behind.
TEST_F(ReaderFaults, FailsCleanlyWhenAnyNodeCannotBeAllocated) {
  const std::string text =
      "<!--c--><?p?><svg a='1'><text x='1'>t&e;<![CDATA[c]]><!--d--><?q?></text></svg><!--e-->";
  const KernelAccounting before = svgflt::testing::KernelSnapshot();
  long n = 1;
  for (;; ++n) {
    SCOPED_TRACE(n);
    FailNodeAllocation(n);
    try {
      Parse(text);
      break;
    } catch (const ParsingException& e) {
      EXPECT_TRUE(e.code == kErrUnknownMarkup || e.code == kErrNoRoot) << e.code;
    }
    ResetTextState();
    svgflt::testing::ExpectNothingLiveSince(before);
  }
  FailNodeAllocation(0);
  EXPECT_GT(n, 15);  // every node of the document was tried
  // The Document, the root, then its first Text: the root is the one node
  // whose failure means no root; a content node fails where it stands.
  const parsertest::ExpectedFault failures[] = {{"<a>x</a>", kErrNoRoot, 1, 3},
                                                {"<a>x</a>", kErrUnknownMarkup, 1, 5}};
  for (long node = 2; node <= 3; ++node) {
    FailNodeAllocation(node);
    ExpectFault(failures[node - 2]);
  }
}

TEST_F(ReaderFaults, PreserveFlagAllocationFailureEndsTheParse) {
  KernelFailAllocation(1);
  auto fault = parsertest::Fault("<svg><text x='1'/></svg>");
  KernelFailAllocation(0);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->code, kErrUnknownMarkup);
}

std::vector<unsigned char> Utf16(std::u16string_view text, bool bigEndian) {
  std::vector<unsigned char> bytes;
  auto put = [&](char16_t unit) {
    const auto high = static_cast<unsigned char>(unit >> 8);
    const auto low = static_cast<unsigned char>(unit & 0xFF);
    bytes.push_back(bigEndian ? high : low);
    bytes.push_back(bigEndian ? low : high);
  };
  put(0xFEFF);
  for (char16_t unit : text) put(unit);
  return bytes;
}

TEST_F(ReaderEncoding, NarrowsUtf16OfEitherByteOrderToTheLowByte) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    auto bytes = Utf16(u"<?xml version='1.0'?>\r\n<svg t='\u0141'>x\u0141y<b/></svg>", bigEndian);
    Parser parser;
    parsertest::DocumentPtr document(parser.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ(parser.wide, 1);
    EXPECT_EQ(parser.byteOrder, bigEndian ? 0xFEFF : 0xFFFE);
    EXPECT_EQ(DescribeChildren(*document->root), "T\"xAy\" E(b) T\"\"");
    EXPECT_EQ(document->root->attributes[0]->GetText(), "A");
    // Positions count characters, not bytes.
    bytes = Utf16(u"<a>\r\n</b>", bigEndian);
    try {
      parsertest::DocumentPtr wrong(parser.Parse(bytes.data(), bytes.size()));
      ADD_FAILURE() << "parsed";
    } catch (const ParsingException& e) {
      EXPECT_EQ(e.code, kErrEndTagMismatch);
      EXPECT_EQ(e.line, 2);
      EXPECT_EQ(e.column, 3);
    }
  }
}

TEST_F(ReaderEncoding, TreatsAnOddTrailingByteAsTheEnd) {
  auto bytes = Utf16(u"<a/>", false);
  bytes.push_back('x');
  Parser parser;
  parsertest::DocumentPtr document(parser.Parse(bytes.data(), bytes.size()));
  EXPECT_EQ(document->root->name, "a");
  const unsigned char onlyMark[] = {0xFF, 0xFE, 0x3C};
  EXPECT_THROW(Parser().Parse(onlyMark, sizeof onlyMark), ParsingException);
}

std::vector<int> RecordedFlags() {
  const PreserveState& state = TextState();
  std::vector<int> flags;
  for (int i = 0; i < state.flagCount; ++i) flags.push_back(state.preserveFlags[i]);
  return flags;
}

TEST_F(ReaderPreserve, RecordsOneEntryPerTextAttribute) {
  struct Case {
    const char* text;
    std::vector<int> flags;
    int defaultAfter;
  };
  const Case cases[] = {
      {"<svg><text/><text>a</text></svg>", {}, 0},
      {"<svg><text x=\"1\" xml:space=\"preserve\"/></svg>", {0, 1}, 0},
      {"<svg><text xml:space=' preserve '/></svg>", {1}, 0},
      {"<svg><text xml:space='default'/></svg>", {0}, 0},
      {"<svg><tspan x='1' xml:space='preserve'/></svg>", {0, 0, 1, 1}, 0},
      {"<svg><rect xml:space='preserve'/><text x='1'/></svg>", {0}, 0},
      {"<svg><g xml:space='preserve'><text x='1'/></g><tspan y='2'/></svg>", {1, 1, 1}, 1},
      {"<svg><g xml:space='preserve'/><g xml:space='default'/><text x='1'/></svg>", {0}, 0},
      {"<svg><g xml:space='preserve'/><text xml:space='default' y='1'/></svg>", {0, 1}, 1},
  };
  const KernelAccounting before = svgflt::testing::KernelSnapshot();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TextState().defaultPreserve = 0;
    auto document = Parse(c.text);
    EXPECT_EQ(RecordedFlags(), c.flags);
    EXPECT_EQ(TextState().preserveCount, static_cast<int>(c.flags.size()));
    EXPECT_EQ(TextState().defaultPreserve, c.defaultAfter);
    // The reset frees the flags and leaves the default.
    ResetTextState();
    EXPECT_EQ(TextState().preserveFlags, nullptr);
    EXPECT_EQ(TextState().preserveCount, 0);
    EXPECT_EQ(TextState().flagCount, 0);
    EXPECT_EQ(TextState().defaultPreserve, c.defaultAfter);
    document.reset();
    svgflt::testing::ExpectNothingLiveSince(before);
  }
}

TEST_F(ReaderPreserve, FlagsFeedGetTextInDocumentOrder) {
  auto document = Parse(
      "<svg><text xml:space='preserve'> a  b </text><text x='0'> a  b </text></svg>");
  TextState().preserveCount = 0;
  const Element& root = *document->root;
  EXPECT_EQ(root.children[1]->GetText(), "<STRING> a  b </STRING>");
  EXPECT_EQ(root.children[3]->GetText(), "<STRING> a b </STRING>");
  EXPECT_EQ(TextState().preserveCount, 2);
}

// `levels` nested tspan elements around "x".
std::string Nested(int levels) {
  std::string text;
  for (int i = 0; i < levels; ++i) text += "<tspan>";
  text += "x";
  for (int i = 0; i < levels; ++i) text += "</tspan>";
  return text;
}

// Runs `body` on a thread with a 1 MiB stack.
template <typename Body>
void OnSmallStack(Body body) {
  pthread_attr_t attributes;
  ASSERT_EQ(pthread_attr_init(&attributes), 0);
  ASSERT_EQ(pthread_attr_setstacksize(&attributes, 1 << 20), 0);
  pthread_t thread;
  auto run = [](void* argument) -> void* {
    (*static_cast<Body*>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &body), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

TEST_F(ReaderLimits, AcceptsNestingUpToTheLimitOnASmallStack) {
  const KernelAccounting before = svgflt::testing::KernelSnapshot();
  int depth = 0;
  std::string text;
  bool cloned = false;
  OnSmallStack([&] {
    auto document = Parse(Nested(kMaxNestingDepth));
    const Element* element = document->root;
    depth = 1;
    while (element->children.size() > 1) {
      element = static_cast<const Element*>(element->children[1]);
      ++depth;
    }
    text = document->root->GetText();
    Node* copy = document->root->Clone(nullptr);
    cloned = copy != nullptr;
    DeleteNode(copy);
    ResetTextState();
  });
  EXPECT_EQ(depth, kMaxNestingDepth);
  std::string expected = "<STRING>x</STRING>";
  for (int i = 1; i < kMaxNestingDepth; ++i) {
    expected = "<STRING></STRING><TSPAN>" + expected + "</TSPAN><STRING></STRING>";
  }
  EXPECT_EQ(text, expected);
  EXPECT_TRUE(cloned);
  svgflt::testing::ExpectNothingLiveSince(before);
}

TEST_F(ReaderLimits, RejectsNestingPastTheLimit) {
  int code = 0;
  int column = 0;
  OnSmallStack([&] {
    try {
      Parse(Nested(kMaxNestingDepth + 1));
    } catch (const ParsingException& e) {
      code = e.code;
      column = e.column;
    }
    ResetTextState();
  });
  EXPECT_EQ(code, kErrNestingTooDeep);
  EXPECT_EQ(column, 1 + 7 * kMaxNestingDepth + 6);  // just after the last "<tspan"
}

// Without tracking detail the reader counts a document's nodes with the
// tracker in one batch; whatever happens to the tree afterwards, destroying
// it gives back exactly what was counted.
TEST_F(ReaderTracking, CountsNodesInOneBatchWithoutDetail) {
  const int64_t before = svgflt::testing::KernelSnapshot().trackedObjects;
  const int64_t invalidBefore = KernelInvalidReleases();
  const std::string text = "<!--c--><svg a='1'><g>t&e;<text x='2'>u</text></g></svg>";
  parsertest::TrackingDetailOff detailOff;
  auto tracked = [&] { return svgflt::testing::KernelSnapshot().trackedObjects - before; };
  {
    auto document = Parse(text);
    // Document and comment; svg, its attribute and value; g and two texts
    // in svg; t, the reference, two texts and text in g; x, its value and
    // u in text. The arena adds two blocks: nodes, and input and arrays.
    EXPECT_EQ(tracked(), 16 + 2);
  }
  EXPECT_EQ(tracked(), 0);
  {
    auto document = Parse(text);
    Element& svg = *document->root;
    Node* g = svg.children[1];
    svg.children.erase(svg.children.begin() + 1);
    DeleteNode(g);
    EXPECT_EQ(tracked(), 16 + 2 - 9);  // g and the 8 nodes in it
    ASSERT_TRUE(AddText(svg, "added"));
    EXPECT_EQ(DescribeChildren(svg), "T\"\" T\"\" T\"added\"");
  }
  EXPECT_EQ(tracked(), 0);
  FailNodeAllocation(6);
  EXPECT_THROW(Parse(text), ParsingException);
  FailNodeAllocation(0);
  EXPECT_EQ(tracked(), 0);
  EXPECT_EQ(KernelInvalidReleases(), invalidBefore);
}

// Each thread reads and flattens its own documents: the preserve flags, the
// text cursor and the allocation test switch are the thread's own.
TEST_F(ReaderThreads, ReadDocumentsOnEightThreadsAtOnce) {
  const KernelAccounting before = svgflt::testing::KernelSnapshot();
  constexpr int kThreads = 8;
  std::vector<std::string> failures(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &failures] {
      const bool preserve = t % 2 == 0;
      const std::string space = preserve ? "preserve" : "default";
      const std::string text = "<svg><text xml:space='" + space + "'> t" + std::to_string(t) +
                               "  x </text><g id='g" + std::to_string(t) + "'/></svg>";
      const std::string expected =
          preserve ? "<STRING> t" + std::to_string(t) + "  x </STRING>"
                   : "<STRING> t" + std::to_string(t) + " x </STRING>";
      for (int round = 0; round < 200 && failures[t].empty(); ++round) {
        ResetTextState();
        auto document = Parse(text);
        TextState().preserveCount = 0;
        const std::string flattened = document->root->children[1]->GetText();
        const std::string id = document->root->children[3]->name == "g"
                                   ? static_cast<const Element*>(document->root->children[3])
                                         ->attributes[0]->GetText()
                                   : "";
        if (flattened != expected) failures[t] = flattened;
        if (id != "g" + std::to_string(t)) failures[t] = id;
      }
      ResetTextState();
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], "") << t;
  svgflt::testing::ExpectNothingLiveSince(before);
}

TEST_F(ReaderLimits, ParsesAWideDocument) {
  std::string text = "<svg>";
  for (int i = 0; i < 20000; ++i) text += "<rect x='1'/>";
  text += "</svg>";
  auto document = Parse(text);
  EXPECT_EQ(document->root->children.size(), 2u * 20000 + 1);
}

}  // namespace
