// Hostile inputs against the limits that keep a load bounded: element
// nesting, `use` expansion, long path data, point lists and text, pictures
// declaring huge sizes, and the command-line host's raster size. Each load
// finishes with its expected status; the objects it makes stay within the
// expansion budget, and the kernel memory live while the last element is
// converted stays a small multiple of the input.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Common/Parser/Reader.h"
#include "Common/SVGParsUtil.h"
#include "Common/Vector.h"
#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/Commands.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace {

using namespace svgflt;

// A 2 x 2 RGB PNG, drawn last in every file: its load samples the kernel's
// live bytes while the whole record table is still held.
constexpr char kProbePicture[] =
    "<image width=\"2\" height=\"2\" xlink:href=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAA"
    "AAIAAAACCAIAAAD91JpzAAAAEklEQVR4nGP4zwAE/0Ho////AB/uBftt3M6tAAAAAElFTkSuQmCC\"/>";

int64_t peakLiveBytes = 0;

int32_t SampleAndDecode(const void* data, BitmapRecord* bitmap, int32_t recordSize, int32_t a,
                        int32_t b, int32_t byteCount) {
  KernelAccounting now{};
  KernelGetAccounting(&now);
  if (now.liveBytes > peakLiveBytes) peakLiveBytes = now.liveBytes;
  return svgtool::LoadRasterFromMemory(data, bitmap, recordSize, a, b, byteCount);
}

