#include "Common/Parser/Reader.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::Parse;
using Reader = parsertest::ParserTest;

struct ChildCase {
  const char* text;
  const char* children;  // of the root, or of the document when it starts with "<?"
};

TEST_F(Reader, KeepsContentAsWritten) {
  const ChildCase cases[] = {
      {"<a><b/></a>", "T\"\" E(b) T\"\""},
      {"<a></a>", "T\"\""},
      {"<a>x&nbsp;y</a>", "T\"x\" R(nbsp) T\"y\""},
      {"<a>&#65;&#x41;&#zz &lt;&gt;&apos;&quot;</a>", "T\"&#65;&#x41;&#zz &lt;&gt;&apos;&quot;\""},
      {"<a>x]y]]z]</a>", "T\"x]y]]z]\""},
      {"<a><!--c--><?p  d e?><![CDATA[x<y]]]><?q?></a>",
       "T\"\" C\"c\" T\"\" P(p)\"d e\" T\"\" D\"x<y]\" T\"\" P(q)\"\" T\"\""},
      {"<svg:a>\xC0\xFF</svg:a>", "T\"\xC0\xFF\""},
      {"<?xml version='1.0'?>\n<!-- head -->\n<?xml-stylesheet href='s.css'?>\n<svg/>\n"
       "<!-- tail --> \n<?end?>\n",
       "C\" head \" P(xml-stylesheet)\"href='s.css'\" E(svg) C\" tail \" P(end)\"\""},
      // At the very start, a stylesheet instruction is no XML declaration.
      {"<?xml-stylesheet href='s.css'?><svg/>", "P(xml-stylesheet)\"href='s.css'\" E(svg)"},
  };
  for (const ChildCase& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    const bool whole = c.text[1] == '?';
    EXPECT_EQ(DescribeChildren(whole ? static_cast<NodeContainer&>(*document) : *document->root),
              c.children);
  }
}

TEST_F(Reader, KeepsAttributesRawAndInOrder) {
  auto document = Parse("<a x='1' y = \"a&lt;b\" z='' x=\"two\nlines\r\n\" q='it\"s'/>");
  const Element& a = *document->root;
  std::string described;
  for (const Attribute* attribute : a.attributes) {
    EXPECT_TRUE(attribute->parent == &a && attribute->children.size() == 1 &&
                attribute->children[0]->parent == attribute);
    described += attribute->name + "=" + DescribeChildren(*attribute) + " ";
  }
  EXPECT_EQ(described, "x=T\"1\" y=T\"a&lt;b\" z=T\"\" x=T\"two\nlines\r\n\" q=T\"it\"s\" ");
  EXPECT_EQ(a.attributes[3]->GetText(), "two\nlines");
}

// Positions count from line 1; on the first line the first character has
// column 2, on later lines column 1; the end of the input is one character
// past the last byte.
TEST_F(Reader, ReportsCodeLineAndColumn) {
  const parsertest::ExpectedFault cases[] = {
      {"", kErrNoRoot, 1, 1}, {"<?xml version='1.0'?>  \n <!-- c -->", kErrNoRoot, 2, 11},
      {"<a b='x", kErrEndOfInput, 1, 9}, {std::string_view("<a>\0</a>", 8), kErrEndOfInput, 1, 5},
      {"<!-- x", kErrEndOfInput, 1, 8}, {"<a><![CDATA[x", kErrEndOfInput, 1, 15},
      {"<a\n\nb\n>", kErrMissingEquals, 3, 1}, {"<a b=x/>", kErrMissingValue, 1, 7},
      {"<a b='<'/>", kErrLessThanInValue, 1, 8}, {"<a>&x y</a>", kErrBadReference, 1, 7},
      {"<a>< b/></a>", kErrMissingName, 1, 5}, {"<a/x>", kErrEmptyTagNotClosed, 1, 5},
      {"<a b='1'c='2'/>", kErrTagNotClosed, 1, 10}, {"<a><b></a></b>", kErrEndTagMismatch, 1, 10},
      {"<a>\r\n<b>\r\n</a>", kErrEndTagMismatch, 3, 3}, {"<a>]]></a>", kErrCDataEndInContent, 1, 7},
      {"<?xml?><a/>", kErrBadVersion, 1, 6},
      {"<?xml version='1.0'<a/>", kErrDeclarationNotClosed, 1, 20},
      {"<?xml version='1.0' encoding=UTF-8?><a/>", kErrEncodingQuote, 1, 31},
      {"<?xml version='1.0' encoding='8x'?><a/>", kErrBadEncoding, 1, 31},
      {"<?xml version='1.0' standalone=yes?><a/>", kErrStandaloneQuote, 1, 33},
      {"<?xml version='1.0' standalone='maybe'?><a/>", kErrBadStandalone, 1, 34},
      {"<!-- a -- b --><a/>", kErrDoubleHyphen, 1, 11}, {"<? x?><a/>", kErrPiWithoutTarget, 1, 3},
      {"<a/><?XmL x?>", kErrReservedPiTarget, 1, 10},
      {"<a/>\n <!-- c -->\n &amp;", kErrTrailingContent, 3, 2},
  };
  for (const auto& c : cases) parsertest::ExpectFault(c);
}

