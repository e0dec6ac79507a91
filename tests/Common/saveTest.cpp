#include "Common/save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Common/WriterTestSupport.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

using writertest::ExpectGolden;
using writertest::ObjectsOf;
using writertest::Pt;
using writertest::ReadFile;
using writertest::Utf16;

class SaveSvgTest : public writertest::WriterFixture {
 protected:
  void AddRect(double x0, double y0, double x1, double y1) {
    auto rect = Init<VectorRectObject>(kVoRect);
    rect.corner1 = Pt(x0, y0);
    rect.corner2 = Pt(x1, y1);
    Add(kVoRect, rect);
  }
  void AddLine(double x0, double y0, double x1, double y1) {
    auto line = Init<VectorLineObject>(kVoLine);
    line.from = Pt(x0, y0);
    line.to = Pt(x1, y1);
    Add(kVoLine, line);
  }
};

// Makes `folder` the working folder for the scope.
class WorkingFolder {
 public:
  explicit WorkingFolder(const std::string& folder) : previous_(getcwd(nullptr, 0)) {
    EXPECT_EQ(chdir(folder.c_str()), 0);
  }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;
  ~WorkingFolder() {
    if (previous_ != nullptr) {
      EXPECT_EQ(chdir(previous_), 0);
    }
    free(previous_);
  }

 private:
  char* previous_;
};

TEST_F(SaveSvgTest, EmptyDocumentIsTheFrameAlone) {
  ExpectGolden("empty.svg", Saved());
}

TEST_F(SaveSvgTest, LargeDrawingIsShrunkToTheLimit) {
  AddRect(0, 0, 2000, 1000);
  AddLine(1000, 500, 2000, 0);
  SetExtent(0, 0, 2000, 1000);
  EXPECT_EQ(ObjectsOf(Saved()),
            "\t<rect x=\"0\" y=\"0\" width=\"870\" height=\"435\" fill=\"#FFFFFF\" "
            "stroke=\"#000000\" stroke-width=\"1\" />\r\n"
            "\t<line x1=\"435\" y1=\"217.5\" x2=\"870\" y2=\"435\" stroke=\"#000000\" "
            "stroke-width=\"1\" />\r\n");
}

// A small drawing keeps its size; only a negative left edge is shifted to 0.
TEST_F(SaveSvgTest, SmallDrawingKeepsItsSizeAndPlace) {
  struct Case {
    double left;
    const char* xAndWidth;
  } cases[] = {{0, "x=\"0\" y=\"0\" width=\"500\""},
               {-100, "x=\"0\" y=\"0\" width=\"600\""},
               {50, "x=\"50\" y=\"0\" width=\"450\""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.left);
    (void)VectorFree(&document_);
    ASSERT_EQ(VectorInit(&document_), kOk);
    AddRect(c.left, 0, 500, 300);
    SetExtent(c.left, 0, 500, 300);
    EXPECT_EQ(ObjectsOf(Saved()), std::string("\t<rect ") + c.xAndWidth +
                                      " height=\"300\" fill=\"#FFFFFF\" stroke=\"#000000\" "
                                      "stroke-width=\"1\" />\r\n");
  }
}

TEST_F(SaveSvgTest, DocumentUnitsBecomePixelsAtTheScreenResolution) {
  AddLine(0, 0, 25.4, 12.7);
  SetExtent(0, 0, 25.4, 12.7);
  ASSERT_EQ(VectorSetUnits(&document_, 5), kOk);  // millimetres
  KernelSetScreenResolution(120, 120);
  const std::string text = Saved();
  KernelSetScreenResolution(96, 96);
  EXPECT_EQ(ObjectsOf(text),
            "\t<line x1=\"0\" y1=\"60\" x2=\"120\" y2=\"0\" stroke=\"#000000\" "
            "stroke-width=\"1\" />\r\n");
}

TEST_F(SaveSvgTest, BareNameGoesToTheWorkingFolder) {
  std::string saved;
  {
    WorkingFolder here(folder_.Path(""));
    EXPECT_EQ(SaveSvg(&document_, request_.get(), u"bare.svg", 0), kOk);
  }
  saved = ReadFile(folder_.Path("bare.svg"));
  EXPECT_EQ(saved.rfind("<?xml", 0), 0u);
}

TEST_F(SaveSvgTest, NameWithABackslashIsUsedAsItIs) {
  ASSERT_EQ(mkdir(folder_.Path("x").c_str(), 0777), 0);
  {
    WorkingFolder here(folder_.Path(""));
    EXPECT_EQ(SaveSvg(&document_, request_.get(), u"x\\a.svg", 0), kOk);
  }
  // This platform's file layer reads the backslash as a separator.
  EXPECT_EQ(ReadFile(folder_.Path("x/a.svg")).rfind("<?xml", 0), 0u);
}

TEST_F(SaveSvgTest, OlderLongerFileIsReplacedWhole) {
  writertest::WriteFile(folder_.Path("drawing.svg"), std::string(100000, 'Z'));
  const std::string text = Saved();
  EXPECT_EQ(text.find('Z'), std::string::npos);
  ExpectGolden("empty.svg", text);
}

