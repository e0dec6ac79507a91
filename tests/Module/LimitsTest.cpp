// Hostile inputs against the limits that keep a load bounded: element
// nesting, `use` expansion, long path data, point lists and text (the
// picture and raster size limits are the host callback and render command
// tests'). Each load
// finishes with its expected status and object count, and the kernel memory
// live while the last element is converted stays a small multiple of the
// input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "Common/Parser/Reader.h"
#include "Common/Vector.h"
#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"

namespace {

using namespace svgflt;

int64_t peakLiveBytes = 0;

// The host's decoder, sampling the kernel's live bytes first: the picture
// drawn last in every file loads while the whole record table is held.
int32_t SampleAndDecode(const void* data, BitmapRecord* bitmap, int32_t recordSize, int32_t a,
                        int32_t b, int32_t byteCount) {
  KernelAccounting now{};
  KernelGetAccounting(&now);
  peakLiveBytes = std::max(peakLiveBytes, static_cast<int64_t>(now.liveBytes));
  return svgtool::LoadRasterFromMemory(data, bitmap, recordSize, a, b, byteCount);
}

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string Svg(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
         "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" height=\"100\">\n"
         "<!-- hostile input; this comment takes the shortest ones past the 256 bytes that "
         "every SVG file must fill .................................................. -->\n" +
         body + "\n<image width=\"2\" height=\"2\" xlink:href=\"data:image/png;base64,iVBORw0KGgo"
         "AAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAEklEQVR4nGP4zwAE/0Ho////AB/uBftt3M6tAAAAAElFTkSuQmCC"
         "\"/>\n</svg>\n";
}

// Groups nested `depth` deep around `inner`.
std::string Nested(int depth, const std::string& inner) {
  return Repeat("<g>", depth) + inner + Repeat("</g>", depth);
}

// `levels` groups in defs, each using the one below `fan` times; the bottom
// one is `leaf` with id l0; the top one used once.
std::string UseFan(int levels, int fan, const std::string& leaf) {
  std::string body = "<defs>" + leaf;
  for (int i = 1; i <= levels; ++i) {
    body += "<g id=\"l" + std::to_string(i) + "\">" +
            Repeat("<use xlink:href=\"#l" + std::to_string(i - 1) + "\"/>", fan) + "</g>";
  }
  return Svg(body + "</defs><use xlink:href=\"#l" + std::to_string(levels) + "\"/>");
}

// Uses as deep as they are followed, each of a group 1,000 deep around the
// next use; the last group holds a rect.
std::string DeepUseChain() {
  std::string body = "<defs>";
  for (int i = 0; i < kMaxUseDepth; ++i) {
    body += "<g id=\"d" + std::to_string(i) + "\">" +
            Nested(1000, i + 1 < kMaxUseDepth
                             ? "<use xlink:href=\"#d" + std::to_string(i + 1) + "\"/>"
                             : "<rect width=\"1\" height=\"1\"/>") +
            "</g>";
  }
  return Svg(body + "</defs><use xlink:href=\"#d0\"/>");
}

// A use of a group 600 deep around a use of a group `depth` deep around a
// rect, which lies at nesting 604 + `depth` inside the expansions.
std::string UsesAroundNestedRect(int depth) {
  return Svg("<defs><g id=\"d0\">" + Nested(600, "<use xlink:href=\"#d1\"/>") +
             "</g><g id=\"d1\">" + Nested(depth, "<rect width=\"1\" height=\"1\"/>") +
             "</g></defs><use xlink:href=\"#d0\"/>");
}

TEST(Limits, HostileInputsEndWithTheirStatusWithinBounds) {
  const struct {
    const char* name;
    std::string bytes;
    Status status;
    int32_t minObjects, maxObjects;  // the picture drawn last included
    double maxBytesPerInputByte;     // 0: not measured
  } cases[] = {
      {"nesting at the limit", Svg(Nested(AdvXMLParser::kMaxNestingDepth - 1, "")), kOk, 2, 2, 0},
      {"nesting one level deeper", Svg(Nested(AdvXMLParser::kMaxNestingDepth, "")), kErrNotSvg,
       0, 0, 0},
      {"uses through groups 1,000 deep", DeepUseChain(), kOk, 1, 2, 0},
      {"use content nested to the limit", UsesAroundNestedRect(kMaxUseNesting - 604), kOk, 2, 2,
       0},
      {"use content nested one deeper", UsesAroundNestedRect(kMaxUseNesting - 603), kOk, 1, 1, 0},
      {"use fan of empty groups, 100^9", UseFan(9, 100, "<g id=\"l0\"/>"), kOk, 1, 1, 0},
      {"use fan of lines, 10^7", UseFan(7, 10, "<line id=\"l0\" x2=\"1\"/>"), kOk,
       kUseObjectBudget + 1, kUseObjectBudget + 1, 0},
      {"use of its own group",
       Svg("<g id=\"a\"><use xlink:href=\"#a\"/></g><use xlink:href=\"#a\"/>"), kOk, 1, 3, 0},
      {"gradients referring to each other",
       Svg("<defs><linearGradient id=\"a\" xlink:href=\"#b\"/><linearGradient id=\"b\" "
           "xlink:href=\"#a\"/></defs><rect width=\"9\" height=\"9\" fill=\"url(#a)\"/>"),
       kOk, 2, 3, 0},
      // Segment and point arrays grow by a fixed step, which costs a copy per
      // step where the kernel's reallocation moves the block: sizes stay
      // moderate so that the sanitizer build runs these in seconds.
      {"path of 20,000 segments", Svg("<path d=\"M0 0" + Repeat(" L1 1", 20000) + "\"/>"), kOk,
       2, 2, 32},
      {"polyline of 20,000 points", Svg("<polyline points=\"" + Repeat(" 1,1", 20000) + "\"/>"),
       kOk, 2, 2, 32},
      {"text of 200,000 characters",
       Svg("<text x=\"1\" y=\"9\">" + Repeat("abcdefghij", 20000) + "</text>"), kOk, 2, 3, 32},
      {"5,000 tspans",
       Svg("<text x=\"1\" y=\"9\">" + Repeat("<tspan dx=\"1\">ab</tspan>", 5000) + "</text>"),
       kOk, 2, 5002, 0},
  };
  svgtest::TempFolder folder;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const svgtest::HostDocument document;
    const svgtest::HostLoad load(folder.Write("limits.svg", c.bytes), 1);
    load->document = document.get();
    load->loadFromMemory = SampleAndDecode;
    KernelAccounting before{};
    KernelGetAccounting(&before);
    peakLiveBytes = 0;
    const Status status = fltLoad(load.request.get());
    EXPECT_EQ(status, c.status) << StatusName(status);
    const int32_t objects = VectorObjectCount(document.get());
    EXPECT_GE(objects, c.minObjects);
    EXPECT_LE(objects, c.maxObjects);
    const double ratio =
        static_cast<double>(peakLiveBytes - before.liveBytes) / static_cast<double>(c.bytes.size());
    std::printf("[ limits   ] %-36s %8zu bytes in, %7d objects, %.1f kernel bytes a byte\n",
                c.name, c.bytes.size(), objects, ratio);
    if (c.maxBytesPerInputByte > 0) {
      EXPECT_GT(peakLiveBytes, 0) << "the last picture was never loaded";
      EXPECT_LE(ratio, c.maxBytesPerInputByte);
    }
  }
}

}  // namespace
