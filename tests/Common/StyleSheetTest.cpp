#include "Common/StyleSheet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "Common/MyStrtok.h"
#include "Common/Parser/Elements.h"
#include "Common/Parser/Reader.h"
#include "Common/Properties.h"
#include "Common/SVGParsUtil.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

std::string Text(const char* text) { return text == nullptr ? "<none>" : text; }

std::string Bytes(const uint8_t* data, int32_t count) {
  return data == nullptr ? "<none>" : std::string(reinterpret_cast<const char*>(data), count);
}

// A parsed XML snippet; its root is the element under test.
class XmlSnippet {
 public:
  explicit XmlSnippet(std::string_view text) {
    AdvXMLParser::ResetTextState();
    AdvXMLParser::Parser parser;
    document_ = parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  }
  ~XmlSnippet() { AdvXMLParser::DeleteNode(document_); }
  XmlSnippet(const XmlSnippet&) = delete;
  XmlSnippet& operator=(const XmlSnippet&) = delete;
  const AdvXMLParser::Element& root() const { return *document_->root; }

 private:
  AdvXMLParser::Document* document_ = nullptr;
};

// Presentation properties with their defaults, freed at the end.
struct Props {
  Props() { EXPECT_EQ(InitPresentationProperties(value), kOk); }
  ~Props() { FreePresentationProperties(value); }
  Props(const Props&) = delete;
  Props& operator=(const Props&) = delete;
  // The paint's colour text, or "<none>" while the paint is not given.
  std::string Fill() const { return Paint(value.fill); }
  std::string Stroke() const { return Paint(value.stroke); }
  static std::string Paint(const SvgPaint& paint) {
    return paint.paintKind == kPaintNotGiven ? "<none>" : Text(paint.color.text);
  }
  PresentationProperties value{};
};

// A fresh document per test; after it nothing may be live.
class StyleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelFailAllocation(0);
    MyStrtokReset();
    before_ = testing::KernelSnapshot();
    ASSERT_EQ(CreateSvgDocument(&document_), kOk);
  }
  void TearDown() override {
    FreeSvgDocument(document_);
    KernelFailAllocation(0);
    MyStrtokReset();
    testing::ExpectNothingLiveSince(before_);
  }

  SvgDocument& doc() { return *document_; }
  void Sheet(std::string_view text) { ASSERT_EQ(ParseStyleSheet(doc(), text), kOk); }
  std::string Rule(const char* element, const char* className) {
    return Text(FindRule(doc(), element, className));
  }
  // Registers the element's classes, then applies rules and style.
  void Apply(Props& props, int32_t index, const char* element, const char* classValue,
             const char* style = nullptr) {
    ASSERT_EQ(RegisterClasses(doc(), index, classValue), kOk);
    ASSERT_EQ(ApplyClassesAndStyle(doc(), index, element, props.value, classValue, style), kOk);
  }
  int32_t RuleCount() {
    int32_t count = 0;
    for (const CssRule* rule = doc().style.rules; rule != nullptr; rule = rule->next) ++count;
    return count;
  }

  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
};

// --- sheets ---------------------------------------------------------------------

