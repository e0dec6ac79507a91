#include "Common/SVGParsUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

class SvgLoad : public testing::SvgSnippetLoad {
 protected:
  std::vector<int32_t> Children(int32_t index) const {
    return {Record(index).children, Record(index).children + Record(index).childCount};
  }
  std::vector<int32_t> Column(int32_t ElementRecord::*field) const {
    std::vector<int32_t> values;
    for (int32_t i = 0; i < document_->recordCount; ++i) values.push_back(Record(i).*field);
    return values;
  }
};

TEST_F(SvgLoad, RejectsFilesThatAreNotSvg) {
  const std::pair<const char*, Status> kCases[] = {
      {"<html><svg/></html>", kErrRootNotSvg}, {"<SVG/>", kErrRootNotSvg},
      {"<svg:svg xmlns:svg='http://www.w3.org/2000/svg'/>", kErrRootNotSvg},
      {"<?xml version=\"1.0\"?>\n<!-- x -->\n", kErrNotSvg},  // the reader finds no root first
      {"<svg><g></svg>", kErrNotSvg}, {"<svg/>trailing", kErrNotSvg}, {"plain text", kErrNotSvg}, {"", kErrRead},
      {"junk<svg/>", kErrNotSvg},
  };
  for (const auto& [text, status] : kCases) EXPECT_EQ(Load(text), status) << text;
  // Reading starts at the file's current position.
  EXPECT_EQ(Load("junk<svg><g/></svg>", 4), kOk);
  EXPECT_EQ(Column(&ElementRecord::elementType), (std::vector<int32_t>{kElemSvg, kElemG}));
  EXPECT_EQ(Loaded("<svg/>").version, 1.1);
  EXPECT_TRUE(Record(0).parent == -1 && Record(0).renderFlag == 1 && Record(0).hasChildren == 0);
}

TEST_F(SvgLoad, KeepsParentAndChildIndicesAndDropsUnknownSubtrees) {
  Loaded("<svg>\n  <g><rect width='1' height='1'/><!-- c --><circle r='1'/>text</g>\n  <path d='M0 0'/>\n"
         "  <defs><linearGradient><stop/><stop/></linearGradient></defs>\n</svg>");
  EXPECT_EQ(Column(&ElementRecord::elementType),
            (std::vector<int32_t>{kElemSvg, kElemG, kElemRect, kElemCircle, kElemPath, kElemDefs,
                                  kElemLinearGradient, kElemStop, kElemStop}));
  EXPECT_EQ(Column(&ElementRecord::parent), (std::vector<int32_t>{-1, 0, 1, 1, 0, 0, 5, 6, 6}));
  EXPECT_TRUE(Children(0) == (std::vector<int32_t>{1, 4, 5}) && Children(6) == (std::vector<int32_t>{7, 8}));
  EXPECT_TRUE(Record(0).builtChildCount == 3 && Record(2).hasChildren == 0 && Record(2).children == nullptr);

  // Element names compare with case. Each dropped element left its index in
  // the list; only the rect is counted.
  Loaded("<svg><foo><rect width='1' height='1'/></foo><Rect/><clippath/><LinearGradient/>"
         "<rect width='1' height='1'/></svg>");
  EXPECT_TRUE(Column(&ElementRecord::elementType) == (std::vector<int32_t>{kElemSvg, kElemRect}) &&
              Record(1).parent == 0);
  EXPECT_TRUE(ElementTypeOf("a") == kElemA && ElementTypeOf("Rect") == -1 && ElementTypeOf("clippath") == -1);
  EXPECT_TRUE(Children(0) == (std::vector<int32_t>{1, 1, 1, 1, 1}) && Record(0).builtChildCount == 1);
}

// The record table starts at 10 and grows by 20, a child list starts at 5 and grows by 10.
TEST_F(SvgLoad, GrowsTheRecordTableAndChildListsInTheirSteps) {
  const struct { int groups; int32_t recordCapacity, childCapacity; } kCases[] = {
      {5, 10, 5}, {6, 10, 15}, {9, 30, 15}, {16, 30, 25}, {29, 50, 35}};
  for (const auto& c : kCases) {
    Loaded("<svg><g>" + Repeat("<g/>", c.groups) + "</g></svg>");
    EXPECT_TRUE(document_->recordCount == c.groups + 2 && document_->recordCapacity == c.recordCapacity) << c.groups;
    EXPECT_TRUE(Record(1).childCapacity == c.childCapacity && Record(1).builtChildCount == c.groups &&
                Children(1).back() == c.groups + 1 && Record(c.groups + 1).parent == 1) << c.groups;
  }
  constexpr int kDepth = 1000;
  Loaded("<svg>" + Repeat("<g>", kDepth) + "<rect width='1' height='1'/>" + Repeat("</g>", kDepth) +
         "<circle r='1'/></svg>");
  ASSERT_EQ(document_->recordCount, kDepth + 3);
  for (int32_t i = 1; i <= kDepth + 1; ++i) ASSERT_EQ(Record(i).parent, i - 1) << i;
  EXPECT_TRUE(Record(kDepth + 1).elementType == kElemRect && Children(0) == (std::vector<int32_t>{1, kDepth + 2}));
}