TEST_F(Reader, ReadsNothingPastATruncatedBuffer) {
  const std::string full =
      "<?xml version='1.0' encoding='UTF-8' standalone='yes'?>\n<!DOCTYPE svg [<!ENTITY e 'v'>]>\n"
      "<!--c--><svg a='1' b=\"2\"><g><text xml:space='preserve'>x&amp;y&e;"
      "<![CDATA[z]]><?p q?></text></g></svg>";
  for (std::size_t length = 0; length < full.size(); ++length) {
    SCOPED_TRACE(length);
    // An exactly sized heap copy, so that the address sanitizer catches a
    // read past the end.
    std::vector<unsigned char> bytes(full.begin(), full.begin() + static_cast<long>(length));
    EXPECT_THROW(Parser().Parse(bytes.data(), bytes.size()), ParsingException);
    ResetTextState();
  }
  EXPECT_NE(Parse(full), nullptr);
}

// A node that cannot be allocated ends the construct that needed it; every
// one of them surfaces as a ParsingException and leaves nothing behind,
// whether the nodes are tracked one by one or counted in one batch.
TEST_F(Reader, FailsCleanlyWhenAnyNodeCannotBeAllocated) {
  const std::string text =
      "<!--c--><?p?><svg a='1'><text x='1'>t&e;<![CDATA[c]]><!--d--><?q?></text></svg><!--e-->";
  const KernelAccounting before = svgflt::testing::KernelSnapshot();
  for (bool detail : {true, false}) {
    std::optional<parsertest::TrackingDetailOff> detailOff;
    if (!detail) detailOff.emplace();
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
    EXPECT_GT(n, 15);  // every node of the document was tried
  }
  // The Document, the root, then its first Text: the root is the one node
  // whose failure means no root; a content node fails where it stands.
  FailNodeAllocation(2);
  parsertest::ExpectFault({"<a>x</a>", kErrNoRoot, 1, 3});
  FailNodeAllocation(3);
  parsertest::ExpectFault({"<a>x</a>", kErrUnknownMarkup, 1, 5});
  ResetTextState();
  KernelFailAllocation(1);  // the preserve flag array
  auto fault = parsertest::Fault("<svg><text x='1'/></svg>");
  KernelFailAllocation(0);
  ASSERT_TRUE(fault.has_value());
  EXPECT_EQ(fault->code, kErrUnknownMarkup);
}

std::vector<unsigned char> Utf16(std::u16string_view text, bool bigEndian) {
  std::vector<unsigned char> bytes;
  for (char16_t unit : u"\uFEFF" + std::u16string(text)) {
    const auto high = static_cast<unsigned char>(unit >> 8);
    const auto low = static_cast<unsigned char>(unit & 0xFF);
    bytes.push_back(bigEndian ? high : low);
    bytes.push_back(bigEndian ? low : high);
  }
  return bytes;
}

