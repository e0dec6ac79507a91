// Format detection on generated files: the verdict and where the file is
// left for the parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;
using svgtest::PadTo;
using svgtest::Utf16;

constexpr int32_t kSeekStart = 0;
constexpr int32_t kSeekCurrent = 1;

const std::string kSvgStart =
    "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\">";
const std::string kUtf8Mark = "\xEF\xBB\xBF";

struct DetectCase {
  const char* name;
  std::string bytes;
  Status status;
  int32_t position;  // where the file is left; -1 when not checked
};

class Detection : public ::testing::Test {
 protected:
  // Detect on a file holding `bytes`, opened and placed at `start`;
  // `position` receives where detection left it.
  Status DetectBytes(const std::string& bytes, int32_t* position, int32_t start = 0) {
    const std::string path = folder_.Write("case.svg", bytes);
    const std::u16string name(path.begin(), path.end());
    const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
    EXPECT_NE(file, -1) << path;
    EXPECT_EQ(KernelSeekFile(file, start, kSeekStart), start);
    const Status status = Detect(file);
    *position = KernelSeekFile(file, 0, kSeekCurrent);
    EXPECT_EQ(KernelCloseFile(file), 0);
    return status;
  }

  svgtest::TempFolder folder_;
};

// The verdict, and where the file is left (-1: not checked).
TEST_F(Detection, VerdictAndPosition) {
  std::string nul = "<?xml";
  nul.push_back('\0');
  const std::vector<DetectCase> cases = {
      // The four beginnings of an svg file.
      {"xml declaration", PadTo(kSvgStart, 300), kOk, 0},
      {"doctype", PadTo("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\">", 300), kOk, 0},
      {"svg start tag", PadTo("<svg xmlns=\"http://www.w3.org/2000/svg\">", 300), kOk, 0},
      {"utf-8 mark", PadTo(kUtf8Mark + kSvgStart, 300), kOk, 3},
      // Other text.
      {"plain text", PadTo("hello, world", 300), kErrNotSvg, 0},
      {"html after declaration", PadTo("<?xml version=\"1.0\"?><html><svg>", 300), kErrNotSvg, 0},
      {"annotations after declaration",
       PadTo("<?xml version=\"1.0\"?><Annotations><svg>", 300), kErrNotSvg, 0},
      {"html after mark", PadTo(kUtf8Mark + "<?xml version=\"1.0\"?><html>", 300), kErrNotSvg, 0},
      {"doctype of another kind", PadTo("<!DOCTYPE html PUBLIC \"x\">", 300), kErrNotSvg, 0},
      {"doctype in lower case", PadTo("<!doctype svg PUBLIC \"x\">", 300), kErrNotSvg, 0},
      {"upper-case start tag", PadTo("<SVG>", 300), kErrNotSvg, 0},
      {"leading space", PadTo(" <svg>", 300), kErrNotSvg, 0},
      {"declaration two bytes in", PadTo("  <?xml version=\"1.0\"?><svg>", 300), kErrNotSvg, 0},
      // Exclusions count only in the first 70 characters, up to a NUL.
      {"html at 70", PadTo(PadTo(kSvgStart, 70) + "<html><Annotations>", 300), kOk, 0},
      {"html at 64", PadTo(PadTo(kSvgStart, 64) + "<html>", 300), kErrNotSvg, 0},
      {"html after a nul", PadTo(nul + "<html>", 300), kOk, 0},
      // The first 256 bytes are needed, 70 to be examined at all.
      {"255 bytes", PadTo("<svg>", 255), kErrNotSvg, 0},
      {"256 bytes", PadTo("<svg>", 256), kOk, 0},
      {"70 bytes", PadTo("<svg>", 70), kErrNotSvg, 0},
      {"255 bytes after a mark", PadTo(kUtf8Mark + kSvgStart, 255), kErrNotSvg, 3},
      {"empty", "", kErrRead, -1},
      {"69 bytes", PadTo("<svg>", 69), kErrRead, -1},
      {"utf-16 mark only", std::string("\xFF\xFE", 2), kErrRead, -1},
      {"utf-16 with 139 bytes after the mark", Utf16(PadTo("<svg>", 69), false) + "x", kErrRead,
       -1},
      // UTF-16 of either byte order, the mark not skipped.
      {"little-endian declaration", Utf16(PadTo(kSvgStart, 150), false), kOk, 0},
      {"big-endian declaration", Utf16(PadTo(kSvgStart, 150), true), kOk, 0},
      {"big-endian doctype", Utf16(PadTo("<!DOCTYPE svg PUBLIC \"x\">", 150), true), kOk, 0},
      {"little-endian html", Utf16(PadTo("<?xml?><html>", 150), false), kErrNotSvg, 0},
      {"big-endian plain text", Utf16(PadTo("hello", 150), true), kErrNotSvg, 0},
      // 70 characters exactly fill the 140 bytes; the file is still 142 bytes.
      {"little-endian, shorter than 256 bytes", Utf16(PadTo("<svg>", 70), false), kErrNotSvg, 0},
  };
  for (const DetectCase& c : cases) {
    SCOPED_TRACE(c.name);
    int32_t position = -1;
    EXPECT_EQ(DetectBytes(c.bytes, &position), c.status);
    if (c.position >= 0) {
      EXPECT_EQ(position, c.position);
    }
  }
}

TEST_F(Detection, RejectsAnnotationFilesByTheirMarker) {
  const std::string marker = kAnnotationMarker;
  const std::string inComment = PadTo(kSvgStart + "<!-- " + marker + " -->", 400);
  std::string late = PadTo(kSvgStart, 300) + marker;
  late = PadTo(late, 400);
  // Starting at byte 250, only its first six bytes lie in the window.
  std::string straddling = PadTo(kSvgStart, 250) + marker;
  straddling = PadTo(straddling, 400);
  std::string lastInWindow = PadTo(kSvgStart, 256 - marker.size()) + marker;
  lastInWindow = PadTo(lastInWindow, 400);

  int32_t position = -1;
  EXPECT_EQ(DetectBytes(inComment, &position), kErrNotSvg);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(DetectBytes(late, &position), kOk);
  EXPECT_EQ(DetectBytes(straddling, &position), kOk);
  EXPECT_EQ(DetectBytes(lastInWindow, &position), kErrNotSvg);
  EXPECT_EQ(DetectBytes(PadTo(kUtf8Mark + kSvgStart + marker, 400), &position), kErrNotSvg);
  EXPECT_EQ(position, 3);
}

TEST_F(Detection, ReturnsToTheStartingPosition) {
  // The first bytes are always examined; the file goes back to where it was,
  // plus the mark's three bytes when there is one.
  int32_t position = -1;
  EXPECT_EQ(DetectBytes(PadTo(kSvgStart, 300), &position, 10), kOk);
  EXPECT_EQ(position, 10);
  EXPECT_EQ(DetectBytes(PadTo(kUtf8Mark + kSvgStart, 300), &position, 10), kOk);
  EXPECT_EQ(position, 13);
  EXPECT_EQ(DetectBytes(PadTo("plain text", 300), &position, 20), kErrNotSvg);
  EXPECT_EQ(position, 20);
}

}  // namespace