TEST_F(SaveSvgTest, SavingTwiceGivesTheSameBytes) {
  AddEveryKind();
  std::string first;
  std::string second;
  EXPECT_EQ(Save("first.svg", &first, kSaveFormatEmbedImages), kOk);
  EXPECT_EQ(Save("second.svg", &second, kSaveFormatEmbedImages), kOk);
  EXPECT_FALSE(first.empty());
  EXPECT_EQ(first, second);
}

TEST_F(SaveSvgTest, EveryKindParsesAsXml) {
  AddEveryKind();
  for (const std::int32_t format : {0, static_cast<std::int32_t>(kSaveFormatEmbedImages)}) {
    SCOPED_TRACE(format);
    std::string text;
    ASSERT_EQ(Save("every.svg", &text, format), kOk);
    std::string error;
    EXPECT_TRUE(writertest::ParsesWithOwnReader(text, &error)) << error;
    const int lint = writertest::XmllintStatus(folder_.Path("every.svg"));
    if (lint == -1) GTEST_SKIP() << "xmllint is not installed";
    EXPECT_EQ(lint, 0);
  }
}

TEST_F(SaveSvgTest, UnopenableTargetWritesNothing) {
  std::string text;
  EXPECT_EQ(Save("missing-folder/a.svg", &text), kErrOpenTarget);
  EXPECT_TRUE(text.empty());
}

TEST_F(SaveSvgTest, MissingOrOverlongNameIsRefused) {
  EXPECT_EQ(SaveSvg(&document_, request_.get(), nullptr, 0), kErrMissing);
  EXPECT_EQ(SaveSvg(&document_, request_.get(), u"", 0), kErrMissing);
  // An overlong bare name is refused rather than cut.
  const std::u16string name(300, u'n');
  EXPECT_EQ(SaveSvg(&document_, request_.get(), name.c_str(), 0), kErrOpenTarget);
}

TEST_F(SaveSvgTest, FailedExtentQueryIsTheResultAndNoFileIsMade) {
  VectorDocument uninitialised{};
  const std::string path = folder_.Path("none.svg");
  const std::u16string wide = Utf16(path);
  EXPECT_EQ(SaveSvg(&uninitialised, request_.get(), wide.c_str(), 0), kVkErrArgument);
  EXPECT_NE(access(path.c_str(), F_OK), 0);
}

TEST_F(SaveSvgTest, ObjectErrorIsReportedAndTheFileStillClosed) {
  AddEveryKind();
  request_->exportToFile = writertest::RefusingExportToFile;
  std::string text;
  EXPECT_EQ(Save("partial.svg", &text), writertest::kExportRefused);
  EXPECT_EQ(text.find("<image"), std::string::npos);
  std::string error;
  EXPECT_TRUE(writertest::ParsesWithOwnReader(text, &error)) << error;
}

TEST_F(SaveSvgTest, FltSaveWritesTheRequestedFile) {
  AddRect(0, 0, 10, 10);
  SetExtent(0, 0, 10, 10);
  const std::string path = folder_.Path("entry.svg");
  const std::u16string wide = Utf16(path);
  request_->fileName = wide.c_str();
  EXPECT_EQ(fltSave(request_.get()), kOk);
  EXPECT_NE(ReadFile(path).find("<rect x=\"0\" y=\"0\" width=\"10\" height=\"10\""),
            std::string::npos);
}

TEST_F(SaveSvgTest, EveryFailedAllocationEndsWithAStatusAndNothingLive) {
  AddEveryKind();
  // Temporary pictures go to a folder of the test, which must end empty.
  const std::string temp = folder_.Path("tmp");
  ASSERT_EQ(mkdir(temp.c_str(), 0777), 0);
  writertest::ScopedTempDirectory tmpdir(temp + "/");
  for (const std::int32_t format : {0, static_cast<std::int32_t>(kSaveFormatEmbedImages)}) {
    SCOPED_TRACE(format);
    // The allocations of a save that runs through bound the sweep.
    KernelAccounting start{};
    KernelGetAccounting(&start);
    ASSERT_EQ(Save("sweep.svg", nullptr, format), kOk);
    KernelAccounting end{};
    KernelGetAccounting(&end);
    const std::int64_t allocations = end.totalAllocations - start.totalAllocations;
    ASSERT_GT(allocations, 0);
    const KernelAccounting before = testing::KernelSnapshot();
    int failures = 0;
    for (std::int64_t n = 1; n <= allocations + 3; ++n) {
      SCOPED_TRACE(n);
      KernelFailAllocation(n);
      const Status status = Save("sweep.svg", nullptr, format);
      KernelFailAllocation(0);
      if (status != kOk) ++failures;
      EXPECT_TRUE(status == kOk || status == kErrNoMemory) << status << ": " << StatusName(status);
      testing::ExpectNothingLiveSince(before);
    }
    EXPECT_GT(failures, 0);
    EXPECT_EQ(Save("sweep.svg", nullptr, format), kOk);
  }
  EXPECT_TRUE(writertest::FolderIsEmpty(temp));
}

}  // namespace
}  // namespace svgflt
