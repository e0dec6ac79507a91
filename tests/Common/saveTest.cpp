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

class SaveSvgTest : public writertest::WriterFixture {
 protected:
  void AddRect(double x0, double y0, double x1, double y1, std::int32_t penWidth = 1) {
    Add<VectorRectObject>(kVoRect, [&](auto& r) {
      r.corner1 = Pt(x0, y0);
      r.corner2 = Pt(x1, y1);
      r.pen.width = penWidth;
    });
  }
  void AddLine(double x0, double y0, double x1, double y1) {
    Add<VectorLineObject>(kVoLine, [&](auto& r) { r.from = Pt(x0, y0); r.to = Pt(x1, y1); });
  }
  // One object of every kind the writer knows, with a dashed pen, a hatched
  // brush and a text with a face name, inside the extent (0, 0) .. (300, 200).
  void AddEveryKind() {
    KernelPoint wave[4] = {Pt(0, 0), Pt(10, 40), Pt(30, 40), Pt(40, 0)};
    std::uint8_t kinds[4] = {kPtMoveTo, kPtLineTo, kPtBezierTo, kPtLineTo | kPtCloseFigure};
    Add<VectorPointObject>(kVoPoint, [&](auto& r) { r.point = Pt(10, 20); });
    Add<VectorLineObject>(kVoLine, [&](auto& r) { r.to = Pt(100, 50); r.pen.style = kPenDashDot; });
    Add<VectorRectObject>(kVoRect, [&](auto& r) { r.corner2 = Pt(20, 10); r.brush.w[2] = kBrushHatched; });
    for (const std::int32_t type : {kVoPolyline, kVoBezier, kVoPolyBezier, kVoSpline})
      Add<VectorPolylineObject>(type, [&](auto& r) { r.count = 4; r.points = wave; });
    for (const std::int32_t type : {kVoPolygon, kVoClosedBezier, kVoClosedSpline})
      Add<VectorPolygonObject>(type, [&](auto& r) { r.count = 4; r.points = wave; });
    Add<VectorEllipseObject>(kVoEllipse, [&](auto& r) { r.rx = 30; r.ry = 20; });
    Add<VectorCircleObject>(kVoCircle, [&](auto& r) { r.r = 25; });
    Add<VectorArcObject>(kVoArc, [&](auto& r) { r.rx = 20; r.ry = 10; r.extent = 90; });
    Add<VectorPieObject>(kVoPie, [&](auto& r) { r.rx = 20; r.ry = 20; r.extent = 180; });
    Add<VectorPathObject>(kVoPath, [&](auto& r) { r.count = 4; r.points = wave; r.kinds = kinds; });
    Add<VectorTextObject>(kVoText, [&](auto& r) {
      r.text = u"a<b";
      r.fontSize = 12;
      std::memcpy(r.font.faceName, u"Sans", sizeof(u"Sans"));
    });
    AddRaster(10, 20, 60, 80);
    SetExtent(0, 0, 300, 200);
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
  AddRect(0, 0, 2000, 1000, 5);
  AddLine(1000, 500, 2000, 0);
  SetExtent(0, 0, 2000, 1000);
  EXPECT_EQ(Objects(), "\t<rect x=\"0\" y=\"0\" width=\"870\" height=\"435\" fill=\"#FFFFFF\" "
                       "stroke=\"#000000\" stroke-width=\"2.1\" />\r\n"
                       "\t<line x1=\"435\" y1=\"217.5\" x2=\"870\" y2=\"435\" " + stroke);
  // A small one keeps its size; only a negative left edge is shifted to 0.
  for (const double left : {-100.0, 50.0}) {
    SCOPED_TRACE(left);
    Reset();
    AddRect(left, 0, 500, 300);
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
  const std::string inMissingFolder = folder_.Path("missing-folder/a.svg");
  const std::string none = folder_.Path("none.svg");
  const std::u16string names[] = {u"", std::u16string(300, u'n'),  // an overlong name is not cut
                                  std::u16string(inMissingFolder.begin(), inMissingFolder.end()),
                                  std::u16string(none.begin(), none.end())};
  EXPECT_EQ(SaveSvg(&document_, &request_, nullptr, 0), kErrMissing);
  EXPECT_EQ(SaveSvg(&document_, &request_, names[0].c_str(), 0), kErrMissing);
  EXPECT_EQ(SaveSvg(&document_, &request_, names[1].c_str(), 0), kErrOpenTarget);
  EXPECT_EQ(SaveSvg(&document_, &request_, names[2].c_str(), 0), kErrOpenTarget);
  VectorDocument uninitialised{};  // its extent query fails
  EXPECT_EQ(SaveSvg(&uninitialised, &request_, names[3].c_str(), 0), kVkErrArgument);
  EXPECT_EQ(writertest::FolderEntries(folder_.Path("")), std::vector<std::string>{"tmp"});
}

TEST_F(SaveSvgTest, ObjectErrorIsReportedAndTheFileStillClosed) {
  AddEveryKind();
  request_.exportToFile = writertest::RefusingExportToFile;
  std::string text;
  EXPECT_EQ(Save("partial.svg", &text), writertest::kExportRefused);
  EXPECT_EQ(text.find("<image"), std::string::npos);
  EXPECT_NE(text.find("<text"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 10), "\r\n</svg>\r\n");
}

// Kinds and paints that loaded documents do not hold, each allocation
// refused in turn.
TEST_F(SaveSvgTest, EveryFailedAllocationEndsWithAStatusAndNothingLive) {
  AddEveryKind();
  for (const std::int32_t format : {0, static_cast<std::int32_t>(kSaveFormatEmbedImages)}) {
    SCOPED_TRACE(format);
    // The allocations of a save that runs through bound the sweep.
    const int64_t start = testing::KernelSnapshot().totalAllocations;
    ASSERT_EQ(Save("sweep.svg", nullptr, format), kOk);
    const int64_t allocations = testing::KernelSnapshot().totalAllocations - start;
    const KernelAccounting before = testing::KernelSnapshot();
    int failures = 0;
    for (std::int64_t n = 1; n <= allocations; ++n) {
      SCOPED_TRACE(n);
      KernelFailAllocation(n);
      const Status status = Save("sweep.svg", nullptr, format);
      KernelFailAllocation(0);
      testing::ExpectNothingLiveSince(before);
      EXPECT_TRUE(status == kOk || status == kErrNoMemory) << StatusName(status);
      failures += status == kErrNoMemory ? 1 : 0;
    }
    EXPECT_GT(failures, 0);
  }
}

}  // namespace
}  // namespace svgflt