// Each sheet, then the rule found for element and class names.
TEST_F(StyleTest, SheetSelectorsAndLookups) {
  struct Probe {
    const char* element;
    const char* className;
    const char* declarations;
  };
  struct Case {
    const char* sheet;
    std::vector<Probe> probes;
  };
  const Case cases[] = {
      {" .a{fill:red} rect.b {stroke:blue}\n circle{ fill : green } ",
       {{nullptr, "a", "fill:red"}, {"rect", "b", "stroke:blue"},
        {"circle", nullptr, " fill : green "}, {"rect", nullptr, "<none>"},
        {nullptr, "b", "<none>"}, {"circle", "a", "<none>"}, {nullptr, nullptr, "<none>"}}},
      // Other selectors are element names that never match an element.
      {"a, b{fill:red} #id{fill:blue} rect > circle{fill:green} rect.x.y{fill:black}",
       {{"a, b", nullptr, "fill:red"}, {"a", nullptr, "<none>"}, {"#id", nullptr, "fill:blue"},
        {"rect > circle", nullptr, "fill:green"}, {"rect", "x.y", "fill:black"},
        {"rect", "x", "<none>"}}},
      // Names compare with case.
      {"Rect{fill:red} .A{fill:blue}",
       {{"rect", nullptr, "<none>"}, {nullptr, "a", "<none>"}, {"Rect", nullptr, "fill:red"}}},
      // An empty class name differs from no class.
      {"rect.{fill:red} rect{fill:blue} .{fill:green}",
       {{"rect", "", "fill:red"}, {"rect", nullptr, "fill:blue"}, {nullptr, "", "fill:green"}}},
      // Comments go, an unterminated one up to the end.
      {".a{fill:/*x*/red}", {{nullptr, "a", "fill:red"}}},
      {"/* head { } */ .a{fill:red}", {{nullptr, "a", "fill:red"}}},
      {".a/**/{fill:red/* } */}", {{nullptr, "a", "fill:red"}}},
      {".a{fill:red} /* unterminated .b{fill:blue}",
       {{nullptr, "a", "fill:red"}, {nullptr, "b", "<none>"}}},
      // Empty declarations skip only their rule; an empty selector ends the sheet.
      {".a{} .b{ \n } {} .c{fill:red}",
       {{nullptr, "a", "<none>"}, {nullptr, "b", "<none>"}, {nullptr, "c", "fill:red"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sheet);
    FreeStyleTables(doc());
    Sheet(c.sheet);
    for (const Probe& probe : c.probes) {
      SCOPED_TRACE(Text(probe.element) + " . " + Text(probe.className));
      EXPECT_EQ(Rule(probe.element, probe.className), probe.declarations);
    }
  }
}

TEST_F(StyleTest, EmptySelectorDropsOnlyTheRestOfItsSheet) {
  Sheet("{fill:red} .a{fill:blue}");
  EXPECT_EQ(doc().style.rules, nullptr);
  Sheet(".b{fill:red}  {fill:green} .a{fill:blue}");
  EXPECT_EQ(Rule(nullptr, "b"), "fill:red");
  EXPECT_EQ(Rule(nullptr, "a"), "<none>");
  EXPECT_EQ(RuleCount(), 1);
  Sheet(".a{fill:blue}");
  EXPECT_EQ(Rule(nullptr, "a"), "fill:blue");
}

TEST_F(StyleTest, UnmatchedBracesEndTheSheet) {
  for (const char* sheet : {".a{fill:red} .b{fill:blue", ".a{fill:red} .b", ".a{fill:red}}",
                            "  ", ""}) {
    SCOPED_TRACE(sheet);
    FreeStyleTables(doc());
    Sheet(sheet);
    EXPECT_EQ(Rule(nullptr, "b"), "<none>");
    EXPECT_EQ(RuleCount(), std::string_view(sheet).find('{') == std::string_view::npos ? 0 : 1);
  }
}

TEST_F(StyleTest, RulesRunFromTheLastAddedAndTheLastWins) {
  Sheet(".a{fill:red} rect{fill:green}");
  Sheet(".a{fill:blue}");
  std::vector<std::string> order;
  for (const CssRule* rule = doc().style.rules; rule != nullptr; rule = rule->next) {
    order.push_back(rule->declarations);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"fill:blue", "fill:green", "fill:red"}));
  EXPECT_EQ(Rule(nullptr, "a"), "fill:blue");
}

// The hashed lookup must answer exactly what a scan of the list in order
// answers, over many rules with repeated keys.
TEST_F(StyleTest, FindRuleAgreesWithAScanOfTheList) {
  const char* elements[] = {nullptr, "rect", "circle", "g", "path"};
  std::mt19937 random(7);
  std::string sheet;
  for (int i = 0; i < 3000; ++i) {
    const char* element = elements[random() % 5];
    const std::string cls = "c" + std::to_string(random() % 300);
    if (element == nullptr) {
      sheet += "." + cls;
    } else if (random() % 3 == 0) {
      sheet += element;
    } else {
      sheet += std::string(element) + "." + cls;
    }
    sheet += "{n:" + std::to_string(i) + "}";
  }
  Sheet(sheet);
  for (const char* element : elements) {
    for (int c = -1; c < 310; ++c) {
      const std::string cls = "c" + std::to_string(c);
      const char* className = c < 0 ? nullptr : cls.c_str();
      const char* expected = nullptr;
      for (const CssRule* rule = doc().style.rules; rule != nullptr; rule = rule->next) {
        const bool sameElement = element == nullptr
                                     ? rule->elementName == nullptr
                                     : rule->elementName != nullptr &&
                                           std::string_view(rule->elementName) == element;
        const bool sameClass = className == nullptr
                                   ? rule->className == nullptr
                                   : rule->className != nullptr &&
                                         std::string_view(rule->className) == className;
        if (sameElement && sameClass) {
          expected = rule->declarations;
          break;
        }
      }
      ASSERT_EQ(FindRule(doc(), element, className), expected)
          << Text(element) << " " << Text(className);
    }
  }
}

