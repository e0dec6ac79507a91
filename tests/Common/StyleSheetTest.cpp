#include "Common/StyleSheet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
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

// "-" stands for no string (and for a paint not given).
std::string Text(const char* text) { return text == nullptr ? "-" : text; }

// A parsed XML snippet; its root is the element under test.
using XmlSnippet = std::unique_ptr<AdvXMLParser::Document, void (*)(AdvXMLParser::Document*)>;
XmlSnippet ParseXml(std::string_view text) {
  AdvXMLParser::ResetTextState();
  AdvXMLParser::Parser parser;
  return {parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size()),
          [](AdvXMLParser::Document* document) { AdvXMLParser::DeleteNode(document); }};
}

// A fresh document per test, and a style element's data and an image source
// freed with it; after the test nothing may be live.
class StyleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MyStrtokReset();
    before_ = testing::KernelSnapshot();
    ASSERT_EQ(CreateSvgDocument(&document_), kOk);
  }
  void TearDown() override {
    FreeStyleElementData(data_);
    FreeImageSource(source_);
    FreeSvgDocument(document_);
    MyStrtokReset();
    testing::ExpectNothingLiveSince(before_);
  }

  SvgDocument& doc() { return *document_; }
  void Sheet(std::string_view text) { ASSERT_EQ(ParseStyleSheet(doc(), text), kOk); }
  std::string Rule(const char* element, const char* className) { return Text(FindRule(doc(), element, className)); }
  // Registers the element's classes (unless told not to), applies the rules
  // to fresh properties and gives back the fill's colour ("-": not given).
  std::string Fill(int32_t index, const char* element, const char* classValue, bool registered = true) {
    PresentationProperties props{};
    EXPECT_EQ(InitPresentationProperties(props), kOk);
    EXPECT_TRUE(!registered || RegisterClasses(doc(), index, classValue) == kOk);
    EXPECT_EQ(ApplyClassesAndStyle(doc(), index, element, props, classValue, nullptr), kOk);
    strokeWidth_ = props.strokeWidth.value;
    const std::string fill = props.fill.paintKind == kPaintNotGiven ? "-" : Text(props.fill.color.text);
    FreePresentationProperties(props);
    return fill;
  }
  std::vector<std::string> Rules() {
    std::vector<std::string> all;
    for (const CssRule* rule = doc().style.rules; rule != nullptr; rule = rule->next) all.push_back(rule->declarations);
    return all;
  }
  Status ParseElement(std::string_view xml) {
    FreeStyleElementData(data_);
    data_ = StyleElementData{};
    return ParseStyleElement(doc(), *ParseXml(xml)->root, data_);
  }

  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
  StyleElementData data_{};
  ImageSource source_{};
  double strokeWidth_ = 0;
};