std::string Repeat(const std::string& text, int count) {
  std::string out;
  out.reserve(text.size() * static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string Svg(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
         "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" height=\"100\">\n"
         "<!-- hostile input; this comment takes the shortest ones past the 256 bytes that "
         "every SVG file must fill .................................................. -->\n" +
         body + "\n" + kProbePicture + "\n</svg>\n";
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
  return body + "</defs><use xlink:href=\"#l" + std::to_string(levels) + "\"/>";
}

// Eight groups, each 1,000 groups deep around a use of the next.
std::string DeepUseChain() {
  std::string body = "<defs>";
  for (int i = 0; i < kMaxUseDepth; ++i) {
    const std::string inner = i + 1 < kMaxUseDepth
                                  ? "<use xlink:href=\"#d" + std::to_string(i + 1) + "\"/>"
                                  : "<rect width=\"1\" height=\"1\"/>";
    body += "<g id=\"d" + std::to_string(i) + "\">" + Nested(1000, inner) + "</g>";
  }
  return body + "</defs><use xlink:href=\"#d0\"/>";
}

void AppendBigEndian(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

// A use of a group 600 deep around a use of a group `depth` deep around a
// rect, which lies at nesting 604 + `depth` inside the expansions.
std::string UsesAroundNestedRect(int depth) {
  return Svg("<defs><g id=\"d0\">" + Nested(600, "<use xlink:href=\"#d1\"/>") +
             "</g><g id=\"d1\">" + Nested(depth, "<rect width=\"1\" height=\"1\"/>") +
             "</g></defs><use xlink:href=\"#d0\"/>");
}

// A PNG chunk of `type` and `data` with its length and checksum.
std::string PngChunk(const std::string& type, const std::string& data) {
  std::string out;
  AppendBigEndian(out, static_cast<uint32_t>(data.size()));
  const std::string body = type + data;
  uint32_t crc = 0xFFFFFFFFu;
  for (const char c : body) {
    crc ^= static_cast<uint8_t>(c);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  out += body;
  AppendBigEndian(out, crc ^ 0xFFFFFFFFu);
  return out;
}

// A PNG declaring `width` x `height` pixels of 8-bit RGBA whose image data
// is one empty chunk: a decoder must judge the size from the header alone.
std::string PngHeaderOnly(uint32_t width, uint32_t height) {
  std::string header;
  AppendBigEndian(header, width);
  AppendBigEndian(header, height);
  header += std::string("\x08\x06\x00\x00\x00", 5);
  return std::string("\x89PNG\r\n\x1A\n", 8) + PngChunk("IHDR", header) + PngChunk("IDAT", "") +
         PngChunk("IEND", "");
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) v |= static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
  }
  return out;
}

std::string HugePicture(uint32_t width, uint32_t height) {
  return "<image width=\"10\" height=\"10\" xlink:href=\"data:image/png;base64," +
         Base64(PngHeaderOnly(width, height)) + "\"/>";
}

struct Outcome {
  Status status = kOk;
  int32_t objects = 0;
  int64_t peakBytes = 0;  // live kernel bytes when the last picture loaded; 0 if it never did
};

class Limits : public ::testing::Test {
 protected:
  Outcome Load(const std::string& bytes) {
    const std::u16string name = svgtool::ToUtf16(folder_.Write("limits.svg", bytes));
    auto document = std::make_unique<VectorDocument>();
    EXPECT_EQ(VectorInit(document.get()), kOk);
    ResolutionRecord resolution{};
    resolution.horizontal = 96;
    resolution.vertical = 96;
    auto load = std::make_unique<LoadRequest>();
    load->fileName = name.c_str();
    load->mode = 1;
    load->document = document.get();
    load->resolution = &resolution;
    load->loadFromMemory = SampleAndDecode;
    load->loadFromFile = svgtool::LoadRasterFromFile;
    KernelAccounting before{};
    KernelGetAccounting(&before);
    peakLiveBytes = 0;
    Outcome outcome;
    outcome.status = fltLoad(load.get());
    outcome.objects = VectorObjectCount(document.get());
    if (peakLiveBytes > 0) outcome.peakBytes = peakLiveBytes - before.liveBytes;
    EXPECT_EQ(VectorFree(document.get()), kOk);
    return outcome;
  }

  svgtest::TempFolder folder_;
};

TEST_F(Limits, HostileInputsEndWithTheirStatusWithinBounds) {
  const struct {
    const char* name;
    std::string bytes;
    Status status;
    int32_t maxObjects;
    double maxBytesPerInputByte;  // 0: not measured
  } cases[] = {
      {"nesting at the limit", Svg(Nested(AdvXMLParser::kMaxNestingDepth - 1, "")), kOk, 2, 0},
      {"nesting one level deeper", Svg(Nested(AdvXMLParser::kMaxNestingDepth, "")), kErrNotSvg,
       0, 0},
      {"use fan of empty groups, 10^9", Svg(UseFan(9, 10, "<g id=\"l0\"/>")), kOk, 2, 0},
      {"use fan of empty groups, 100^9", Svg(UseFan(9, 100, "<g id=\"l0\"/>")), kOk, 2, 0},
      {"use fan of lines, 10^7", Svg(UseFan(7, 10, "<line id=\"l0\" x2=\"1\"/>")), kOk,
       kUseObjectBudget + 2, 0},
      {"uses through groups 1,000 deep", Svg(DeepUseChain()), kOk, 3, 0},
      {"use of its own group", Svg("<g id=\"a\"><use xlink:href=\"#a\"/></g>"
                                   "<use xlink:href=\"#a\"/>"),
       kOk, 3, 0},
      {"gradients referring to each other",
       Svg("<defs><linearGradient id=\"a\" xlink:href=\"#b\"/><linearGradient id=\"b\" "
           "xlink:href=\"#a\"/></defs><rect width=\"9\" height=\"9\" fill=\"url(#a)\"/>"),
       kOk, 3, 0},
      // Segment and point arrays grow by a fixed step, which costs a copy per
      // step where the kernel's reallocation moves the block: sizes stay
      // moderate so that the sanitizer build runs these in seconds.
      {"path of 20,000 segments", Svg("<path d=\"M0 0" + Repeat(" L1 1", 20000) + "\"/>"), kOk,
       2, 32},
      {"polyline of 20,000 points", Svg("<polyline points=\"" + Repeat(" 1,1", 20000) + "\"/>"),
       kOk, 2, 32},
      {"text of 200,000 characters",
       Svg("<text x=\"1\" y=\"9\">" + Repeat("abcdefghij", 20000) + "</text>"), kOk, 3, 32},
      {"5,000 tspans", Svg("<text x=\"1\" y=\"9\">" + Repeat("<tspan dx=\"1\">ab</tspan>", 5000) +
                           "</text>"),
       kOk, 5002, 0},
      {"picture declaring 100,000 pixels a side", Svg(HugePicture(100000, 100000)),
       svgtool::kErrPictureTooLarge, 1, 0},
      {"picture declaring 1 GiB", Svg(HugePicture(16384, 16384)), svgtool::kErrPictureTooLarge,
       1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome outcome = Load(c.bytes);
    EXPECT_EQ(outcome.status, c.status) << StatusName(outcome.status);
    EXPECT_LE(outcome.objects, c.maxObjects);
    const double ratio =
        static_cast<double>(outcome.peakBytes) / static_cast<double>(c.bytes.size());
    std::printf("[ limits   ] %-36s %8zu bytes in, %7d objects, %10lld kernel bytes live (%.1f x)\n",
                c.name, c.bytes.size(), outcome.objects, static_cast<long long>(outcome.peakBytes),
                ratio);
    if (c.maxBytesPerInputByte > 0) {
      EXPECT_GT(outcome.peakBytes, 0) << "the last picture was never loaded";
      EXPECT_LE(ratio, c.maxBytesPerInputByte);
    }
  }
}

TEST_F(Limits, UseContentDrawsUpToTheNestingLimit) {
  const Outcome atLimit = Load(UsesAroundNestedRect(kMaxUseNesting - 604));
  const Outcome beyond = Load(UsesAroundNestedRect(kMaxUseNesting - 603));
  EXPECT_EQ(atLimit.status, kOk);
  EXPECT_EQ(beyond.status, kOk);
  EXPECT_EQ(atLimit.objects, beyond.objects + 1);  // the rect
}

TEST_F(Limits, RenderRefusesARasterBeyondThePictureLimits) {
  const std::string svg = folder_.Write(
      "tall.svg", Svg("<rect width=\"100\" height=\"100\"/>"));
  for (const std::string& side :
       {std::to_string(svgtool::kMaxPictureSide + 1), std::string("10000")}) {
    SCOPED_TRACE(side);
    std::vector<std::string> args = {"--module", SVGFLT_BINARY_DIR "/libsvgfilter.so",
                                     "--width", side, "--height", side, svg,
                                     "-o", folder_.Path("out.png")};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    ::testing::internal::CaptureStderr();
    const int exitStatus = svgtool::CmdRender(static_cast<int>(argv.size()), argv.data());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitStatus, 1);
    EXPECT_NE(err.find("error " + std::to_string(svgtool::kErrPictureTooLarge)),
              std::string::npos)
        << err;
  }
}

}  // namespace