// --- classes ---------------------------------------------------------------------

TEST_F(StyleTest, ClassTableKeepsFirstAppearanceOrder) {
  ASSERT_EQ(RegisterClasses(doc(), 0, "b\ta"), kOk);
  ASSERT_EQ(RegisterClasses(doc(), 1, "  a  c\r\nA "), kOk);
  ASSERT_EQ(RegisterClasses(doc(), 2, nullptr), kOk);
  ASSERT_EQ(RegisterClasses(doc(), 3, " \t "), kOk);
  const StyleTables& tables = doc().style;
  ASSERT_EQ(tables.classCount, 4);
  const std::vector<std::pair<std::string, std::vector<int32_t>>> expected{
      {"b", {0}}, {"a", {0, 1}}, {"c", {1}}, {"A", {1}}};
  for (int32_t i = 0; i < tables.classCount; ++i) {
    SCOPED_TRACE(i);
    const ClassEntry& entry = tables.classes[i];
    EXPECT_EQ(Text(entry.name), expected[i].first);
    EXPECT_EQ(std::vector<int32_t>(entry.elements, entry.elements + entry.count),
              expected[i].second);
  }
}

TEST_F(StyleTest, ClassTablesGrowInTheirSteps) {
  ASSERT_EQ(RegisterClasses(doc(), 0, "a b c d e"), kOk);
  EXPECT_EQ(doc().style.classCapacity, kClassTableFirst);
  ASSERT_EQ(RegisterClasses(doc(), 1, "f"), kOk);
  EXPECT_EQ(doc().style.classCapacity, kClassTableFirst + kClassTableGrowth);
  for (int32_t i = 2; i <= 10; ++i) ASSERT_EQ(RegisterClasses(doc(), i, "a"), kOk);
  EXPECT_EQ(doc().style.classes[0].count, 10);
  EXPECT_EQ(doc().style.classes[0].capacity, kClassElementsFirst);
  ASSERT_EQ(RegisterClasses(doc(), 11, "a"), kOk);
  EXPECT_EQ(doc().style.classes[0].capacity, kClassElementsFirst + kClassElementsGrowth);
  // Many classes: every name keeps its entry through the index growth.
  for (int32_t i = 0; i < 500; ++i) {
    ASSERT_EQ(RegisterClasses(doc(), 100 + i, ("k" + std::to_string(i)).c_str()), kOk);
  }
  ASSERT_EQ(RegisterClasses(doc(), 700, "k250 a"), kOk);
  EXPECT_EQ(doc().style.classCount, 506);
  EXPECT_EQ(doc().style.classes[6 + 250].count, 2);
  EXPECT_EQ(doc().style.classes[0].count, 12);
}

// --- applying rules --------------------------------------------------------------

TEST_F(StyleTest, ElementAndClassRuleBeatsTheClassRule) {
  Sheet(".a{fill:red} rect.a{fill:blue}");
  Props rect;
  Apply(rect, 0, "rect", "a");
  EXPECT_EQ(rect.Fill(), "blue");
  Props circle;
  Apply(circle, 1, "circle", "a");
  EXPECT_EQ(circle.Fill(), "red");
}

