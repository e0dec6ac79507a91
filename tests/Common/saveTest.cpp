#include "Common/save.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Common/WriterTestSupport.h"

namespace svgflt {
namespace {

using writertest::ExpectGolden;
using writertest::Pt;
using writertest::ReadFile;

class SaveSvgTest : public writertest::WriterFixture {
 protected:
  void AddLine(double x0, double y0, double x1, double y1) {
    Add<VectorLineObject>(kVoLine, [&](auto& r) { r.from = Pt(x0, y0); r.to = Pt(x1, y1); });
  }
};

// Also: saving over an older, longer file leaves none of its bytes.
TEST_F(SaveSvgTest, EmptyDocumentIsTheFrameAlone) {
  std::ofstream(folder_.Path("drawing.svg")) << std::string(100000, 'Z');
  ExpectGolden("empty.svg", Saved());
}

TEST_F(SaveSvgTest, PlacementAndScaleOfTheDrawing) {
  const std::string stroke = "stroke=\"#000000\" stroke-width=\"1\" />\r\n";
  // A large drawing is shrunk to the limit, pens wider than 1 with it (the
  // width cut to one decimal: 5 x 0.435 = 2.175).
  Add<VectorRectObject>(kVoRect, [](auto& r) { r.corner2 = Pt(2000, 1000); r.pen.width = 5; });
  AddLine(1000, 500, 2000, 0);
  SetExtent(0, 0, 2000, 1000);
  EXPECT_EQ(Objects(), "\t<rect x=\"0\" y=\"0\" width=\"870\" height=\"435\" fill=\"#FFFFFF\" "
                       "stroke=\"#000000\" stroke-width=\"2.1\" />\r\n"
                       "\t<line x1=\"435\" y1=\"217.5\" x2=\"870\" y2=\"435\" " + stroke);
  // A small one keeps its size; only a negative left edge is shifted to 0.
  for (const double left : {-100.0, 50.0}) {
    SCOPED_TRACE(left);
    Reset();
    Add<VectorRectObject>(kVoRect, [&](auto& r) { r.corner1 = Pt(left, 0); r.corner2 = Pt(500, 300); });
    SetExtent(left, 0, 500, 300);
    EXPECT_EQ(Objects(), std::string("\t<rect x=\"") + (left < 0 ? "0" : "50") + "\" y=\"0\" width=\"" +
                             (left < 0 ? "600" : "450") + "\" height=\"300\" fill=\"#FFFFFF\" " + stroke);
  }
  // Document units become pixels at the screen resolution.
  Reset();
  AddLine(0, 0, 25.4, 12.7);
  SetExtent(0, 0, 25.4, 12.7);
  ASSERT_EQ(VectorSetUnits(&document_, 5), kOk);  // millimetres
  KernelSetScreenResolution(120, 120);
  const std::string text = Objects();
  KernelSetScreenResolution(96, 96);
  EXPECT_EQ(text, "\t<line x1=\"0\" y1=\"60\" x2=\"120\" y2=\"0\" " + stroke);
}

// A bare name goes to the working folder; a name with a backslash is used
// as it is (this platform's file layer reads the backslash as a separator).
TEST_F(SaveSvgTest, FileNamesAreTakenAsGiven) {
  ASSERT_EQ(mkdir(folder_.Path("x").c_str(), 0777), 0);
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(folder_.Path("").c_str()), 0);
  EXPECT_EQ(SaveSvg(&document_, &request_, u"bare.svg", 0), kOk);
  EXPECT_EQ(SaveSvg(&document_, &request_, u"x\\a.svg", 0), kOk);
  EXPECT_EQ(chdir(previous), 0);
  free(previous);
  EXPECT_EQ(ReadFile(folder_.Path("bare.svg")).rfind("<?xml", 0), 0u);
  EXPECT_EQ(ReadFile(folder_.Path("x/a.svg")).rfind("<?xml", 0), 0u);
}

TEST_F(SaveSvgTest, RefusedTargetsAndDocumentsWriteNothing) {
  const std::string missing = folder_.Path("missing-folder/a.svg");
  const std::string none = folder_.Path("none.svg");
  EXPECT_EQ(SaveSvg(&document_, &request_, nullptr, 0), kErrMissing);
  EXPECT_EQ(SaveSvg(&document_, &request_, u"", 0), kErrMissing);
  // An overlong name is not cut.
  EXPECT_EQ(SaveSvg(&document_, &request_, std::u16string(300, u'n').c_str(), 0), kErrOpenTarget);
  EXPECT_EQ(SaveSvg(&document_, &request_, std::u16string(missing.begin(), missing.end()).c_str(), 0),
            kErrOpenTarget);
  VectorDocument uninitialised{};  // its extent query fails
  EXPECT_EQ(SaveSvg(&uninitialised, &request_, std::u16string(none.begin(), none.end()).c_str(), 0),
            kVkErrArgument);
  EXPECT_EQ(writertest::FolderEntries(folder_.Path("")), std::vector<std::string>{"tmp"});
}

}  // namespace
}  // namespace svgflt
