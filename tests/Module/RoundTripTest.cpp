// Load, save, load again: corpus files that load are read in vector mode,
// written with fltSave and the written file read back. The second document
// holds the same objects as the first, as the writer maps them: same kinds,
// same places, same pen and brush colours. The written file is stable from
// one save to the next (but for the fresh names of linked picture files) and
// well-formed XML that another SVG reader renders (files without pictures).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Common/svg.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Module/TempFiles.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"
#include "svgfilter/HostRecords.h"
#include "tools/DocumentFolder.h"
#include "tools/HostCallbacks.h"
#include "tools/Module.h"

namespace {

using namespace svgflt;

constexpr char kXmllint[] = "/usr/bin/xmllint";
constexpr char kRsvgConvert[] = "/usr/bin/rsvg-convert";
constexpr int32_t kVectorMode = 1;
constexpr int32_t kLinkedImages = 0;  // any save format but the embedding one

// Folders of the corpus whose loadable files are round-tripped: every shape
// kind, nested groups, pens of every sort, gradient brushes, transformed
// shapes that become polygons, pictures and text.
constexpr const char* kSelection[] = {
    "shapes",
    "structure/g",
    "structure/transform",
    "structure/image",
    "painting/stroke",
    "painting/stroke-dasharray",
    "painting/stroke-linecap",
    "painting/stroke-linejoin",
    "painting/stroke-width",
    "paint-servers/linearGradient",
    "text/font-family",
};

// Below this many round-tripped files the selection no longer means much.
constexpr int kMinimumFiles = 40;

// Coordinates are written by "%g": six significant digits.
constexpr double kAbsoluteTolerance = 0.05;
constexpr double kRelativeTolerance = 1e-3;

// The kind the written element loads as: curves become paths, a point a
// circle of radius 0; clips (with the empty paths that end them) and group
// objects are not written (0).
int32_t ReloadedType(int32_t type) {
  switch (type) {
    case kVoPoint: return kVoCircle;
    case kVoBezier:
    case kVoPolyBezier:
    case kVoArc:
    case kVoClosedBezier:
    case kVoPie:
    case kVoPath:
    case kVoSpline:
    case kVoClosedSpline: return kVoPath;
    case kVoClip:
    case kVoGroupObject: return 0;
    default: return type;
  }
}

// What the comparison needs of one object.
struct ObjectFacts {
  VectorObjectHandle handle{};
  bool hasBounds = false;
  KernelPoint lower{};
  KernelPoint upper{};
  bool hasPen = false;
  VectorPenValues pen{};
  bool hasBrush = false;
  bool twoColourBrush = false;
  VectorBrushValues brush{};
  KernelPoint textPosition{};  // text only
  std::u16string text;
  int32_t bitmapWidth = 0;  // pictures only
  int32_t bitmapHeight = 0;
};

int32_t CollectHandle(VectorDocument*, const VectorObjectHandle* object, void* userData) {
  static_cast<std::vector<VectorObjectHandle>*>(userData)->push_back(*object);
  return kOk;
}

// The pen and brush of a description, where its kind has them.
void PenAndBrushOf(int32_t type, const VectorObjectDesc& desc, const VectorPen** pen,
                   const VectorBrush** brush) {
  *pen = nullptr;
  *brush = nullptr;
  switch (type) {
    case kVoPoint: *pen = &desc.point.pen; break;
    case kVoLine: *pen = &desc.line.pen; break;
    case kVoRect: *pen = &desc.rect.pen; *brush = &desc.rect.brush; break;
    case kVoPolyline:
    case kVoBezier:
    case kVoPolyBezier:
    case kVoSpline: *pen = &desc.polyline.pen; break;
    case kVoPolygon:
    case kVoClosedBezier:
    case kVoClosedSpline: *pen = &desc.polygon.pen; *brush = &desc.polygon.brush; break;
    case kVoEllipse: *pen = &desc.ellipse.pen; *brush = &desc.ellipse.brush; break;
    case kVoCircle: *pen = &desc.circle.pen; *brush = &desc.circle.brush; break;
    case kVoArc: *pen = &desc.arc.pen; break;
    case kVoPie: *pen = &desc.pie.pen; *brush = &desc.pie.brush; break;
    case kVoPath: *pen = &desc.path.pen; *brush = &desc.path.brush; break;
    case kVoText: *pen = &desc.text.pen; *brush = &desc.text.brush; break;
    default: break;
  }
}

// Every written object of a document, in enumeration order; `clips` counts
// the clips left out.
std::vector<ObjectFacts> FactsOf(VectorDocument* document, int* clips) {
  std::vector<VectorObjectHandle> handles;
  EXPECT_EQ(VectorEnumObjects(document, CollectHandle, &handles, 0), kOk);
  std::vector<ObjectFacts> facts;
  for (const VectorObjectHandle& handle : handles) {
    if (handle.type == kVoClip) ++*clips;
    if (ReloadedType(handle.type) == 0) continue;
    auto desc = std::make_unique<VectorObjectDesc>();
    EXPECT_EQ(VectorGetObject(document, &handle, handle.type, desc.get()), kOk);
    if (handle.type == kVoPath && (desc->path.h.flags & kVoFlagClipEnd) != 0) {
      EXPECT_EQ(VectorFreeObjectData(handle.type, desc.get()), kOk);
      continue;
    }
    ObjectFacts object;
    object.handle = handle;
    object.hasBounds =
        VectorGetObjectExtent(document, handle.id, &object.lower, &object.upper) == kOk;
    const VectorPen* pen = nullptr;
    const VectorBrush* brush = nullptr;
    PenAndBrushOf(handle.type, *desc, &pen, &brush);
    if (pen != nullptr) object.hasPen = VectorGetPen(pen, &object.pen) == kOk;
    if (brush != nullptr) {
      object.hasBrush = VectorGetBrush(brush, &object.brush) == kOk;
      object.twoColourBrush = brush->w[0] == kBrushTwoColour;
    }
    if (handle.type == kVoText) {
      object.textPosition = desc->text.position;
      if (desc->text.text != nullptr) object.text = desc->text.text;
    }
    if (handle.type == kVoRaster) {
      object.bitmapWidth = desc->raster.bitmap.width;
      object.bitmapHeight = desc->raster.bitmap.height;
    }
    EXPECT_EQ(VectorFreeObjectData(handle.type, desc.get()), kOk);
    facts.push_back(object);
  }
  return facts;
}

// A document of the host's, freed at the end.
class HostDocument {
 public:
  HostDocument() : record_(std::make_unique<VectorDocument>()) {
    EXPECT_EQ(VectorInit(record_.get()), kOk);
  }
  ~HostDocument() { (void)VectorFree(record_.get()); }
  HostDocument(const HostDocument&) = delete;
  HostDocument& operator=(const HostDocument&) = delete;
  VectorDocument* get() const { return record_.get(); }