TEST_F(StyleTest, TypeRuleThenClassRulesThenStyle) {
  Sheet("rect{fill:black;stroke:black} .a{fill:red}");
  Props plain;
  Apply(plain, 0, "rect", nullptr);
  EXPECT_EQ(plain.Fill(), "black");
  EXPECT_EQ(plain.Stroke(), "black");
  Props classed;
  Apply(classed, 1, "rect", "a", "stroke:blue");
  EXPECT_EQ(classed.Fill(), "red");
  EXPECT_EQ(classed.Stroke(), "blue");
  Props styled;
  Apply(styled, 2, "rect", "a", "fill:green");
  EXPECT_EQ(styled.Fill(), "green");
  Props circle;
  Apply(circle, 3, "circle", nullptr);
  EXPECT_EQ(circle.Fill(), "<none>");
}

TEST_F(StyleTest, ClassRulesApplyInOrderOfFirstAppearance) {
  // The class that first appeared later is applied last, whatever the
  // attribute's order.
  struct Case {
    const char* firstClass;
    const char* classValue;
    const char* fill;
  } cases[] = {
      {"a", "a b", "blue"}, {"a", "b a", "blue"}, {"b", "a b", "red"}, {"b", "b a", "red"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.firstClass) + " then " + c.classValue);
    FreeStyleTables(doc());
    Sheet(".a{fill:red} .b{fill:blue}");
    Props first;
    Apply(first, 0, "rect", c.firstClass);
    Props both;
    Apply(both, 1, "rect", c.classValue);
    EXPECT_EQ(both.Fill(), c.fill);
  }
}

TEST_F(StyleTest, ClassRulesNeedTheRegistrationAndTheAttribute) {
  Sheet(".a{fill:red}");
  Props unregistered;
  ASSERT_EQ(ApplyClassesAndStyle(doc(), 0, "rect", unregistered.value, "a", nullptr), kOk);
  EXPECT_EQ(unregistered.Fill(), "<none>");
  ASSERT_EQ(RegisterClasses(doc(), 1, "a"), kOk);
  Props withoutAttribute;
  ASSERT_EQ(ApplyClassesAndStyle(doc(), 1, "rect", withoutAttribute.value, nullptr, nullptr), kOk);
  EXPECT_EQ(withoutAttribute.Fill(), "<none>");
  // An element registered earlier is still found after later registrations.
  ASSERT_EQ(RegisterClasses(doc(), 2, "a"), kOk);
  Props earlier;
  ASSERT_EQ(ApplyClassesAndStyle(doc(), 1, "rect", earlier.value, "a", nullptr), kOk);
  EXPECT_EQ(earlier.Fill(), "red");
}

TEST_F(StyleTest, RulesReachOnlyElementsParsedAfterTheSheet) {
  Props before;
  Apply(before, 0, "rect", "a");
  Sheet(".a{fill:red}");
  Props after;
  Apply(after, 1, "rect", "a");
  EXPECT_EQ(before.Fill(), "<none>");
  EXPECT_EQ(after.Fill(), "red");
}

TEST_F(StyleTest, ManyClassNamesOnOneElementKeepTheirOrder) {
  std::string sheet;
  std::string classValue;
  for (int i = 0; i < 40; ++i) {
    sheet += ".c" + std::to_string(i) + "{stroke-width:" + std::to_string(i + 1) + "}";
    ASSERT_EQ(RegisterClasses(doc(), i, ("c" + std::to_string(i)).c_str()), kOk);
    classValue = "c" + std::to_string(i) + " " + classValue;  // reverse order
  }
  Sheet(sheet);
  Props props;
  Apply(props, 40, "rect", classValue.c_str());
  EXPECT_EQ(props.value.strokeWidth.value, 40.0);
}

// --- style elements ----------------------------------------------------------------

class StyleElementTest : public StyleTest {
 protected:
  void TearDown() override {
    FreeStyleElementData(data_);
    StyleTest::TearDown();
  }
  Status Parse(std::string_view xml) {
    FreeStyleElementData(data_);
    data_ = StyleElementData{};
    XmlSnippet snippet(xml);
    return ParseStyleElement(doc(), snippet.root(), data_);
  }
  StyleElementData data_{};
};