TEST_F(SvgLoad, SetsRenderFlagsByContainer) {
  const struct { const char* text; std::vector<int32_t> flags; } kCases[] = {  // a flag per record
      {"<svg><defs><path d='M0 0'/></defs></svg>", {1, 0, 0}},
      {"<svg><clipPath><path d='M0 0'/></clipPath></svg>", {1, 0, 1}},
      {"<svg><pattern><path d='M0 0'/></pattern></svg>", {1, 0, 0}},
      {"<svg><clipPath><rect width='1' height='1'/></clipPath></svg>", {1, 0, 0}},
      {"<svg><defs><rect width='1' height='1'/><circle r='1'/></defs><rect width='1' height='1'/></svg>",
       {1, 0, 0, 0, 1}},
      {"<svg><defs><symbol><path d='M0 0'/></symbol></defs></svg>", {1, 0, 0, 1}},
      {"<svg><defs><g><path d='M0 0'/></g></defs></svg>", {1, 0, 1, 1}},
      {"<svg><defs><foo/><path d='M0 0'/></defs></svg>", {1, 0, 0}},
      {"<svg><defs><g><rect width='1' height='1'/></g></defs><g/></svg>", {1, 0, 1, 1, 1}},
  };
  for (const auto& c : kCases) {
    Loaded(c.text);
    EXPECT_EQ(Column(&ElementRecord::renderFlag), c.flags) << c.text;
  }
  // A group saves the flag it was built under.
  EXPECT_EQ(Record(2).data.group.savedRenderFlag, 0);
  EXPECT_EQ(Record(4).data.group.savedRenderFlag, 1);
}

// The document's preserve-all setting reaches text flattening; only 1 means on.
TEST_F(SvgLoad, HandsThePreserveAllSettingToTextFlattening) {
  Write("<svg><text>a</text></svg>");
  for (const auto& [preserveAll, expected] : {std::pair{1, 1}, {0, 0}, {2, 0}}) {
    AdvXMLParser::TextState().preserveAll = 1 - expected;
    FreeSvgDocument(document_);
    ASSERT_EQ(CreateSvgDocument(&document_), kOk);
    document_->preserveAll = preserveAll;
    EXPECT_TRUE(LoadWritten(*document_) == kOk && AdvXMLParser::TextState().preserveAll == expected) << preserveAll;
  }
  AdvXMLParser::TextState().preserveAll = 0;
}

// A bare document whose ids are registered as if the record at `record` carried them.
class IdTable : public testing::SvgSnippetLoad {
 protected:
  void SetUp() override {
    SvgSnippetLoad::SetUp();
    ASSERT_EQ(CreateSvgDocument(&document_), kOk);
  }
  Status Register(int32_t record, const std::string& id) {
    document_->recordCount = record;
    return RegisterId(*document_, id.c_str());
  }
};

TEST_F(IdTable, FirstElementKeepsATrimmedId) {
  const struct { int32_t record; const char* id; Status status; } kRegistered[] = {
      {2, "  a  ", kOk}, {3, "a", kOk}, {8, " a ", kOk}, {4, "\t\r\nb c\n", kOk}, {5, "Shape", kOk},
      {1, "", kOk},      {1, nullptr, kOk}, {1, " ", kErrBadValue}, {1, "\t\r\n ", kErrBadValue}};
  for (const auto& c : kRegistered) {
    document_->recordCount = c.record;
    EXPECT_EQ(RegisterId(*document_, c.id), c.status) << Text(c.id);
  }
  ASSERT_EQ(document_->idCount, 3);
  EXPECT_TRUE(Text(document_->ids[0].text) == "a" && document_->ids[0].length == 1);
  EXPECT_EQ(Text(document_->ids[1].text), "b c");
  const std::pair<const char*, int32_t> kLookups[] = {
      {"a", 2},       {" a\t", 2},  {"b c", 4}, {"b  c", -1}, {"Shape", 5}, {"shape", -1},
      {"Shape2", -1}, {"Shap", -1}, {"", -1},   {"  ", -1},   {nullptr, -1}};
  for (const auto& [id, record] : kLookups) EXPECT_EQ(FindId(*document_, id), record) << Text(id);
}

// The table starts with 10 entries and grows by 20.
TEST_F(IdTable, GrowsByTwenty) {
  for (int i = 0; i < 11; ++i) ASSERT_EQ(Register(i, "id" + std::to_string(i)), kOk);
  EXPECT_EQ(document_->idCapacity, 30);
  for (int i = 11; i < 1000; ++i) ASSERT_EQ(Register(i, "id" + std::to_string(i)), kOk);
  EXPECT_EQ(document_->idCapacity, 1010);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(FindId(*document_, ("id" + std::to_string(i)).c_str()), i);
  EXPECT_EQ(FindId(*document_, "id1000"), -1);
}

}  // namespace
}  // namespace svgflt
