#include "Common/SVGParsUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "Common/Parser/Reader.h"
#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

std::string Text(const char* text) { return text == nullptr ? "<null>" : text; }

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

KernelAccounting Accounting() { return testing::KernelSnapshot(); }

void ExpectNothingLive(const KernelAccounting& before) { testing::ExpectNothingLiveSince(before); }

// Opens `path` through the kernel, loads it into a fresh document and closes
// it again. `skip` bytes are read first, as format detection may do.
Status LoadPath(const std::string& path, SvgDocument** out, int32_t skip = 0) {
  *out = nullptr;
  const int32_t file = KernelOpenFile(Widen(path).c_str(), kOpenBinary, kPermRead);
  if (file < 0) return kErrRead;
  Status status = CreateSvgDocument(out);
  if (status == kOk) {
    if (skip > 0) KernelSeekFile(file, skip, 0);
    status = LoadSvgFile(file, **out);
  }
  KernelCloseFile(file);
  return status;
}

// Writes an inline SVG snippet to a file and loads it; the document is freed
// in TearDown, where nothing may remain live.
class SvgLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelFailAllocation(0);
    AdvXMLParser::ResetTextState();
    static std::atomic<int> serial{0};
    path_ = ::testing::TempDir() + "svgparsutil_" + std::to_string(::getpid()) + "_" +
            std::to_string(serial++) + ".svg";
    before_ = Accounting();
  }
  void TearDown() override {
    FreeSvgDocument(document_);
    document_ = nullptr;
    KernelFailAllocation(0);
    ExpectNothingLive(before_);
    std::remove(path_.c_str());
  }

  void Write(std::string_view text) {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out << text;
  }
  Status Load(std::string_view text, int32_t skip = 0) {
    FreeSvgDocument(document_);
    Write(text);
    return LoadPath(path_, &document_, skip);
  }
  // Loads a snippet that must succeed.
  SvgDocument& Loaded(std::string_view text) {
    const Status status = Load(text);
    EXPECT_EQ(status, kOk) << StatusName(status);
    return *document_;
  }
  const ElementRecord& Record(int32_t index) const { return document_->records[index]; }
  std::vector<int32_t> Children(int32_t index) const {
    const ElementRecord& record = Record(index);
    return std::vector<int32_t>(record.children, record.children + record.childCount);
  }
  std::vector<int32_t> Types() const {
    std::vector<int32_t> types;
    for (int32_t i = 0; i < document_->recordCount; ++i) types.push_back(Record(i).elementType);
    return types;
  }

  std::string path_;
  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
};

// --- LoadSvgFile ------------------------------------------------------------

TEST_F(SvgLoad, RejectsFilesThatAreNotSvg) {
  struct Case {
    const char* text;
    Status status;
  };
  const Case cases[] = {
      {"<html/>", kErrRootNotSvg},
      {"<html><svg/></html>", kErrRootNotSvg},
      {"<SVG/>", kErrRootNotSvg},
      {"<svg:svg xmlns:svg='http://www.w3.org/2000/svg'/>", kErrRootNotSvg},
      {"<?xml version=\"1.0\"?>", kErrNotSvg},          // the reader finds no root first
      {"<?xml version=\"1.0\"?>\n<!-- x -->\n", kErrNotSvg},
      {"<svg><g></svg>", kErrNotSvg},
      {"<svg", kErrNotSvg},
      {"<svg/>trailing", kErrNotSvg},
      {"plain text", kErrNotSvg},
      {"", kErrRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Load(c.text), c.status);
  }
}

TEST_F(SvgLoad, ReadsFromTheCurrentFilePosition) {
  EXPECT_EQ(Load("junk<svg><g/></svg>", 4), kOk);
  EXPECT_EQ(Types(), (std::vector<int32_t>{kElemSvg, kElemG}));
  EXPECT_EQ(Load("junk<svg/>", 0), kErrNotSvg);
}

TEST_F(SvgLoad, RootRecordHasNoParent) {
  SvgDocument& document = Loaded("<svg/>");
  ASSERT_EQ(document.recordCount, 1);
  EXPECT_EQ(Record(0).parent, -1);
  EXPECT_EQ(Record(0).elementType, kElemSvg);
  EXPECT_EQ(Record(0).renderFlag, 1);
  EXPECT_EQ(Record(0).hasChildren, 0);
  EXPECT_EQ(document.recordCapacity, 10);
  EXPECT_EQ(document.version, 1.1);
}

// --- BuildTree: shape of the table -----------------------------------------