TEST_F(StyleElementTest, ReadsTheSheetText) {
  struct Case {
    const char* xml;
    Status status;
    const char* rules;  // the classes that got a rule
    const char* text;
  } cases[] = {
      {"<style type='TEXT/CSS'>.a{fill:red}</style>", kOk, "a", ".a{fill:red}"},
      // The first CDATA section wins over text and later sections.
      {"<style type='text/css'>\n .x{fill:green}<![CDATA[.a{fill:red}]]><![CDATA[.b{fill:blue}]]>"
       "</style>",
       kOk, "a", ".a{fill:red}"},
      {"<style type='text/css'>.a{fill:red}<!-- .c{fill:green} --> .b{fill:blue}</style>", kOk,
       "ab", nullptr},
      {"<style>.a{fill:red}</style>", kOk, "", ".a{fill:red}"},
      {"<style type='text/plain'>.a{fill:red}</style>", kErrBadValue, "a", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    FreeStyleTables(doc());
    EXPECT_EQ(Parse(c.xml), c.status);
    std::string found;
    for (const char* name : {"a", "b", "c", "x"}) {
      if (FindRule(doc(), nullptr, name) != nullptr) found += name;
    }
    EXPECT_EQ(found, c.rules);
    EXPECT_TRUE((c.text == nullptr && c.status == kOk) || Text(data_.text) == Text(c.text));
  }
  EXPECT_EQ(Parse("<style id='s1' type='TEXT/CSS'/>"), kOk);
  EXPECT_EQ(Text(data_.id), "s1");
  EXPECT_EQ(FindId(doc(), "s1"), doc().recordCount);
}

TEST_F(StyleElementTest, RejectsAttributesItDoesNotTake) {
  struct Case {
    const char* xml;
    Status status;
    bool rulesRead;
  } cases[] = {
      {"<style type='text/css' type='text/css'>.a{x:y}</style>", kErrDuplicateAttribute, true},
      {"<style id='a' id='b' type='text/css'>.a{x:y}</style>", kErrDuplicateAttribute, false},
      {"<style media='tv' type='text/css' media='tv'>.a{x:y}</style>", kErrDuplicateAttribute,
       true},
      {"<style type='text/css' foo='1'>.a{x:y}</style>", kErrBadLength, true},
      {"<style foo='1' type='text/css'>.a{x:y}</style>", kErrBadLength, false},
      {"<style xml:lang='en' type='text/css'>.a{x:y}</style>", kErrBadLength, false},
      {"<style xmlns='x' type='text/css'>.a{x:y}</style>", kErrBadLength, false},
      {"<style xml:space='keep' type='text/css'>.a{x:y}</style>", kErrBadValue, false},
      {"<style xml:space='preserve' xml:space='default'>.a{x:y}</style>",
       kErrDuplicateAttribute, false},
      {"<style type='text/css' media='paper'>.a{x:y}</style>", kErrBadValue, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.xml);
    FreeStyleTables(doc());
    EXPECT_EQ(Parse(c.xml), c.status);
    EXPECT_EQ(Rule(nullptr, "a"), c.rulesRead ? "x:y" : "<none>");
    EXPECT_EQ(data_.text, nullptr);
  }
}

TEST_F(StyleElementTest, XmlBaseOnlyInVersion11) {
  EXPECT_EQ(Parse("<style xml:base='http://a/' xml:space='preserve' type='text/css'/>"), kOk);
  EXPECT_EQ(Text(data_.xmlBase), "http://a/");
  EXPECT_EQ(data_.xmlSpace, 1);
  doc().version = 1.0;
  EXPECT_EQ(Parse("<style xml:base='http://a/' type='text/css'/>"), kErrBadLength);
}

TEST_F(StyleElementTest, ReadsMediaLists) {
  struct Case {
    const char* media;
    Status status;
    uint32_t mask;
  } cases[] = {
      {"screen", kOk, 64},
      {"print, SCREEN", kOk, 16 | 64},
      {"aural braille\tembossed\nhandheld\rprojection,tty,,tv", kOk, 1 | 2 | 4 | 8 | 32 | 128 | 256},
      {"all", kOk, kMediaAll},
      {"", kOk, 0},
      {"screen screen", kErrBadValue, 64},
      {"tv all", kErrBadValue, 256},
      {"print paper tv", kErrBadValue, 16},
      {"screen-reader", kErrBadValue, 0},
  };
  uint32_t union_ = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.media);
    const std::string xml = std::string("<style type='text/css' media='") + c.media + "'/>";
    EXPECT_EQ(Parse(xml), c.status);
    EXPECT_EQ(data_.media, c.mask);
    union_ |= c.mask;
    EXPECT_EQ(doc().style.mediaMask, union_);
  }
}

