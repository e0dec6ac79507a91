#include "Common/Parser/Elements.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Common/Parser/Reader.h"
#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::Parse;
using NodeTypes = parsertest::ParserTest;
using NodeText = parsertest::ParserTest;
using ElementGetText = parsertest::ParserTest;
using NodeOwnership = parsertest::ParserTest;
using NullNodes = parsertest::ParserTest;

int64_t TrackedObjects() { return svgflt::testing::KernelSnapshot().trackedObjects; }

TEST_F(NodeTypes, EachClassAnswersItsCodeNameAndValue) {
  Document document;
  Element element("e", &document);
  Attribute attribute("a", &element);
  Text text(&element, " t ");
  CData cdata(&element, "c<");
  Comment comment(&element, " m ");
  Pi pi("p", &element, "d");
  CharRef charRef(&element, 'A');
  EntityRef entityRef("nbsp", &element);
  struct Case {
    const Node* node;
    int code;
    const char* name;
    std::string value;  // GetValue, and for leaves GetText too
  };
  const Case cases[] = {
      {&element, kElementNode, "e", ""},
      {&attribute, kAttributeNode, "a", ""},
      {&text, kTextNode, "#text", " t "},
      {&cdata, kCDataNode, "#cdata-section", "c<"},
      {&charRef, kReferenceNode, "", "A"},
      {&entityRef, kReferenceNode, "nbsp", std::string(1, '\0')},
      {&pi, kPiNode, "p", "d"},
      {&comment, kCommentNode, "#comment", " m "},
      {&document, kDocumentNode, "#document", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.node->name, c.name);
    for (int code = 0; code <= 10; ++code) EXPECT_EQ(c.node->IsType(code), code == c.code) << code;
    EXPECT_EQ(c.node->GetValue(), c.value);
    if (c.code != kElementNode && c.code != kDocumentNode) {
      EXPECT_EQ(c.node->GetText(), c.value);
    }
  }
}

TEST_F(NodeText, AttributeTextIsTrimmedButNotCollapsed) {
  const std::pair<const char*, const char*> cases[] = {
      {"  10 20 ", "10 20"}, {"   ", ""}, {"", ""}, {"\r\n a \t b\r\n", "a \t b"}, {"x", "x"}};
  for (const auto& [raw, expected] : cases) {
    SCOPED_TRACE(raw);
    Attribute attribute("a", nullptr);
    ASSERT_TRUE(AddText(attribute, raw));
    EXPECT_EQ(attribute.GetText(), expected);
    EXPECT_EQ(attribute.GetValue(), expected);
  }
}

TEST_F(NodeText, DocumentTextIsCollapsedAndTrimmed) {
  auto document = Parse("<!-- a \n b --><r/><?p  x   y ?>");
  EXPECT_EQ(document->GetText(), "a b x y");
}

TEST_F(NodeText, CollapseWhitespaceMakesEveryRunOneSpace) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},     {"  a", " a"},         {"a  ", "a "},
      {"\n", " "}, {"a \t\r\n b", "a b"},  {"x\v\fy", "x\v\fy"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(input);
    std::string s = input;
    CollapseWhitespace(s);
    EXPECT_EQ(s, expected);
  }
}

TEST_F(NodeText, DecodesOnlyThePredefinedReferences) {
  struct Case {
    std::string_view input;  // decoded as far as its size
    const char* decoded;
  };
  const Case cases[] = {
      {"a&lt;b&amp;c&#65;", "a<b&c&#65;"},
      {"&apos;&quot;", "'\""},
      {"&amp;amp;", "&amp;"},
      {"&AMP; &lt &nbsp; &", "&AMP; &lt &nbsp; &"},
      {"&#x26;", "&#x26;"},
      {"", ""},
      {std::string_view("a&lt;b&gt;", 7), "a<b&"},  // the last reference is cut
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    const std::string in(c.input);
    std::string out(in.size() + 1, '\0');
    EXPECT_EQ(DecodePredefinedReferences(in.data(), in.size(), out.data()), 1);
    EXPECT_EQ(std::string(out.c_str()), c.decoded);
  }
}

