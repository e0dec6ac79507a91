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

TEST(Detection, VerdictAndPosition) {
  const std::string svgStart = "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\">";
  const std::string mark = "\xEF\xBB\xBF";
  const std::string marker = kAnnotationMarker;
  const struct {
    const char* name;
    std::string bytes;
    Status status;
    int32_t position;  // where the file is left; -1 when not checked
    int32_t start = 0;  // where detection finds the file
  } cases[] = {
      // The four beginnings of an svg file.
      {"xml declaration", PadTo(svgStart, 300), kOk, 0},
      {"doctype", PadTo("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\">", 300), kOk, 0},
      {"svg start tag", PadTo("<svg xmlns=\"http://www.w3.org/2000/svg\">", 300), kOk, 0},
      {"utf-8 mark", PadTo(mark + svgStart, 300), kOk, 3},
      // Other text.
      {"plain text", PadTo("hello, world", 300), kErrNotSvg, 0},
      {"html after declaration", PadTo("<?xml version=\"1.0\"?><html><svg>", 300), kErrNotSvg, 0},
      {"doctype of another kind", PadTo("<!DOCTYPE html PUBLIC \"x\">", 300), kErrNotSvg, 0},
      {"upper-case start tag", PadTo("<SVG>", 300), kErrNotSvg, 0},
      // Exclusions count only in the first 70 characters, up to a NUL.
      {"html at 70", PadTo(PadTo(svgStart, 70) + "<html><Annotations>", 300), kOk, 0},
      {"html at 64", PadTo(PadTo(svgStart, 64) + "<html>", 300), kErrNotSvg, 0},
      {"html after a nul", PadTo(std::string("<?xml\0", 6) + "<html>", 300), kOk, 0},
      // The first 256 bytes are needed, 70 to be examined at all.
      {"255 bytes", PadTo("<svg>", 255), kErrNotSvg, 0},
      {"256 bytes", PadTo("<svg>", 256), kOk, 0},
      {"255 bytes after a mark", PadTo(mark + svgStart, 255), kErrNotSvg, 3},
      {"69 bytes", PadTo("<svg>", 69), kErrRead, -1},
      {"utf-16 with 139 bytes after the mark", Utf16(PadTo("<svg>", 69), false) + "x", kErrRead,
       -1},
      // UTF-16 of either byte order, the mark not skipped.
      {"little-endian declaration", Utf16(PadTo(svgStart, 150), false), kOk, 0},
      {"big-endian declaration", Utf16(PadTo(svgStart, 150), true), kOk, 0},
      {"little-endian html", Utf16(PadTo("<?xml?><html>", 150), false), kErrNotSvg, 0},
      // 70 characters exactly fill the 140 bytes; the file is still 142 bytes.
      {"little-endian, shorter than 256 bytes", Utf16(PadTo("<svg>", 70), false), kErrNotSvg, 0},
      // Annotation files are known by their marker in the first 256 bytes.
      {"marker in a comment", PadTo(svgStart + "<!-- " + marker + " -->", 400), kErrNotSvg, 0},
      {"marker after the window", PadTo(PadTo(svgStart, 300) + marker, 400), kOk, 0},
      {"marker ending the window", PadTo(PadTo(svgStart, 256 - marker.size()) + marker, 400),
       kErrNotSvg, 0},
      {"marker after a mark", PadTo(mark + svgStart + marker, 400), kErrNotSvg, 3},
      // The file goes back to where it was, plus the mark's three bytes.
      {"svg from byte 10", PadTo(svgStart, 300), kOk, 10, 10},
      {"svg after a mark from byte 10", PadTo(mark + svgStart, 300), kOk, 13, 10},
  };
  svgtest::TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder.Write("case.svg", c.bytes);
    const std::u16string name(path.begin(), path.end());
    const int32_t file = KernelOpenFile(name.c_str(), kOpenBinary, kPermRead);
    ASSERT_NE(file, -1) << path;
    EXPECT_EQ(KernelSeekFile(file, c.start, 0), c.start);
    EXPECT_EQ(Detect(file), c.status);
    EXPECT_EQ(c.position < 0 ? c.position : KernelSeekFile(file, 0, 1), c.position);
    EXPECT_EQ(KernelCloseFile(file), 0);
  }
}

}  // namespace