// Each sheet, then the rule found for element and class names.
TEST_F(StyleTest, SheetSelectorsAndLookups) {
  struct Probe { const char *element, *className, *declarations; };
  const struct { const char* sheet; std::vector<Probe> probes; } kCases[] = {
      {" .a{fill:red} rect.b {stroke:blue}\n circle{ fill : green } ",
       {{nullptr, "a", "fill:red"}, {"rect", "b", "stroke:blue"}, {"circle", nullptr, " fill : green "},
        {"rect", nullptr, "-"}, {nullptr, "b", "-"}, {"circle", "a", "-"}, {nullptr, nullptr, "-"}}},
      // Other selectors are element names that never match an element.
      {"a, b{fill:red} #id{fill:blue} rect > circle{fill:green} rect.x.y{fill:black}",
       {{"a, b", nullptr, "fill:red"}, {"a", nullptr, "-"}, {"#id", nullptr, "fill:blue"},
        {"rect > circle", nullptr, "fill:green"}, {"rect", "x.y", "fill:black"}, {"rect", "x", "-"}}},
      // Names compare with case.
      {"Rect{fill:red} .A{fill:blue}", {{"rect", nullptr, "-"}, {nullptr, "a", "-"}, {"Rect", nullptr, "fill:red"}}},
      // An empty class name differs from no class.
      {"rect.{fill:red} rect{fill:blue} .{fill:green}",
       {{"rect", "", "fill:red"}, {"rect", nullptr, "fill:blue"}, {nullptr, "", "fill:green"}}},
      // Comments go, an unterminated one up to the end.
      {"/* head { } */ .a/**/{fill:/*x*/red/* } */}", {{nullptr, "a", "fill:red"}}},
      {".a{fill:red} /* unterminated .b{fill:blue}", {{nullptr, "a", "fill:red"}, {nullptr, "b", "-"}}},
      // Empty declarations skip only their rule; an empty selector or an
      // unmatched brace ends the sheet.
      {".a{} .b{ \n } {} .c{fill:red}", {{nullptr, "a", "-"}, {nullptr, "b", "-"}, {nullptr, "c", "fill:red"}}},
      {".c{fill:red}  {fill:green} .a{fill:blue}", {{nullptr, "c", "fill:red"}, {nullptr, "a", "-"}}},
      {".a{fill:red} .b{fill:blue", {{nullptr, "a", "fill:red"}, {nullptr, "b", "-"}}},
      {".a{fill:red} .b", {{nullptr, "a", "fill:red"}, {nullptr, "b", "-"}}},
      {".a{fill:red}} .b{fill:blue}", {{nullptr, "a", "fill:red"}, {nullptr, "b", "-"}}},
  };
  for (const auto& c : kCases) {
    FreeStyleTables(doc());
    Sheet(c.sheet);
    for (const Probe& probe : c.probes) {
      EXPECT_EQ(Rule(probe.element, probe.className), probe.declarations) << c.sheet << " for "
          << Text(probe.element) << " . " << Text(probe.className);
    }
  }
  FreeStyleTables(doc());
  Sheet("  ");
  Sheet("{fill:red} .a{fill:blue}");
  EXPECT_TRUE(Rules().empty());
  // Rules run from the last added, so the last one wins.
  Sheet(".a{fill:red} rect{fill:green}");
  Sheet(".a{fill:blue}");
  EXPECT_TRUE(Rules() == (std::vector<std::string>{"fill:blue", "fill:green", "fill:red"}) &&
              Rule(nullptr, "a") == "fill:blue");
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
    sheet += element == nullptr ? "." + cls : random() % 3 == 0 ? element : std::string(element) + "." + cls;
    sheet += "{n:" + std::to_string(i) + "}";
  }
  Sheet(sheet);
  auto same = [](const char* a, const char* b) { return a == b || (a && b && std::strcmp(a, b) == 0); };
  for (const char* element : elements) {
    for (int c = -1; c < 310; ++c) {
      const std::string cls = "c" + std::to_string(c);
      const char* className = c < 0 ? nullptr : cls.c_str();
      const char* expected = nullptr;
      for (const CssRule* rule = doc().style.rules; rule != nullptr && expected == nullptr; rule = rule->next) {
        if (same(element, rule->elementName) && same(className, rule->className)) expected = rule->declarations;
      }
      ASSERT_EQ(FindRule(doc(), element, className), expected) << Text(element) << " " << Text(className);
    }
  }
}

TEST_F(StyleTest, ClassRulesApplyInOrderOfFirstAppearance) {
  // The class that first appeared later is applied last, whatever the attribute's order.
  const struct { const char *firstClass, *classValue, *fill; } kCases[] = {
      {"a", "a\tb", "blue"}, {"a", " b\r\na ", "blue"}, {"b", "a b", "red"}, {"b", "b a", "red"}};
  for (const auto& c : kCases) {
    FreeStyleTables(doc());
    Sheet(".a{fill:red} .b{fill:blue}");
    Fill(0, "rect", c.firstClass);
    EXPECT_EQ(Fill(1, "rect", c.classValue), c.fill) << c.firstClass << " then " << c.classValue;
  }
  // Forty classes on one element, written in reverse, among many more: every
  // name keeps its entry through the growth of the class tables.
  FreeStyleTables(doc());
  std::string sheet, classValue;
  for (int i = 0; i < 500; ++i) {
    const std::string name = "c" + std::to_string(i);
    ASSERT_EQ(RegisterClasses(doc(), i, name.c_str()), kOk);
    if (i < 40) sheet += "." + name + "{stroke-width:" + std::to_string(i + 1) + "}";
    if (i < 40) classValue = name + " " + classValue;
  }
  Sheet(sheet);
  Fill(500, "rect", classValue.c_str());
  EXPECT_EQ(strokeWidth_, 40.0);
  // The element and class rule beats a class rule, even a later one.
  Sheet("rect.b{fill:blue} .b{fill:green}");
  EXPECT_EQ(Fill(501, "rect", "b"), "blue");
  EXPECT_EQ(Fill(502, "circle", "b"), "green");
}

TEST_F(StyleTest, ClassRulesNeedTheRegistrationTheAttributeAndAnEarlierSheet) {
  EXPECT_EQ(Fill(0, "rect", "a"), "-");
  Sheet(".a{fill:red}");
  EXPECT_EQ(Fill(1, "rect", "a", false), "-");
  // An element registered earlier is still found after many later registrations.
  for (int32_t i = 2; i < 60; ++i) ASSERT_EQ(RegisterClasses(doc(), i, "a"), kOk);
  EXPECT_EQ(Fill(2, "rect", nullptr, false), "-");
  EXPECT_EQ(Fill(2, "rect", "a", false), "red");
  EXPECT_EQ(Fill(60, "rect", "a"), "red");
}