TEST_F(StyleElementTest, ReadsAnEmbeddedFont) {
  EXPECT_EQ(Parse("<style type='text/css'><![CDATA[@font-face { font-family: 'Ab'; "
                  "src: url(\"data:font/ttf;base64,QUJD\") }]]></style>"),
            kOk);
  ASSERT_EQ(doc().style.fontFaceCount, 1);
  EXPECT_EQ(Text(doc().style.fontFaces[0].family), "Ab");
  EXPECT_EQ(Text(doc().style.fontFaces[0].data), "QUJD");
  // A rule sheet is no error, and a failed element keeps no font.
  EXPECT_EQ(Parse("<style type='text/css'>.a{fill:red}</style>"), kOk);
  EXPECT_EQ(Parse("<style type='text/plain'>@font-face{font-family:'B';"
                  "src:url(\"data:;base64,QQ==\")}</style>"),
            kErrBadValue);
  EXPECT_EQ(doc().style.fontFaceCount, 1);
}

// --- @font-face --------------------------------------------------------------------

TEST_F(StyleTest, FontFaceAcceptsItsForm) {
  struct Case {
    const char* text;
    const char* family;
    const char* data;
    int32_t isReference;
  } cases[] = {
      {"@font-face{font-family:'F';src:url(\"data:;base64,QUJD\")}", "F", "QUJD", 0},
      {" \n@FONT-FACE {\n FONT-FAMILY : \"My Font\" ;\n src : URL( \"DATA : ;BASE64 , QU\nJD\" ) "
       "}\n.a{fill:red}",
       "My Font", "QU\nJD", 0},
      {"@font-face{font-family:'F';src:url(\"data:font/ttf;charset=utf-8;base64,\\QUJD\")}", "F",
       "QUJD", 0},
      {"@font-face{font-family:'';src:url('data:;base64,')}", "", "", 0},
      {"@font-face{font-family:'F';src:url(\"#glyphs\")}", "F", "glyphs", 1},
      {"@font-face{font-family:'F';src:url(\"#0123456789012345678901234567890123456789xyz\")}",
       "F", "012345678901234567890123456789012345678", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FreeStyleTables(doc());
    ASSERT_EQ(ParseFontFace(doc(), c.text), kOk);
    ASSERT_EQ(doc().style.fontFaceCount, 1);
    const FontFaceEntry& entry = doc().style.fontFaces[0];
    EXPECT_EQ(Text(entry.family), c.family);
    EXPECT_EQ(Text(entry.data), c.data);
    EXPECT_EQ(entry.isReference, c.isReference);
  }
}

TEST_F(StyleTest, FontFaceRejectsDeviations) {
  const KernelAccounting withDocument = testing::KernelSnapshot();
  for (const char* text : {
           "",
           ".a{fill:red} @font-face{font-family:'F';src:url(\"data:;base64,QUJD\")}",
           "@font-face font-family:'F';src:url(\"data:;base64,QUJD\")}",
           "@font-face{font-family:F;src:url(\"data:;base64,QUJD\")}",
           "@font-face{font-family:'F\";src:url(\"data:;base64,QUJD\")}",
           "@font-face{font-family:'F' src:url(\"data:;base64,QUJD\")}",
           "@font-face{font-family:'F';SRC:url(\"data:;base64,QUJD\")}",
           "@font-face{font-family:'F';src:url(data:;base64,QUJD)}",
           "@font-face{font-family:'F';src:url(\"http:;base64,QUJD\")}",
           "@font-face{font-family:'F';src:url(\"data:font/ttf,QUJD\")}",
           "@font-face{font-family:'F';src:url(\"data:;base32,QUJD\")}",
           "@font-face{font-family:'F';src:url(\"data:;base64;QUJD\")}",
           "@font-face{font-family:'F';src:url(\"data:;base64,QUJD)}",
           "@font-face{font-family:'F';src:url(\"data:;base64,QUJD\"}",
           "@font-face{font-family:'F';src:url(\"data:;base64,QUJD\")",
           "@font-face{font-family:'F';src:url(\"#abc)}",
       }) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseFontFace(doc(), text), kErrBadValue);
    EXPECT_EQ(doc().style.fontFaceCount, 0);
    testing::ExpectNothingLiveSince(withDocument);
  }
}