TEST_F(NodeText, FirstChildValueTakesOnlyCharacterData) {
  struct Case {
    const char* text;
    const char* value;
  };
  const Case cases[] = {
      {"<style>a{}</style>", "a{}"},
      {"<style/>", ""},
      {"<style><![CDATA[b{}]]></style>", ""},  // an empty Text comes first
      {"<style>&e;x</style>", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto document = Parse(c.text);
    EXPECT_EQ(FirstChildValue(*document->root), c.value);
  }
  Element element("style", nullptr);
  auto* cdata = NewNode<CData>(__LINE__, u"test", &element, "c{}");
  AppendChild(element, cdata);
  EXPECT_EQ(FirstChildValue(element), "c{}");
  auto* comment = NewNode<Comment>(__LINE__, u"test", &element, "m");
  element.children.insert(element.children.begin(), comment);
  EXPECT_EQ(FirstChildValue(element), "m");
  auto* reference = NewNode<EntityRef>(__LINE__, u"test", "e", &element);
  element.children.insert(element.children.begin(), reference);
  EXPECT_EQ(FirstChildValue(element), "");
}

struct TextCase {
  const char* xml;
  const char* text;
};

TEST_F(ElementGetText, MarksStringsSpansAndReferences) {
  const TextCase cases[] = {
      {"<text>  Hello <tspan>big</tspan> world</text>",
       "<STRING> Hello </STRING><TSPAN><STRING>big</STRING></TSPAN><STRING> world</STRING>"},
      {"<text/>", ""},
      {"<text> \n\t </text>", "<STRING> </STRING>"},
      {"<text>a<tref xlink:href='#t'/>b</text>",
       "<STRING>a</STRING><TREF></TREF><STRING>b</STRING>"},
      {"<text><tref>ignored</tref></text>", "<STRING></STRING><TREF></TREF><STRING></STRING>"},
      {"<text>a<!--c--><?p q?><![CDATA[d]]><a>e</a><textPath>f</textPath>&nbsp;g</text>",
       "<STRING>a</STRING><STRING></STRING><STRING></STRING><STRING></STRING><STRING></STRING>"
       "<STRING></STRING><STRING>g</STRING>"},
      {"<text>x &amp; y</text>", "<STRING>x &amp; y</STRING>"},
      {"<text>a<tspan>b<tspan>c</tspan></tspan></text>",
       "<STRING>a</STRING><TSPAN><STRING>b</STRING><TSPAN><STRING>c</STRING></TSPAN>"
       "<STRING></STRING></TSPAN><STRING></STRING>"},
      {"<text>it<apos/>s</text>", "<STRING>it</STRING><STRING> 's</STRING>"},
      {"<text>a<apos/><tspan>b</tspan>c</text>",
       "<STRING>a</STRING><STRING> '</STRING><TSPAN><STRING>b</STRING></TSPAN><STRING>c</STRING>"},
  };
  for (const TextCase& c : cases) {
    SCOPED_TRACE(c.xml);
    auto document = Parse(c.xml);
    ResetTextState();
    EXPECT_EQ(document->root->GetText(), c.text);
  }
}

TEST_F(ElementGetText, PreserveFlagKeepsWhitespace) {
  auto document = Parse("<text>a\n  b</text>");
  ResetTextState();
  TextState().defaultPreserve = 1;
  EXPECT_EQ(document->root->GetText(), "<STRING>a\n  b</STRING>");
  TextState().defaultPreserve = 0;
  TextState().preserveAll = 1;
  EXPECT_EQ(document->root->GetText(), "<STRING>a\n  b</STRING>");
  TextState().preserveAll = 0;
  EXPECT_EQ(document->root->GetText(), "<STRING>a b</STRING>");
}

// The flag at the cursor decides, when there is one; past the recorded
// entries the document default does. Every call advances the cursor, the
// calls for nested tspan elements included.
TEST_F(ElementGetText, ConsumesOneFlagPerCall) {
  auto document = Parse(
      "<svg><text xml:space='preserve'> a  <tspan xml:space='default'> b  </tspan></text>"
      "<text> c  </text><text> d  </text></svg>");
  // Recorded: text 1, tspan 0 0; the last two texts carry no attributes.
  ASSERT_EQ(TextState().flagCount, 3);
  TextState().preserveCount = 0;
  const Element& svg = *document->root;
  // The tspan is flattened first, inside its parent's call, and takes entry
  // 0 (the text's own 1); the text then takes entry 1 (0) and collapses the
  // whole string, the tspan's part included.
  EXPECT_EQ(svg.children[1]->GetText(),
            "<STRING> a </STRING><TSPAN><STRING> b </STRING></TSPAN><STRING></STRING>");
  EXPECT_EQ(TextState().preserveCount, 2);
  EXPECT_EQ(svg.children[3]->GetText(), "<STRING> c </STRING>");  // entry 2 = 0
  TextState().defaultPreserve = 1;
  EXPECT_EQ(svg.children[5]->GetText(), "<STRING> d  </STRING>");  // past the end: default
  EXPECT_EQ(TextState().preserveCount, 4);
}

TEST_F(NodeOwnership, CloneCopiesChildrenButNotAttributes) {
  auto document = Parse("<a x='1'>t<b y='2'>u</b><!--c--></a>");
  const int64_t before = TrackedObjects();
  Node* copy = document->root->Clone(document.get());
  ASSERT_NE(copy, nullptr);
  auto& element = static_cast<Element&>(*copy);
  EXPECT_EQ(element.name, "a");
  EXPECT_EQ(element.parent, document.get());
  EXPECT_TRUE(element.attributes.empty());
  EXPECT_EQ(DescribeChildren(element), "T\"t\" E(b) T\"\" C\"c\" T\"\"");
  auto& b = static_cast<Element&>(*element.children[1]);
  EXPECT_TRUE(b.attributes.empty());
  EXPECT_EQ(b.parent, &element);
  EXPECT_EQ(DescribeChildren(b), "T\"u\"");
  EXPECT_NE(&b, document->root->children[1]);
  EXPECT_EQ(TrackedObjects() - before, 7);  // a, 4 children of a, b's text, b
  DeleteNode(copy);
  EXPECT_EQ(TrackedObjects(), before);
}

TEST_F(NodeOwnership, CloneOfAnAttributeOrADocumentCopiesItsChildren) {
  auto document = Parse("<?xml version='1.1' standalone='no'?><!DOCTYPE a [<!ENTITY e 'x'>]>"
                        "<a x=' v '/>");
  Node* attribute = document->root->attributes[0]->Clone(nullptr);
  ASSERT_NE(attribute, nullptr);
  EXPECT_TRUE(attribute->IsType(kAttributeNode));
  EXPECT_EQ(attribute->name, "x");
  EXPECT_EQ(attribute->GetText(), "v");
  DeleteNode(attribute);
  // A cloned document has default fields.
  Node* copy = document->Clone(nullptr);
  ASSERT_NE(copy, nullptr);
  auto& cloned = static_cast<Document&>(*copy);
  EXPECT_EQ(cloned.version, "1.0");
  EXPECT_EQ(cloned.standalone, 1);
  EXPECT_EQ(cloned.root, nullptr);
  EXPECT_TRUE(cloned.entities.empty());
  EXPECT_EQ(DescribeChildren(cloned), "E(a)");
  DeleteNode(copy);
}

TEST_F(NodeOwnership, FailedCloneLeavesNothing) {
  auto document = Parse("<a>t<b>u</b></a>");
  const int64_t before = TrackedObjects();
  for (long n = 1; n <= 5; ++n) {
    SCOPED_TRACE(n);
    FailNodeAllocation(n);
    EXPECT_EQ(document->root->Clone(nullptr), nullptr);
    EXPECT_EQ(TrackedObjects(), before);
  }
  FailNodeAllocation(0);
}

TEST_F(NodeOwnership, DestroyingADocumentReleasesEveryNodeOnce) {
  const int64_t before = TrackedObjects();
  const int64_t invalidBefore = KernelInvalidReleases();
  auto document = Parse(
      "<!--c--><svg a='1' b='2'><g c='3'>t&e;<text>u<tspan>v</tspan></text></g><?p?></svg>");
  // Document and comment 2; svg with 2 attributes and their texts 5; its
  // children (3 texts, g, pi) 5; g's attribute and text 2; g's children
  // (3 texts, EntityRef, text) 5; text's children (2 texts, tspan) 3; v 1.
  // The document's arena adds two blocks: nodes, and input and arrays.
  EXPECT_EQ(TrackedObjects() - before, 23 + 2);
  document.reset();
  EXPECT_EQ(TrackedObjects(), before);
  EXPECT_EQ(KernelInvalidReleases(), invalidBefore);
}

TEST_F(NodeOwnership, DestroysVeryDeepTreesWithoutRecursion) {
  const int64_t before = TrackedObjects();
  {
    Element root("r", nullptr);
    NodeContainer* tip = &root;
    for (int i = 0; i < 200000; ++i) {
      auto* child = NewNode<Element>(__LINE__, u"test", "e", tip);
      ASSERT_NE(child, nullptr);
      AppendChild(*tip, child);
      auto* attribute = NewNode<Attribute>(__LINE__, u"test", "x", child);
      child->attributes.push_back(attribute);
      ASSERT_TRUE(AddText(*attribute, "1"));
      tip = child;
    }
    EXPECT_EQ(TrackedObjects() - before, 600000);
  }
  EXPECT_EQ(TrackedObjects(), before);
}

// Nodes added to, deleted from and changed in a read document: with the
// nodes tracked one by one and counted in one batch alike, everything is
// released exactly once.
TEST_F(NodeOwnership, ChangesToAReadDocumentAreReleasedOnce) {
  for (bool detail : {true, false}) {
    SCOPED_TRACE(detail ? "tracked one by one" : "counted in one batch");
    std::optional<parsertest::TrackingDetailOff> detailOff;
    if (!detail) detailOff.emplace();
    const int64_t before = TrackedObjects();
    const int64_t invalidBefore = KernelInvalidReleases();
    auto document = Parse("<a x='1'><b>t</b><c d='1'>u</c><e/></a>");
    Element& a = *document->root;
    // Added: a clone, a text, an attribute with its value.
    auto& b = static_cast<Element&>(*a.children[1]);
    Node* copy = b.Clone(&a);
    ASSERT_NE(copy, nullptr);
    AppendChild(a, copy);
    ASSERT_TRUE(AddText(b, "more"));
    auto* attribute = NewNode<Attribute>(__LINE__, u"test", "y", &a);
    ASSERT_NE(attribute, nullptr);
    a.attributes.push_back(attribute);
    ASSERT_TRUE(AddText(*attribute, "2"));
    EXPECT_EQ(DescribeChildren(b), "T\"t\" T\"more\"");
    // Deleted: c, its attribute and that one's text, u.
    Node* c = a.children[3];
    a.children.erase(a.children.begin() + 3);
    const int64_t withC = TrackedObjects();
    DeleteNode(c);
    EXPECT_EQ(withC - TrackedObjects(), 4);
    EXPECT_EQ(DescribeChildren(a), "T\"\" E(b) T\"\" T\"\" E(e) T\"\" E(b)");
    // Changed: a name and a value, kept on the heap.
    a.name = "a-longer-name-than-fits-anywhere-short";
    auto& text = static_cast<Text&>(*b.children[0]);
    text.value += " and more text after it";
    EXPECT_EQ(a.name, "a-longer-name-than-fits-anywhere-short");
    EXPECT_EQ(text.GetValue(), "t and more text after it");
    EXPECT_EQ(a.attributes[0]->GetText(), "1");
    EXPECT_EQ(a.attributes[1]->GetText(), "2");
    document.reset();
    EXPECT_EQ(TrackedObjects(), before);
    EXPECT_EQ(KernelInvalidReleases(), invalidBefore);
  }
}

TEST_F(NodeOwnership, NamesAndValuesReadLikeStrings) {
  auto document = Parse("<svg id='n'>text</svg>");
  const Element& svg = *document->root;
  EXPECT_EQ(std::string_view(svg.name), "svg");
  EXPECT_TRUE(svg.name != "sv");
  EXPECT_TRUE("svg" == svg.name);
  EXPECT_STREQ(svg.name.c_str(), "svg");
  EXPECT_EQ("<" + svg.name + ">", "<svg>");
  EXPECT_EQ(static_cast<const Text*>(svg.children[0])->value, "text");
  EXPECT_TRUE(svg.attributes[0]->name < "idx");
}

// AddText makes a node every call, unless a container's lastText was set
// by hand; any child but a Text clears that.
TEST_F(NodeOwnership, AddTextMakesANodeUnlessLastTextIsSet) {
  Element element("e", nullptr);
  ASSERT_TRUE(AddText(element, ""));
  ASSERT_TRUE(AddText(element, "a"));
  ASSERT_TRUE(AddText(element, ""));
  EXPECT_EQ(DescribeChildren(element), "T\"\" T\"a\" T\"\"");
  EXPECT_EQ(element.lastText, nullptr);
  for (const Node* child : element.children) EXPECT_EQ(child->parent, &element);
  FailNodeAllocation(1);
  EXPECT_FALSE(AddText(element, "b"));
  EXPECT_EQ(element.children.size(), 3u);
  FailNodeAllocation(0);
  element.lastText = static_cast<Text*>(element.children[1]);
  ASSERT_TRUE(AddText(element, "y"));
  EXPECT_EQ(DescribeChildren(element), "T\"\" T\"ay\" T\"\"");
  AppendChild(element, NewNode<Text>(__LINE__, u"test", &element, "z"));
  EXPECT_EQ(element.lastText, element.children[1]);
  AppendChild(element, NewNode<Comment>(__LINE__, u"test", &element, "c"));
  EXPECT_EQ(element.lastText, nullptr);
}

TEST_F(NullNodes, AreRecognisedAndSelfConsistent) {
  const Node* nulls[] = {&NullElement(), &NullAttribute(), &NullComment(), &NullPi(),
                         &NullCData()};
  for (const Node* node : nulls) {
    EXPECT_TRUE(IsNull(node));
    EXPECT_EQ(node->name, "");
    EXPECT_EQ(node->parent, &NullElement());
  }
  EXPECT_TRUE(NullElement().IsType(kElementNode));
  EXPECT_TRUE(NullCData().IsType(kCDataNode));
  Element element("", &NullElement());
  EXPECT_FALSE(IsNull(&element));
  EXPECT_FALSE(IsNull(nullptr));
  Document document;
  EXPECT_EQ(document.parent, &NullElement());
  EXPECT_EQ(document.owner, &document);
  EXPECT_EQ(document.root, nullptr);
}

}  // namespace