TEST_F(StyleTest, StyleElementReadsItsText) {
  // The classes that got a rule, and the text kept (null: not checked).
  const struct { std::string xml; Status status; const char *rules, *text = "-"; } kCases[] = {
      {"<style type='TEXT/CSS'>.a{fill:red}</style>", kOk, "a", ".a{fill:red}"},
      // The first CDATA section wins over text and later sections.
      {"<style type='text/css'>\n .x{fill:green}<![CDATA[.a{fill:red}]]><![CDATA[.b{fill:blue}]]></style>", kOk, "a",
       ".a{fill:red}"},
      {"<style type='text/css'>.a{fill:red}<!-- .c{fill:green} --> .b{fill:blue}</style>", kOk, "ab", nullptr},
      {"<style>.a{fill:red}</style>", kOk, "", ".a{fill:red}"},
      {"<style type='text/plain'>.a{fill:red}</style>", kErrBadValue, "a"},
      {"<style type='text/css' type='text/css'>.a{x:y}</style>", kErrDuplicateAttribute, "a"},
      {"<style type='text/css' foo='1'>.a{x:y}</style>", kErrBadLength, "a"},
      {"<style foo='1' type='text/css'>.a{x:y}</style>", kErrBadLength, ""},
      {"<style xml:space='keep' type='text/css'>.a{x:y}</style>", kErrBadValue, ""},
      {"<style xml:space='preserve' xml:space='default'>.a{x:y}</style>", kErrDuplicateAttribute, ""},
      {"<style type='text/css' media='paper'>.a{x:y}</style>", kErrBadValue, "a"},
  };
  for (const auto& c : kCases) {
    FreeStyleTables(doc());
    EXPECT_EQ(ParseElement(c.xml), c.status) << c.xml;
    std::string found;
    for (const char* name : {"a", "b", "c", "x"}) found += FindRule(doc(), nullptr, name) != nullptr ? name : "";
    EXPECT_EQ(found, c.rules) << c.xml;
    EXPECT_TRUE(c.text == nullptr || Text(data_.text) == c.text) << c.xml;
  }
  EXPECT_EQ(ParseElement("<style id='s1' xml:base='http://a/' xml:space='preserve' type='TEXT/CSS'/>"), kOk);
  EXPECT_TRUE(Text(data_.id) == "s1" && FindId(doc(), "s1") == doc().recordCount);
  EXPECT_TRUE(Text(data_.xmlBase) == "http://a/" && data_.xmlSpace == 1);
  doc().version = 1.0;  // xml:base came with version 1.1
  EXPECT_EQ(ParseElement("<style xml:base='http://a/' type='text/css'/>"), kErrBadLength);
}

TEST_F(StyleTest, StyleElementReadsMediaLists) {
  const struct { const char* media; Status status; uint32_t mask; } kCases[] = {
      {"screen", kOk, 64}, {"print, SCREEN", kOk, 16 | 64},
      {"aural braille\tembossed\nhandheld\rprojection,tty,,tv", kOk, 1 | 2 | 4 | 8 | 32 | 128 | 256},
      {"all", kOk, kMediaAll}, {"", kOk, 0}, {"screen screen", kErrBadValue, 64}, {"tv all", kErrBadValue, 256},
      {"print paper tv", kErrBadValue, 16}, {"screen-reader", kErrBadValue, 0},
  };
  uint32_t all = 0;
  for (const auto& c : kCases) {
    EXPECT_EQ(ParseElement(std::string("<style type='text/css' media='") + c.media + "'/>"), c.status) << c.media;
    all |= c.mask;
    EXPECT_TRUE(data_.media == c.mask && doc().style.mediaMask == all) << c.media;
  }
}