TEST_F(StyleTest, FontTableGrowsByTen) {
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(ParseFontFace(doc(), "@font-face{font-family:'F';src:url(\"#f\")}"), kOk);
  }
  EXPECT_EQ(doc().style.fontFaceCount, 6);
  EXPECT_EQ(doc().style.fontFaceCapacity, kFontFaceTableFirst + kFontFaceTableGrowth);
}

// --- base64 and data URIs ------------------------------------------------------------

std::string Decode(std::string_view text) {
  std::vector<uint8_t> buffer(text.size() + 1);
  const int32_t count =
      DecodeBase64(text.data(), static_cast<int32_t>(text.size()), buffer.data());
  return count < 0 ? "<fail>" : std::string(buffer.begin(), buffer.begin() + count);
}

TEST(DecodeBase64, DecodesTheStandardVectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", ""},           {"Zg==", "f"},         {"Zm8=", "fo"},        {"Zm9v", "foo"},
      {"Zm9vYg==", "foob"}, {"Zm9vYmE=", "fooba"}, {"Zm9vYmFy", "foobar"},
      {"Zg", "f"},        {"Zm8", "fo"},         {"Zm9vYmE", "fooba"}, {"Z", ""},
  };
  for (const auto& [text, bytes] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Decode(text), bytes);
  }
  EXPECT_EQ(Decode("+/+/"), "\xfb\xff\xbf");
  EXPECT_EQ(Decode("AAEC/w=="), std::string("\x00\x01\x02\xff", 4));
}