TEST_F(SvgLoad, DropsUnknownElementsWithTheirSubtree) {
  // Element names compare with case.
  SvgDocument& document = Loaded(
      "<svg><foo><rect width='1' height='1'/></foo><Rect/><clippath/><LinearGradient/>"
      "<rect width='1' height='1'/></svg>");
  ASSERT_EQ(document.recordCount, 2);
  EXPECT_EQ(Types(), (std::vector<int32_t>{kElemSvg, kElemRect}));
  EXPECT_EQ(Record(1).parent, 0);
  // Each dropped element left its index in the list; only the rect is counted.
  EXPECT_EQ(Children(0), (std::vector<int32_t>{1, 1, 1, 1, 1}));
  EXPECT_EQ(Record(0).builtChildCount, 1);
}

TEST_F(SvgLoad, KeepsParentAndChildIndices) {
  Loaded(
      "<svg>\n  <g><rect width='1' height='1'/><!-- c --><circle r='1'/>text</g>\n"
      "  <path d='M0 0'/>\n"
      "  <defs><linearGradient><stop/><stop/></linearGradient></defs>\n</svg>");
  EXPECT_EQ(Types(), (std::vector<int32_t>{kElemSvg, kElemG, kElemRect, kElemCircle, kElemPath,
                                           kElemDefs, kElemLinearGradient, kElemStop, kElemStop}));
  const std::vector<int32_t> parents = {-1, 0, 1, 1, 0, 0, 5, 6, 6};
  for (int32_t i = 0; i < static_cast<int32_t>(parents.size()); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Record(i).parent, parents[static_cast<std::size_t>(i)]);
  }
  EXPECT_EQ(Children(0), (std::vector<int32_t>{1, 4, 5}));
  EXPECT_EQ(Children(1), (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(Children(6), (std::vector<int32_t>{7, 8}));
  EXPECT_EQ(Record(0).builtChildCount, 3);
  EXPECT_EQ(Record(1).hasChildren, 1);
  EXPECT_EQ(Record(2).hasChildren, 0);
  EXPECT_EQ(Record(2).children, nullptr);
}

TEST_F(SvgLoad, GrowsTheRecordTableByTwenty) {
  struct Case {
    int shapes;
    int32_t capacity;
  };
  for (const Case c : {Case{9, 10}, Case{10, 30}, Case{29, 30}, Case{30, 50}}) {
    SCOPED_TRACE(c.shapes);
    std::string text = "<svg>";
    for (int i = 0; i < c.shapes; ++i) text += "<g/>";
    text += "</svg>";
    SvgDocument& document = Loaded(text);
    EXPECT_EQ(document.recordCount, c.shapes + 1);
    EXPECT_EQ(document.recordCapacity, c.capacity);
    EXPECT_EQ(Record(c.shapes).elementType, kElemG);
    EXPECT_EQ(Record(c.shapes).parent, 0);
  }
}

TEST_F(SvgLoad, GrowsAChildListByTen) {
  struct Case {
    int children;
    int32_t capacity;
  };
  for (const Case c : {Case{5, 5}, Case{6, 15}, Case{15, 15}, Case{16, 25}}) {
    SCOPED_TRACE(c.children);
    std::string text = "<svg><g>";
    for (int i = 0; i < c.children; ++i) text += "<rect width=\"1\" height=\"1\"/>";
    text += "</g></svg>";
    Loaded(text);
    EXPECT_EQ(Record(1).childCount, c.children);
    EXPECT_EQ(Record(1).childCapacity, c.capacity);
    EXPECT_EQ(Record(1).builtChildCount, c.children);
    EXPECT_EQ(Children(1).back(), c.children + 1);
  }
}

TEST_F(SvgLoad, BuildsDeepNestingWithoutLosingParents) {
  constexpr int kDepth = 1000;
  std::string text = "<svg>";
  for (int i = 0; i < kDepth; ++i) text += "<g>";
  text += "<rect width=\"1\" height=\"1\"/>";
  for (int i = 0; i < kDepth; ++i) text += "</g>";
  text += "<circle r=\"1\"/></svg>";
  SvgDocument& document = Loaded(text);
  ASSERT_EQ(document.recordCount, kDepth + 3);
  for (int32_t i = 1; i <= kDepth + 1; ++i) {
    ASSERT_EQ(Record(i).parent, i - 1) << i;
  }
  EXPECT_EQ(Record(kDepth + 1).elementType, kElemRect);
  EXPECT_EQ(Record(kDepth + 2).elementType, kElemCircle);
  EXPECT_EQ(Record(kDepth + 2).parent, 0);
  EXPECT_EQ(Children(0), (std::vector<int32_t>{1, kDepth + 2}));
}

// --- BuildTree: render flags -------------------------------------------------

TEST_F(SvgLoad, SetsRenderFlagsByContainer) {
  struct Case {
    const char* text;
    std::vector<int32_t> flags;  // per record
  };
  const Case cases[] = {
      {"<svg><defs><path d=\"M0 0\"/></defs></svg>", {1, 0, 0}},
      {"<svg><clipPath><path d=\"M0 0\"/></clipPath></svg>", {1, 0, 1}},
      {"<svg><pattern><path d=\"M0 0\"/></pattern></svg>", {1, 0, 0}},
      {"<svg><clipPath><rect width=\"1\" height=\"1\"/></clipPath></svg>", {1, 0, 0}},
      {"<svg><defs><rect width='1' height='1'/><circle r='1'/></defs>"
       "<rect width='1' height='1'/></svg>",
       {1, 0, 0, 0, 1}},
      {"<svg><defs><symbol><path d=\"M0 0\"/></symbol></defs></svg>", {1, 0, 0, 1}},
      {"<svg><defs><g><path d=\"M0 0\"/></g></defs></svg>", {1, 0, 1, 1}},
      {"<svg><defs><g><rect width=\"1\" height=\"1\"/></g></defs></svg>", {1, 0, 1, 1}},
      {"<svg><defs><foo/><path d=\"M0 0\"/></defs></svg>", {1, 0, 0}},
      {"<svg><path d=\"M0 0\"/><g><path d=\"M0 0\"/></g></svg>", {1, 1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SvgDocument& document = Loaded(c.text);
    ASSERT_EQ(document.recordCount, static_cast<int32_t>(c.flags.size()));
    for (int32_t i = 0; i < document.recordCount; ++i) {
      EXPECT_EQ(Record(i).renderFlag, c.flags[static_cast<std::size_t>(i)]) << "record " << i;
    }
  }
}

TEST_F(SvgLoad, GroupSavesItsRenderFlag) {
  Loaded("<svg><defs><g><rect width=\"1\" height=\"1\"/></g></defs><g/></svg>");
  EXPECT_EQ(Record(2).elementType, kElemG);
  EXPECT_EQ(Record(2).data.group.savedRenderFlag, 0);
  EXPECT_EQ(Record(2).renderFlag, 1);
  EXPECT_EQ(Record(4).data.group.savedRenderFlag, 1);
  EXPECT_EQ(Record(4).renderFlag, 1);
}

TEST_F(SvgLoad, HandsThePreserveAllSettingToTextFlattening) {
  Write("<svg><text>a</text></svg>");
  struct Case {
    int32_t preserveAll;
    int expected;
  };
  for (const Case c : {Case{1, 1}, Case{0, 0}, Case{2, 0}}) {
    SCOPED_TRACE(c.preserveAll);
    AdvXMLParser::TextState().preserveAll = 1 - c.expected;
    const int32_t file = KernelOpenFile(Widen(path_).c_str(), kOpenBinary, kPermRead);
    ASSERT_GE(file, 0);
    SvgDocument* document = nullptr;
    ASSERT_EQ(CreateSvgDocument(&document), kOk);
    document->preserveAll = c.preserveAll;
    EXPECT_EQ(LoadSvgFile(file, *document), kOk);
    EXPECT_EQ(AdvXMLParser::TextState().preserveAll, c.expected);
    FreeSvgDocument(document);
    KernelCloseFile(file);
  }
  AdvXMLParser::TextState().preserveAll = 0;
}

// --- element table -----------------------------------------------------------

TEST(ElementTypeOf, KnowsEveryElementName) {
  // In the order of their type numbers.
  const char* names[] = {
      "svg", "g", "defs", "desc", "title", "symbol", "use", "image", "switch", "style", "path",
      "rect", "circle", "ellipse", "line", "polyline", "polygon", "text", "tspan", "tref",
      "textPath", "altGlyph", "altGlyphDef", "altGlyphItem", "glyphRef", "marker",
      "color-profile", "linearGradient", "radialGradient", "stop", "pattern", "clipPath", "font",
      "glyph", "missing-glyph", "hkern", "vkern", "font-face", "font-face-src", "font-face-uri",
      "font-face-format", "font-face-name", "definition-src", "div", "p", "span", "region", "br",
      "solidColor", "a"};
  for (int32_t type = 0; type < static_cast<int32_t>(std::size(names)); ++type) {
    SCOPED_TRACE(names[type]);
    EXPECT_EQ(ElementTypeOf(names[type]), type);
  }
}

TEST(ElementTypeOf, RejectsOtherNames) {
  for (const char* name : {"", "Svg", "RECT", "clippath", "lineargradient", "svg:rect", "rect ",
                           "font-fac", "foreignObject", "filter", "mask", "animate"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(ElementTypeOf(name), -1);
  }
}

// --- id table ----------------------------------------------------------------

class IdTable : public ::testing::Test {
 protected:
  void SetUp() override {
    KernelFailAllocation(0);
    before_ = Accounting();
    ASSERT_EQ(CreateSvgDocument(&document_), kOk);
  }
  void TearDown() override {
    FreeSvgDocument(document_);
    KernelFailAllocation(0);
    ExpectNothingLive(before_);
  }
  // Registers `id` as if the element at `record` carried it.
  Status Register(int32_t record, const char* id) {
    document_->recordCount = record;
    return RegisterId(*document_, id);
  }

  SvgDocument* document_ = nullptr;
  KernelAccounting before_{};
};

TEST_F(IdTable, FirstElementKeepsATrimmedId) {
  struct Case {
    int32_t record;
    const char* id;
    Status status;
  } registered[] = {
      {2, "  a  ", kOk},  {3, "a", kOk},   {8, " a ", kOk},   {4, "\t\r\nb c\n", kOk},
      {5, "Shape", kOk},  {1, "", kOk},    {1, nullptr, kOk}, {1, " ", kErrBadValue},
      {1, "\t\r\n ", kErrBadValue},
  };
  for (const Case& c : registered) {
    SCOPED_TRACE(Text(c.id));
    EXPECT_EQ(Register(c.record, c.id), c.status);
  }
  ASSERT_EQ(document_->idCount, 3);
  EXPECT_STREQ(document_->ids[0].text, "a");
  EXPECT_EQ(document_->ids[0].length, 1);
  EXPECT_STREQ(document_->ids[1].text, "b c");
  const std::pair<const char*, int32_t> lookups[] = {
      {"a", 2},       {" a\t", 2},   {"b c", 4},   {"b  c", -1}, {"Shape", 5}, {"shape", -1},
      {"Shape2", -1}, {"Shap", -1}, {"", -1},     {"  ", -1},   {nullptr, -1}};
  for (const auto& [id, record] : lookups) {
    SCOPED_TRACE(Text(id));
    EXPECT_EQ(FindId(*document_, id), record);
  }
}

TEST_F(IdTable, GrowsByTwentyAndFindsEveryId) {
  constexpr int kIds = 1000;
  for (int i = 0; i < kIds; ++i) {
    ASSERT_EQ(Register(i, ("id" + std::to_string(i)).c_str()), kOk);
    if (i == 9 || i == 10) {
      EXPECT_EQ(document_->idCapacity, i == 9 ? 10 : 30);
    }
  }
  EXPECT_EQ(document_->idCount, kIds);
  EXPECT_EQ(document_->idCapacity, 1010);
  for (int i = 0; i < kIds; ++i) {
    ASSERT_EQ(FindId(*document_, ("id" + std::to_string(i)).c_str()), i);
    ASSERT_STREQ(document_->ids[i].text, ("id" + std::to_string(i)).c_str());
  }
  EXPECT_EQ(FindId(*document_, "id1000"), -1);
}

TEST_F(IdTable, FailedAllocationAddsNoEntry) {
  for (int i = 0; i < 10; ++i) ASSERT_EQ(Register(i, ("k" + std::to_string(i)).c_str()), kOk);
  // The 11th id needs its copy and a larger entry array.
  for (int64_t n = 1;; ++n) {
    SCOPED_TRACE(n);
    const int64_t allocationsBefore = Accounting().totalAllocations;
    KernelFailAllocation(n);
    const Status status = Register(10, "late");
    KernelFailAllocation(0);
    if (status == kOk) {
      EXPECT_LT(Accounting().totalAllocations - allocationsBefore, n);
      break;
    }
    EXPECT_EQ(status, kErrNoMemory);
    EXPECT_EQ(document_->idCount, 10);
    EXPECT_EQ(FindId(*document_, "late"), -1);
    EXPECT_EQ(FindId(*document_, "k9"), 9);
    ASSERT_LT(n, 20);
  }
  EXPECT_EQ(FindId(*document_, "late"), 10);
}

// --- leaks under failing allocations -----------------------------------------

// Kernel allocations that the reader makes for `text`.
int64_t ParseAllocations(const std::string& text) {
  AdvXMLParser::ResetTextState();
  const int64_t before = Accounting().totalAllocations;
  AdvXMLParser::Parser parser;
  AdvXMLParser::Document* xml =
      parser.Parse(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  const int64_t count = Accounting().totalAllocations - before;
  KernelUntrackObject(kTrackObject, xml, __LINE__, u"tests/Common/SVGParsUtilTest");
  delete xml;
  AdvXMLParser::ResetTextState();
  return count;
}

// Loads `text` with each kernel allocation failing in turn.
void SweepFailedAllocations(const std::string& text, const std::string& path) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  const KernelAccounting clean = Accounting();
  SvgDocument* document = nullptr;
  ASSERT_EQ(LoadPath(path, &document), kOk);
  FreeSvgDocument(document);
  const int64_t allocations = Accounting().totalAllocations - clean.totalAllocations;
  // The document and the file buffer come first, then the reader's own.
  constexpr int64_t kBeforeParse = 2;
  const int64_t parse = ParseAllocations(text);
  ASSERT_GE(allocations, kBeforeParse + parse + 2);  // records, child lists

  for (int64_t n = 1; n <= allocations + 1; ++n) {
    SCOPED_TRACE(n);
    const KernelAccounting start = Accounting();
    KernelFailAllocation(n);
    const Status status = LoadPath(path, &document);
    KernelFailAllocation(0);
    FreeSvgDocument(document);
    ExpectNothingLive(start);
    if (n > allocations) {
      EXPECT_EQ(status, kOk);
    } else if (n > kBeforeParse && n <= kBeforeParse + parse) {
      // The reader reports an allocation it cannot make as a syntax fault.
      EXPECT_EQ(status, kErrNotSvg);
    } else {
      EXPECT_EQ(status, kErrNoMemory);
    }
  }
}

TEST_F(SvgLoad, EveryFailedAllocationEndsCleanly) {
  // More than ten records, child lists past five entries, text flags.
  std::string mixed = "<?xml version=\"1.0\"?>\n<svg xml:space=\"preserve\"><defs><g>";
  for (int i = 0; i < 12; ++i) mixed += "<rect x=\"1\" width=\"2\" height=\"2\"/>";
  mixed += "</g></defs><text x=\"1\" y=\"2\">a<tspan dx=\"1\">b</tspan></text></svg>";
  // Deep enough for the builder's own stack to need memory.
  std::string deep = "<svg>";
  for (int i = 0; i < 100; ++i) deep += "<g>";
  for (int i = 0; i < 100; ++i) deep += "</g>";
  deep += "</svg>";
  for (const std::string& text : {mixed, deep}) {
    SCOPED_TRACE(text.substr(0, 60));
    SweepFailedAllocations(text, path_);
  }
}

// --- corpus ----------------------------------------------------------------

TEST(SvgCorpus, EveryFileLoadsOrFailsWithALoaderStatus) {
  const std::filesystem::path root = std::filesystem::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  KernelFailAllocation(0);
  const Status accepted[] = {
      kOk,          kErrRead,           kErrNotSvg,       kErrNoRoot,
      kErrRootNotSvg, kErrDuplicateAttribute, kErrBadLength, kErrBadValue,
      kErrRequiredAttribute, kErrOddPointCount, kErrMisplacedComma};
  std::map<Status, int> counts;
  std::vector<std::string> failures;
  int files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".svg") continue;
    const std::string path = entry.path().string();
    SCOPED_TRACE(path);
    ++files;
    const KernelAccounting start = Accounting();
    AdvXMLParser::ResetTextState();
    SvgDocument* document = nullptr;
    const Status status = LoadPath(path, &document);
    FreeSvgDocument(document);
    ExpectNothingLive(start);
    EXPECT_NE(std::find(std::begin(accepted), std::end(accepted), status), std::end(accepted))
        << status << " " << StatusName(status);
    ++counts[status];
    if (status != kOk) {
      failures.push_back(std::to_string(status) + "  " + path.substr(root.string().size() + 1));
    }
  }
  EXPECT_GT(files, 0);
  std::printf("corpus: %d files\n", files);
  for (const auto& [status, count] : counts) {
    std::printf("  %6d  %d (%s)\n", count, status, StatusName(status));
  }
  std::sort(failures.begin(), failures.end());
  for (const std::string& failure : failures) std::printf("  %s\n", failure.c_str());
}

}  // namespace
}  // namespace svgflt
