#include "Common/Parser/Elements.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <string>
#include <string_view>

#include "Common/Parser/Reader.h"
#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "tests/Common/Parser/ParserTestSupport.h"

namespace {

using namespace AdvXMLParser;
using parsertest::DescribeChildren;
using parsertest::Parse;
using Nodes = parsertest::ParserTest;

int64_t TrackedObjects() { return svgflt::testing::KernelSnapshot().trackedObjects; }

TEST_F(Nodes, TrimsCollapsesAndDecodes) {
  Attribute joined("a", nullptr);  // children are joined, then trimmed
  for (const char* raw : {"\r\n a ", "", " \t b\r\n"}) ASSERT_TRUE(AddText(joined, raw));
  EXPECT_EQ(joined.GetText(), "a  \t b");
  std::string collapsed = "  a \t\r\n b\v\fc\n";
  CollapseWhitespace(collapsed);
  EXPECT_EQ(collapsed, " a b\v\fc ");
  EXPECT_EQ(Parse("<!-- a \n b --><r/><?p  x   y ?>")->GetText(), "a b x y");
  const std::pair<std::string_view, const char*> decoded[] = {
      {"a&lt;b&amp;c&#65;", "a<b&c&#65;"},
      {"&amp;amp;", "&amp;"},
      {"&AMP; &lt &nbsp; &", "&AMP; &lt &nbsp; &"},
      {std::string_view("a&lt;b&gt;", 7), "a<b&"},  // the last reference is cut
  };
  for (const auto& [input, expected] : decoded) {
    std::string out(input.size() + 1, '\0');
    EXPECT_EQ(DecodePredefinedReferences(input.data(), input.size(), out.data()), 1);
    EXPECT_EQ(std::string(out.c_str()), expected);
  }
}

TEST_F(Nodes, FirstChildValueTakesOnlyCharacterData) {
  EXPECT_EQ(FirstChildValue(*Parse("<style>a{}</style>")->root), "a{}");
  Element element("style", nullptr);
  AppendChild(element, NewNode<CData>(__LINE__, u"test", &element, "c{}"));
  EXPECT_EQ(FirstChildValue(element), "c{}");
  element.children.insert(element.children.begin(),
                          NewNode<EntityRef>(__LINE__, u"test", "e", &element));
  EXPECT_EQ(FirstChildValue(element), "");
}

TEST_F(Nodes, ElementTextMarksStringsSpansAndReferences) {
  const std::pair<const char*, const char*> cases[] = {
      {"<text>  Hello <tspan>big</tspan> world</text>",
       "<STRING> Hello </STRING><TSPAN><STRING>big</STRING></TSPAN><STRING> world</STRING>"},
      {"<text> \n\t </text>", "<STRING> </STRING>"},
      {"<text>a<tref xlink:href='#t'/>b</text>",
       "<STRING>a</STRING><TREF></TREF><STRING>b</STRING>"},
      {"<text>a<!--c--><?p q?><![CDATA[d]]><a>e</a><textPath>f</textPath>&nbsp;g</text>",
       "<STRING>a</STRING><STRING></STRING><STRING></STRING><STRING></STRING><STRING></STRING>"
       "<STRING></STRING><STRING>g</STRING>"},
      {"<text>it<apos/>s</text>", "<STRING>it</STRING><STRING> 's</STRING>"},
  };
  for (const auto& [xml, text] : cases) {
    auto document = Parse(xml);
    ResetTextState();
    EXPECT_EQ(document->root->GetText(), text) << xml;
  }
}

// The flag at the cursor decides, when there is one; past the recorded
// entries the document default does, and the loader's preserve-all flag
// keeps whitespace whatever the flag. Every call advances the cursor, the
// calls for nested tspan elements included.
TEST_F(Nodes, ElementTextConsumesOneFlagPerCall) {
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
  TextState().defaultPreserve = 0;
  EXPECT_EQ(svg.children[5]->GetText(), "<STRING> d </STRING>");
  TextState().preserveAll = 1;
  EXPECT_EQ(svg.children[5]->GetText(), "<STRING> d  </STRING>");
  EXPECT_EQ(TextState().preserveCount, 6);
}

TEST_F(Nodes, CloneCopiesChildrenButNotAttributes) {
  auto document = Parse(
      "<?xml\tversion = 'v_1:x-2' encoding = \"latin1\" standalone='no' ?>"
      "<!DOCTYPE a [<!ENTITY e 'x'>]>"
      "<a x=' v '>t<b y='2'>u</b><!--c--><![CDATA[d]]><?p q?>&e;</a>");
  EXPECT_EQ(document->version + document->encoding + std::to_string(document->standalone),
            "v_1:x-2latin10");
  const int64_t before = TrackedObjects();
  Node* copy = document->root->Clone(document.get());
  ASSERT_NE(copy, nullptr);
  auto& element = static_cast<Element&>(*copy);
  EXPECT_TRUE(element.name == "a" && element.parent == document.get() &&
              element.attributes.empty());
  EXPECT_EQ(DescribeChildren(element),
            "T\"t\" E(b) T\"\" C\"c\" T\"\" D\"d\" T\"\" P(p)\"q\" T\"\" R(e) T\"\"");
  EXPECT_EQ(DescribeChildren(static_cast<Element&>(*element.children[1])), "T\"u\"");
  EXPECT_EQ(TrackedObjects() - before, 13);  // a, its 11 children, b's text
  DeleteNode(copy);
  EXPECT_EQ(TrackedObjects(), before);
  Node* attribute = document->root->attributes[0]->Clone(nullptr);
  ASSERT_NE(attribute, nullptr);
  EXPECT_EQ(parsertest::Describe(*attribute) + " " + attribute->name, "A\"v\" x");
  DeleteNode(attribute);
  for (long n = 1; n <= 13; ++n) {
    FailNodeAllocation(n);
    EXPECT_EQ(document->root->Clone(nullptr), nullptr) << n;
    EXPECT_EQ(TrackedObjects(), before) << n;
  }
}

TEST_F(Nodes, DestroysVeryDeepTreesWithoutRecursion) {
  const int64_t before = TrackedObjects();
  {
    Element root("r", nullptr);
    NodeContainer* tip = &root;
    for (int i = 0; i < 200000; ++i) {
      auto* child = NewNode<Element>(__LINE__, u"test", "e", tip);
      AppendChild(*tip, child);
      child->attributes.push_back(NewNode<Attribute>(__LINE__, u"test", "x", child));
      ASSERT_TRUE(AddText(*child->attributes[0], "1"));
      tip = child;
    }
    EXPECT_EQ(TrackedObjects() - before, 600000);
  }
  EXPECT_EQ(TrackedObjects(), before);
}

// Nodes added to and deleted from a read document: with the
// nodes tracked one by one and counted in one batch alike, everything is
// released exactly once (the leak guard also checks that nothing unknown
// was released).
TEST_F(Nodes, ChangesToAReadDocumentAreReleasedOnce) {
  for (bool detail : {true, false}) {
    SCOPED_TRACE(detail ? "tracked one by one" : "counted in one batch");
    std::optional<parsertest::TrackingDetailOff> detailOff;
    if (!detail) detailOff.emplace();
    const int64_t before = TrackedObjects();
    auto document = Parse("<a x='1'><b>t</b><c d='1'>u</c><e/></a>");
    // Document; a, x and its text; 4 empty texts, b, c and e in a; t in b;
    // d, its text and u in c. The arena adds two blocks: nodes, and input
    // and arrays.
    EXPECT_EQ(TrackedObjects() - before, 15 + 2);
    Element& a = *document->root;
    // Added: a clone and a text.
    auto& b = static_cast<Element&>(*a.children[1]);
    AppendChild(a, b.Clone(&a));
    ASSERT_TRUE(AddText(b, "more"));
    // Deleted: c, its attribute and that one's text, u.
    Node* c = a.children[3];
    a.children.erase(a.children.begin() + 3);
    const int64_t withC = TrackedObjects();
    DeleteNode(c);
    EXPECT_EQ(withC - TrackedObjects(), 4);
    EXPECT_EQ(DescribeChildren(a), "T\"\" E(b) T\"\" T\"\" E(e) T\"\" E(b)");
    EXPECT_EQ(DescribeChildren(b), "T\"t\" T\"more\"");
    document.reset();
    EXPECT_EQ(TrackedObjects(), before);
  }
}

// AddText makes a node every call, unless a container's lastText was set
// by hand; any child but a Text clears that.
TEST_F(Nodes, AddTextMakesANodeUnlessLastTextIsSet) {
  Element element("e", nullptr);
  for (const char* text : {"", "a", ""}) ASSERT_TRUE(AddText(element, text));
  EXPECT_EQ(element.children[2]->parent, &element);
  FailNodeAllocation(1);
  EXPECT_FALSE(AddText(element, "b"));
  element.lastText = static_cast<Text*>(element.children[1]);
  ASSERT_TRUE(AddText(element, "y"));
  EXPECT_EQ(DescribeChildren(element), "T\"\" T\"ay\" T\"\"");
  AppendChild(element, NewNode<Text>(__LINE__, u"test", &element, "z"));
  EXPECT_EQ(element.lastText, element.children[1]);
  AppendChild(element, NewNode<Comment>(__LINE__, u"test", &element, "c"));
  EXPECT_EQ(element.lastText, nullptr);
}

}  // namespace