TEST(DecodeBase64, DropsCharactersOutsideTheAlphabet) {
  for (const char* text : {"Zm9v\r\nYmFy", " Zm 9v\tYm Fy ", "\\Zm9v\\\nYmFy", "Zm*9v#Ym@Fy!",
                           "Zm9vYmFy\n", "Zm9vYmFy=Zm9v", "-_Zm9vYmFy"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(Decode(text), "foobar");
  }
}

TEST(DecodeBase64, RejectsMissingArguments) {
  uint8_t buffer[4];
  EXPECT_EQ(DecodeBase64(nullptr, 4, buffer), -1);
  EXPECT_EQ(DecodeBase64("Zm9v", 4, nullptr), -1);
  EXPECT_EQ(DecodeBase64("Zm9v", -1, buffer), -1);
  EXPECT_EQ(DecodeBase64("Zm9v", 0, buffer), 0);
}

class DataUriTest : public StyleTest {
 protected:
  void TearDown() override {
    FreeImageSource(source_);
    StyleTest::TearDown();
  }
  Status Read(const char* href) {
    FreeImageSource(source_);
    return ParseDataUri(source_, href);
  }
  ImageSource source_{};
};

TEST_F(DataUriTest, DecodesBase64Data) {
  struct Case {
    const char* href;
    const char* bytes;
  } cases[] = {
      {"data:image/png;base64,Zm9vYmFy", "foobar"},
      {"data:image/png;base64,Zm9v\r\n YmE=", "fooba"},
      {"data:;charset=x;base64,Zm9v;rest", "foo"},
      {"data:image/png;;base64,,Zm8", "fo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.href);
    EXPECT_EQ(Read(c.href), kOk);
    EXPECT_EQ(Bytes(source_.data, source_.dataSize), c.bytes);
    EXPECT_EQ(source_.href, nullptr);
  }
}

TEST_F(DataUriTest, WithoutDecodedBytesKeepsNothing) {
  for (const char* href : {"data:image/png;base64,", "data:image/png;base64", "data:;base64,==",
                           "data:;base64,***"}) {
    SCOPED_TRACE(href);
    EXPECT_EQ(Read(href), kOk);
    EXPECT_EQ(source_.data, nullptr);
    EXPECT_EQ(source_.dataSize, 0);
    EXPECT_EQ(source_.href, nullptr);
  }
}

TEST_F(DataUriTest, KeepsOtherHrefsAsReferences) {
  struct Case {
    const char* href;
    const char* kept;
  } cases[] = {
      {"#img", "img"},
      {"picture.png", "picture.png"},
      {"data:text/plain,hello", "data:text/plain,hello"},
      {"data:image/png;BASE64,Zm9v", "data:image/png;BASE64,Zm9v"},
      {"base64,Zm9v", "base64,Zm9v"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.href);
    EXPECT_EQ(Read(c.href), kOk);
    EXPECT_EQ(Text(source_.href), c.kept);
    EXPECT_EQ(source_.data, nullptr);
  }
}

TEST_F(DataUriTest, ReadsOncePerElement) {
  ASSERT_EQ(ParseDataUri(source_, "#a"), kOk);
  EXPECT_EQ(ParseDataUri(source_, "#b"), kErrDuplicateAttribute);
  EXPECT_EQ(Text(source_.href), "a");
  FreeImageSource(source_);
  EXPECT_EQ(ParseDataUri(source_, nullptr), kErrMissing);
  EXPECT_EQ(ParseDataUri(source_, "#b"), kErrDuplicateAttribute);
}

// --- allocation failures ---------------------------------------------------------------

// Runs `step` on a fresh document with the n-th allocation failing, for
// n = 1, 2, ... until it succeeds: every failure must report kErrNoMemory
// and leave nothing live once the document is freed.
void SweepAllocations(const std::function<Status(SvgDocument&)>& step) {
  const KernelAccounting before = testing::KernelSnapshot();
  int64_t n = 1;
  for (; n < 10000; ++n) {
    SCOPED_TRACE(n);
    SvgDocument* document = nullptr;
    ASSERT_EQ(CreateSvgDocument(&document), kOk);
    KernelFailAllocation(n);
    const Status status = step(*document);
    KernelFailAllocation(0);
    FreeSvgDocument(document);
    MyStrtokReset();
    testing::ExpectNothingLiveSince(before);
    if (status == kOk) break;
    ASSERT_EQ(status, kErrNoMemory) << StatusName(status);
  }
  EXPECT_GT(n, 3) << "the step allocated almost nothing";
}

// One document goes through every step, so that the sweep fails each of
// their allocations in turn: sheets, class tables past their growth, rules
// applied, font faces past their table's growth and a style element.
TEST(StyleAllocation, EveryStepFailsCleanly) {
  std::string sheet;
  for (int i = 0; i < 20; ++i) sheet += ".c" + std::to_string(i) + "{fill:red} g{x:y}";
  std::string many;
  for (int i = 0; i < 40; ++i) many += "k" + std::to_string(i) + " ";
  many += "a b";
  XmlSnippet snippet("<style id='s' type='text/css' media='screen'><![CDATA["
                     "@font-face{font-family:'F';src:url(\"data:;base64,QUJD\")} .a{fill:red}"
                     "]]></style>");
  SweepAllocations([&](SvgDocument& document) {
    Status status = ParseStyleSheet(document, sheet);
    if (status == kOk) {
      status = ParseStyleSheet(document, "rect{stroke:blue} .a{fill:red} rect.b{fill:green}");
    }
    for (int32_t i = 0; i < 40 && status == kOk; ++i) {
      status = RegisterClasses(document, i, ("a c" + std::to_string(i % 12)).c_str());
    }
    if (status == kOk) status = RegisterClasses(document, 40, many.c_str());
    PresentationProperties props{};
    if (status == kOk) status = InitPresentationProperties(props);
    if (status == kOk) {
      status = ApplyClassesAndStyle(document, 40, "rect", props, many.c_str(), "stroke:red");
    }
    FreePresentationProperties(props);
    for (int i = 0; i < 7 && status == kOk; ++i) {
      status =
          ParseFontFace(document, "@font-face{font-family:'F';src:url(\"data:;base64,QUJD\")}");
    }
    StyleElementData data{};
    if (status == kOk) status = ParseStyleElement(document, snippet.root(), data);
    FreeStyleElementData(data);
    return status;
  });
}

}  // namespace
}  // namespace svgflt