TEST_F(StyleTest, FontFaceAcceptsItsForm) {
  const struct { const char *text, *family, *data; int32_t isReference; } kCases[] = {
      {" \n@FONT-FACE {\n FONT-FAMILY : \"My Font\" ;\n src : URL( \"DATA : ;BASE64 , QU\nJD\" ) }\n.a{fill:red}",
       "My Font", "QU\nJD", 0},
      {"@font-face{font-family:'F';src:url(\"data:font/ttf;charset=utf-8;base64,\\QUJD\")}", "F", "QUJD", 0},
      {"@font-face{font-family:'';src:url('data:;base64,')}", "", "", 0},
      {"@font-face{font-family:'F';src:url(\"#glyphs\")}", "F", "glyphs", 1},
      {"@font-face{font-family:'F';src:url(\"#0123456789012345678901234567890123456789xyz\")}", "F",
       "012345678901234567890123456789012345678", 1},
  };
  for (const auto& c : kCases) {
    FreeStyleTables(doc());
    ASSERT_EQ(ParseFontFace(doc(), c.text), kOk) << c.text;
    ASSERT_EQ(doc().style.fontFaceCount, 1);
    const FontFaceEntry& entry = doc().style.fontFaces[0];
    EXPECT_TRUE(Text(entry.family) == c.family && Text(entry.data) == c.data && entry.isReference == c.isReference)
        << c.text;
  }
  // Through a style element; a failed element keeps no font.
  FreeStyleTables(doc());
  EXPECT_EQ(ParseElement("<style type='text/css'><![CDATA[@font-face { font-family: 'Ab'; "
                         "src: url(\"data:font/ttf;base64,QUJD\") }]]></style>"), kOk);
  EXPECT_EQ(ParseElement("<style type='text/plain'>@font-face{font-family:'B';src:url(\"data:;base64,QQ==\")}</style>"),
            kErrBadValue);
  EXPECT_TRUE(doc().style.fontFaceCount == 1 && Text(doc().style.fontFaces[0].family) == "Ab");
}

TEST_F(StyleTest, FontFaceRejectsDeviations) {
  const KernelAccounting withDocument = testing::KernelSnapshot();
  const std::string font = "@font-face{font-family:'F';", src = "src:url(\"data:;base64,QUJD\")}";
  const std::string url = font + "src:url(";
  for (const std::string& text : std::initializer_list<std::string>{
           std::string(), ".a{fill:red} " + font + src, "@font-face font-family:'F';" + src,
           "@font-face{font-family:F;" + src, "@font-face{font-family:'F\";" + src, "@font-face{font-family:'F' " + src,
           font + "SRC:url(\"data:;base64,QUJD\")}", url + "data:;base64,QUJD)}", url + "\"http:;base64,QUJD\")}",
           url + "\"data:font/ttf,QUJD\")}", url + "\"data:;base32,QUJD\")}", url + "\"data:;base64;QUJD\")}",
           url + "\"data:;base64,QUJD)}", url + "\"data:;base64,QUJD\"}", url + "\"data:;base64,QUJD\")",
           url + "\"#abc)}"}) {
    EXPECT_EQ(ParseFontFace(doc(), text), kErrBadValue) << text;
    EXPECT_EQ(doc().style.fontFaceCount, 0) << text;
    testing::ExpectNothingLiveSince(withDocument);
  }
}

// Base64 data is decoded; without decoded bytes nothing is kept; other
// hrefs are kept as references.
TEST_F(StyleTest, DataUrisDecodeAndOtherHrefsStayReferences) {
  const struct { const char *href, *bytes, *kept; } kCases[] = {
      {"data:image/png;base64,Zm9vYmFy", "foobar", "-"}, {"data:image/png;base64,Zm9v\r\n YmE=", "fooba", "-"},
      {"data:;charset=x;base64,Zm9v;rest", "foo", "-"}, {"data:;base64,+/ +/\\", "\xfb\xff\xbf", "-"}, {"data:image/png;;base64,,Zm8", "fo", "-"},
      {"data:image/png;base64", "-", "-"}, {"data:;base64,==", "-", "-"}, {"#img", "-", "img"},
      {"picture.png", "-", "picture.png"}, {"", "-", ""},
      {"data:text/plain,hello", "-", "data:text/plain,hello"}, {"base64,Zm9v", "-", "base64,Zm9v"},
      {"data:image/png;BASE64,Zm9v", "-", "data:image/png;BASE64,Zm9v"},
  };
  for (const auto& c : kCases) {
    FreeImageSource(source_);
    EXPECT_EQ(ParseDataUri(source_, c.href), kOk) << c.href;
    const char* data = reinterpret_cast<const char*>(source_.data);
    EXPECT_EQ(data == nullptr ? "-" : std::string(data, source_.dataSize), c.bytes) << c.href;
    EXPECT_TRUE((source_.dataSize == 0) == (data == nullptr) && Text(source_.href) == c.kept) << c.href;
  }
  // Read once per element.
  FreeImageSource(source_);
  ASSERT_EQ(ParseDataUri(source_, "#a"), kOk);
  EXPECT_EQ(ParseDataUri(source_, "#b"), kErrDuplicateAttribute);
  EXPECT_EQ(Text(source_.href), "a");
  FreeImageSource(source_);
  EXPECT_EQ(ParseDataUri(source_, nullptr), kErrMissing);
  EXPECT_EQ(ParseDataUri(source_, "#b"), kErrDuplicateAttribute);
}

}  // namespace
}  // namespace svgflt