TEST_F(Reader, NarrowsUtf16OfEitherByteOrderToTheLowByte) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
    auto bytes = Utf16(u"<?xml version='1.0'?>\r\n<svg t='\u0141'>x\u0141y<b/></svg>", bigEndian);
    bytes.push_back('x');  // half a unit at the end is dropped
    Parser parser;
    parsertest::DocumentPtr document(parser.Parse(bytes.data(), bytes.size()));
    EXPECT_EQ((std::tuple{parser.wide, parser.byteOrder}),
              (std::tuple{1, bigEndian ? 0xFEFF : 0xFFFE}));
    EXPECT_EQ(DescribeChildren(*document->root), "T\"xAy\" E(b) T\"\"");
    EXPECT_EQ(document->root->attributes[0]->GetText(), "A");
    // Positions count characters, not bytes.
    bytes = Utf16(u"<a>\r\n</b>", bigEndian);
    const std::string wrong(bytes.begin(), bytes.end());
    parsertest::ExpectFault({wrong, kErrEndTagMismatch, 2, 3});
  }
  const unsigned char onlyMark[] = {0xFF, 0xFE, 0x3C};
  EXPECT_THROW(Parser().Parse(onlyMark, sizeof onlyMark), ParsingException);
}

TEST_F(Reader, RecordsOneEntryPerTextAttribute) {
  // Text, flags recorded, default after it.
  const std::tuple<const char*, std::vector<int>, int> cases[] = {
      {"<svg><text/><text>a</text></svg>", {}, 0},
      {"<svg><text x=\"1\" xml:space=\"preserve\"/></svg>", {0, 1}, 0},
      {"<svg><text xml:space=' preserve '/></svg>", {1}, 0},
      {"<svg><tspan x='1' xml:space='preserve'/></svg>", {0, 0, 1, 1}, 0},
      {"<svg><rect xml:space='preserve'/><text x='1'/></svg>", {0}, 0},
      {"<svg><g xml:space='preserve'><text x='1'/></g><tspan y='2'/></svg>", {1, 1, 1}, 1},
      {"<svg><g xml:space='preserve'/><text xml:space='default' y='1'/></svg>", {0, 1}, 1},
  };
  for (const auto& [text, flags, defaultAfter] : cases) {
    SCOPED_TRACE(text);
    TextState().defaultPreserve = 0;
    auto document = Parse(text);
    const PreserveState& state = TextState();
    EXPECT_EQ(std::vector<int>(state.preserveFlags, state.preserveFlags + state.flagCount), flags);
    EXPECT_EQ(state.preserveCount, state.flagCount);
    ResetTextState();  // frees the flags and leaves the default
    EXPECT_EQ((std::tuple{state.preserveCount, state.flagCount, state.defaultPreserve}),
              (std::tuple{0, 0, defaultAfter}));
  }
}

// `levels` nested tspan elements around "x".
std::string Nested(int levels) {
  std::string open, close;
  for (int i = 0; i < levels; ++i) {
    open += "<tspan>";
    close += "</tspan>";
  }
  return open + "x" + close;
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

// The deepest nesting accepted is read, flattened, cloned and destroyed on
// a small stack; one level more is refused.
TEST_F(Reader, NestingUpToTheLimitOnASmallStack) {
  OnSmallStack([] {
    auto document = Parse(Nested(kMaxNestingDepth));
    int depth = 0;
    for (const Element* e = document->root; ++depth, e->children.size() > 1;) {
      e = static_cast<const Element*>(e->children[1]);
    }
    EXPECT_EQ(depth, kMaxNestingDepth);
    std::string expected = "<STRING>x</STRING>";
    for (int i = 1; i < kMaxNestingDepth; ++i) {
      expected = "<STRING></STRING><TSPAN>" + expected + "</TSPAN><STRING></STRING>";
    }
    EXPECT_EQ(document->root->GetText(), expected);
    Node* copy = document->root->Clone(nullptr);
    EXPECT_NE(copy, nullptr);
    DeleteNode(copy);
    ResetTextState();
    // The fault lies just after the last "<tspan".
    const std::string tooDeep = Nested(kMaxNestingDepth + 1);
    parsertest::ExpectFault({tooDeep, kErrNestingTooDeep, 1, 1 + 7 * kMaxNestingDepth + 6});
    ResetTextState();
  });
}

}  // namespace