 private:
  std::unique_ptr<VectorDocument> record_;
};

// fltLoad in vector mode into `document`, with the linked pictures resolved
// against the file's folder.
Status LoadVector(const std::string& path, VectorDocument* document) {
  const std::u16string name = svgtool::ToUtf16(path);
  svgtool::DocumentFolder folder(path, false);
  ResolutionRecord resolution{};
  resolution.horizontal = 96;
  resolution.vertical = 96;
  auto load = std::make_unique<LoadRequest>();
  load->fileName = name.c_str();
  load->document = document;
  load->mode = kVectorMode;
  load->loadFromMemory = svgtool::LoadRasterFromMemory;
  load->loadFromFile = svgtool::LoadRasterFromFile;
  load->resolution = &resolution;
  return fltLoad(load.get());
}

Status SaveVector(VectorDocument* document, const std::string& path) {
  const std::u16string name = svgtool::ToUtf16(path);
  auto save = std::make_unique<SaveRequest>();
  save->fileName = name.c_str();
  save->saveFormat = kLinkedImages;
  save->mode = kVectorMode;
  save->document = document;
  save->exportToMemory = svgtool::ExportToMemory;
  save->exportToFile = svgtool::ExportToFile;
  return fltSave(save.get());
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `command` (stderr joined to stdout); true when it exits with 0.
bool RunTool(const std::string& command, std::string* output) {
  output->clear();
  std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return false;
  char buffer[512];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output->append(buffer, n);
  return ::pclose(pipe) == 0;
}

// The bytes of a saved file with the names of linked picture files ("svg",
// hex digits, ".tmp"), which are fresh temporary names at every save,
// replaced by one placeholder.
std::string WithoutTemporaryNames(const std::string& bytes) {
  constexpr std::string_view kPrefix = "svg";
  constexpr std::string_view kSuffix = ".tmp";
  constexpr std::string_view kPlaceholder = "svgNAME.tmp";
  std::string out;
  std::size_t at = 0;
  while (at < bytes.size()) {
    std::size_t digits = at + kPrefix.size();
    if (bytes.compare(at, kPrefix.size(), kPrefix) == 0) {
      while (digits < bytes.size() && std::isxdigit(static_cast<unsigned char>(bytes[digits])))
        ++digits;
      if (digits > at + kPrefix.size() && bytes.compare(digits, kSuffix.size(), kSuffix) == 0) {
        out += kPlaceholder;
        at = digits + kSuffix.size();
        continue;
      }
    }
    out += bytes[at++];
  }
  return out;
}

bool Near(double expected, double got) {
  return std::fabs(expected - got) <=
         std::max(kAbsoluteTolerance, kRelativeTolerance * std::fabs(expected));
}

// Where the writer puts a point of the first document, as the second
// document holds it: x moved right when the drawing starts left of 0, y
// turned over below the top of the extent and back again by the loader,
// both shrunk by the writer's scale. Both documents are in pixels.
struct WriterMapping {
  double shiftX = 0.0;
  double top = 0.0;
  double scale = 1.0;

  explicit WriterMapping(VectorDocument* document) {
    KernelPoint lower{}, upper{};
    EXPECT_EQ(VectorGetExtent(document, &lower, &upper), kOk);
    shiftX = lower.x < 0.0 ? lower.x : 0.0;
    top = upper.y;
    const double side = std::max(upper.x - lower.x, upper.y - lower.y);
    constexpr double kLargestSide = 870.0;
    if (side > 0.0) scale = std::min(1.0, kLargestSide / side);
  }
  double X(double x) const { return (x - shiftX) * scale; }
  double Y(double y) const { return (y - top) * scale; }
};

// The differences that the format and the writer rules make, counted over
// all files for the closing line.
struct Differences {
  int twoColourBrushes = 0;      // gradients written as their solid colour
  int penWidthsChanged = 0;      // the load halves the written stroke width again
  int hollowColoursDropped = 0;  // fill="none" keeps no colour
  int textsWithBlanks = 0;       // the content's line ends come back as blanks
  int filesWithPictures = 0;     // xlink prefix used without its declaration
  int clipsDropped = 0;          // clips are not written
  int picturesRefitted = 0;      // the box of the picture has other proportions
  int objectsCompared = 0;
};

void CompareObjects(const std::vector<ObjectFacts>& first,
                    const std::vector<ObjectFacts>& second, const WriterMapping& mapping,
                    Differences* differences) {
  ASSERT_EQ(second.size(), first.size()) << "objects written and read back";
  for (std::size_t i = 0; i < first.size(); ++i) {
    const ObjectFacts& a = first[i];
    const ObjectFacts& b = second[i];
    SCOPED_TRACE("object " + std::to_string(i) + " (type " + std::to_string(a.handle.type) +
                 ")");
    ++differences->objectsCompared;
    EXPECT_EQ(b.handle.type, ReloadedType(a.handle.type));

    // The writer puts the content of a text element on a line of its own;
    // the loader turns each line end into a blank and keeps blanks at the
    // ends of a run, so the run is one blank longer on either side and
    // wider. Its anchor point and its height stay.
    const bool text = a.handle.type == kVoText && b.handle.type == kVoText;
    if (text) {
      ++differences->textsWithBlanks;
      EXPECT_EQ(b.text, u" " + a.text + u" ") << "text";
      EXPECT_PRED2(Near, mapping.X(a.textPosition.x), b.textPosition.x) << "text x";
      EXPECT_PRED2(Near, mapping.Y(a.textPosition.y), b.textPosition.y) << "text y";
    }
    EXPECT_EQ(b.hasBounds, a.hasBounds);
    if (a.hasBounds && b.hasBounds) {
      double left = mapping.X(a.lower.x), right = mapping.X(a.upper.x);
      double bottom = mapping.Y(a.lower.y), top = mapping.Y(a.upper.y);
      // A picture is written as an image element over its box with the
      // default preserveAspectRatio, so where the box (a transformed one, for
      // example) has other proportions than the bitmap, the load fits the
      // bitmap into it, centred.
      if (a.handle.type == kVoRaster && a.bitmapWidth > 0 && a.bitmapHeight > 0 &&
          right > left && top > bottom) {
        const double scale = std::min((right - left) / a.bitmapWidth,
                                      (top - bottom) / a.bitmapHeight);
        const double width = a.bitmapWidth * scale, height = a.bitmapHeight * scale;
        if (!Near(right - left, width) || !Near(top - bottom, height)) {
          ++differences->picturesRefitted;
        }
        left += (right - left - width) / 2.0;
        right = left + width;
        bottom += (top - bottom - height) / 2.0;
        top = bottom + height;
      }
      if (!text) {
        EXPECT_PRED2(Near, left, b.lower.x) << "left";
        EXPECT_PRED2(Near, right, b.upper.x) << "right";
      }
      EXPECT_PRED2(Near, bottom, b.lower.y) << "bottom";
      EXPECT_PRED2(Near, top, b.upper.y) << "top";
    }

    EXPECT_EQ(b.hasPen, a.hasPen);
    if (a.hasPen && b.hasPen) {
      const bool drawn = (a.pen.style & kPenStyleMask) != kPenNull;
      EXPECT_EQ((b.pen.style & kPenStyleMask) != kPenNull, drawn) << "pen style " << a.pen.style;
      if (drawn) {
        EXPECT_EQ(b.pen.colour, a.pen.colour) << "pen colour";
        if (b.pen.width != a.pen.width) ++differences->penWidthsChanged;
      }
    }

    EXPECT_EQ(b.hasBrush, a.hasBrush);
    if (a.hasBrush && b.hasBrush) {
      if (a.twoColourBrush) ++differences->twoColourBrushes;
      EXPECT_EQ(b.brush.style, a.brush.style) << "brush style";
      if (a.brush.style == kBrushHollow) {
        if (b.brush.colour != a.brush.colour) ++differences->hollowColoursDropped;
      } else {
        EXPECT_EQ(b.brush.colour, a.brush.colour) << "brush colour";
      }
      if (a.brush.style == kBrushHatched) {
        EXPECT_EQ(b.brush.hatch, a.brush.hatch);
      }
    }
  }
}

// The selected corpus files, sorted.
std::vector<std::filesystem::path> SelectedFiles(const std::filesystem::path& root) {
  std::vector<std::filesystem::path> files;
  for (const char* folder : kSelection) {
    const std::filesystem::path base = root / folder;
    if (!std::filesystem::is_directory(base)) continue;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
      if (entry.is_regular_file() && entry.path().extension() == ".svg")
        files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

TEST(RoundTrip, SavedCorpusFilesLoadBackToTheSameObjects) {
  const std::filesystem::path root = std::filesystem::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  if (!std::filesystem::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  const bool haveXmllint = std::filesystem::exists(kXmllint);
  const bool haveRsvg = std::filesystem::exists(kRsvgConvert);
  svgtest::TempFolder temp;

  Differences differences;
  int roundTripped = 0;
  int notLoading = 0;
  for (const auto& file : SelectedFiles(root)) {
    const std::string relative = std::filesystem::relative(file, root).string();
    SCOPED_TRACE(relative);
    HostDocument original;
    if (LoadVector(file.string(), original.get()) != kOk) {
      ++notLoading;  // the corpus test accounts for files that do not load
      continue;
    }
    ++roundTripped;

    // Each file into a folder of its own, with its linked pictures beside it.
    std::string stem = relative;
    std::replace(stem.begin(), stem.end(), '/', '_');
    const std::filesystem::path folder = temp.Path(stem.substr(0, stem.size() - 4));
    std::filesystem::create_directories(folder);
    const std::string saved = (folder / "saved.svg").string();
    ASSERT_EQ(SaveVector(original.get(), saved), kOk);
    const std::string firstBytes = ReadBytes(saved);
    ASSERT_EQ(SaveVector(original.get(), saved), kOk);
    EXPECT_EQ(WithoutTemporaryNames(ReadBytes(saved)), WithoutTemporaryNames(firstBytes))
        << "the second save differs from the first";

    HostDocument reloaded;
    ASSERT_EQ(LoadVector(saved, reloaded.get()), kOk) << firstBytes;
    VectorUnits units{};
    ASSERT_EQ(VectorGetUnits(original.get(), &units), kOk);
    ASSERT_FALSE(units.unit >= 0 && units.unit <= 9) << "expected pixels, unit " << units.unit;
    const WriterMapping mapping(original.get());
    const std::vector<ObjectFacts> facts = FactsOf(original.get(), &differences.clipsDropped);
    int reloadedClips = 0;
    CompareObjects(facts, FactsOf(reloaded.get(), &reloadedClips), mapping, &differences);
    EXPECT_EQ(reloadedClips, 0) << "clips in the written file";

    // The root element declares only the SVG namespace, while picture
    // elements refer to their files by xlink:href: well-formed XML, but
    // namespace-aware readers refuse such a file.
    const bool pictures = std::any_of(facts.begin(), facts.end(), [](const ObjectFacts& f) {
      return f.handle.type == kVoRaster;
    });
    if (pictures) ++differences.filesWithPictures;
    std::string output;
    if (haveXmllint) {
      EXPECT_TRUE(RunTool(std::string(kXmllint) + " --noout '" + saved + "'", &output))
          << output;
      if (!pictures) {
        EXPECT_EQ(output, "") << "xmllint's remarks";
      }
    }
    if (haveRsvg && !pictures) {
      EXPECT_TRUE(
          RunTool(std::string(kRsvgConvert) + " -o '" + saved + ".png' '" + saved + "'", &output))
          << output;
    }
  }
  EXPECT_GE(roundTripped, kMinimumFiles);
  std::printf(
      "round trip: %d files (%d objects), %d selected files do not load; documented "
      "differences: %d gradient brushes written as their solid colour, %d pen widths "
      "changed (the load halves the written stroke width), %d colours of hollow brushes "
      "not kept, %d texts back with a blank at either end, %d files with pictures use an "
      "undeclared xlink prefix (not rendered by rsvg-convert), %d clips not written, %d "
      "pictures fitted into boxes of other proportions; xmllint %s, rsvg-convert %s\n",
      roundTripped, differences.objectsCompared, notLoading, differences.twoColourBrushes,
      differences.penWidthsChanged, differences.hollowColoursDropped,
      differences.textsWithBlanks, differences.filesWithPictures, differences.clipsDropped,
      differences.picturesRefitted, haveXmllint ? "checked" : "absent", haveRsvg ? "checked" : "absent");
}

}  // namespace
