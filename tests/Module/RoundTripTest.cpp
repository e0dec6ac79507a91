// Load, save, load again: corpus files that load are read in vector mode,
// written with fltSave and the written file read back. The second document
// holds the same objects as the first, as the writer maps them: same kinds,
// same places, same pen and brush colours. The written file is stable from
// one save to the next (but for the fresh names of linked picture files).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Module/FilterRuns.h"
#include "Module/TempFiles.h"
#include "tools/DocumentFolder.h"

namespace {

using namespace svgflt;
namespace fs = std::filesystem;


// Folders of the corpus whose loadable files are round-tripped: every shape
// kind, nested groups, pens of every sort, gradient brushes, transformed
// shapes that become polygons, pictures and text.
constexpr const char* kSelection[] = {
    "shapes", "structure/g", "structure/transform", "structure/image", "painting/stroke",
    "painting/stroke-dasharray", "painting/stroke-linecap", "painting/stroke-linejoin",
    "painting/stroke-width", "paint-servers/linearGradient", "text/font-family"};

// Below this many round-tripped files the selection no longer means much.
constexpr int kMinimumFiles = 40;

// The kind the written element loads as: curves become paths, a point a
// circle of radius 0; clips (with the empty paths that end them) and group
// objects are not written (0).
int32_t ReloadedType(int32_t type) {
  switch (type) {
    case kVoPoint: return kVoCircle;
    case kVoBezier: case kVoPolyBezier: case kVoArc: case kVoClosedBezier: case kVoPie:
    case kVoPath: case kVoSpline: case kVoClosedSpline: return kVoPath;
    case kVoClip: case kVoGroupObject: return 0;
    default: return type;
  }
}

// What the comparison needs of one object.
struct ObjectFacts {
  VectorObjectHandle handle{};
  bool hasBounds = false, hasPen = false, hasBrush = false;
  KernelPoint lower{}, upper{};
  VectorPenValues pen{};
  VectorBrushValues brush{};
  KernelPoint textPosition{};  // text only
  std::u16string text;
  int32_t bitmapWidth = 0, bitmapHeight = 0;  // pictures only
};

// The pen and brush of a description, where its kind has them.
std::pair<const VectorPen*, const VectorBrush*> PenAndBrushOf(int32_t type,
                                                              const VectorObjectDesc& d) {
  switch (type) {
    case kVoPoint: return {&d.point.pen, nullptr};
    case kVoLine: return {&d.line.pen, nullptr};
    case kVoRect: return {&d.rect.pen, &d.rect.brush};
    case kVoPolyline: case kVoBezier: case kVoPolyBezier: case kVoSpline:
      return {&d.polyline.pen, nullptr};
    case kVoPolygon: case kVoClosedBezier: case kVoClosedSpline:
      return {&d.polygon.pen, &d.polygon.brush};
    case kVoEllipse: return {&d.ellipse.pen, &d.ellipse.brush};
    case kVoCircle: return {&d.circle.pen, &d.circle.brush};
    case kVoArc: return {&d.arc.pen, nullptr};
    case kVoPie: return {&d.pie.pen, &d.pie.brush};
    case kVoPath: return {&d.path.pen, &d.path.brush};
    case kVoText: return {&d.text.pen, &d.text.brush};
    default: return {nullptr, nullptr};
  }
}

// Every written object of a document, in enumeration order; `clips` counts
// the clips left out.
std::vector<ObjectFacts> FactsOf(VectorDocument* document, int* clips) {
  std::vector<VectorObjectHandle> handles;
  const auto collect = [](VectorDocument*, const VectorObjectHandle* object, void* userData) {
    static_cast<std::vector<VectorObjectHandle>*>(userData)->push_back(*object);
    return kOk;
  };
  EXPECT_EQ(VectorEnumObjects(document, collect, &handles, 0), kOk);
  std::vector<ObjectFacts> facts;
  for (const VectorObjectHandle& handle : handles) {
    if (handle.type == kVoClip) ++*clips;
    if (ReloadedType(handle.type) == 0) continue;
    auto desc = std::make_unique<VectorObjectDesc>();
    EXPECT_EQ(VectorGetObject(document, &handle, handle.type, desc.get()), kOk);
    if (handle.type != kVoPath || (desc->path.h.flags & kVoFlagClipEnd) == 0) {
      ObjectFacts object;
      object.handle = handle;
      object.hasBounds =
          VectorGetObjectExtent(document, handle.id, &object.lower, &object.upper) == kOk;
      const auto [pen, brush] = PenAndBrushOf(handle.type, *desc);
      object.hasPen = pen != nullptr && VectorGetPen(pen, &object.pen) == kOk;
      object.hasBrush = brush != nullptr && VectorGetBrush(brush, &object.brush) == kOk;
      if (handle.type == kVoText && desc->text.text != nullptr) object.text = desc->text.text;
      if (handle.type == kVoText) object.textPosition = desc->text.position;
      if (handle.type == kVoRaster) {
        object.bitmapWidth = desc->raster.bitmap.width;
        object.bitmapHeight = desc->raster.bitmap.height;
      }
      facts.push_back(object);
    }
    EXPECT_EQ(VectorFreeObjectData(handle.type, desc.get()), kOk);
  }
  return facts;
}

// fltLoad in vector mode, linked pictures resolved against the file's folder.
Status LoadBesideItsPictures(const std::string& path, VectorDocument* document) {
  const svgtool::DocumentFolder folder(path, false);
  return svgtest::LoadVector(path, document);
}

// Coordinates are written by "%g": six significant digits.
bool Near(double expected, double got) {
  return std::fabs(expected - got) <= std::max(0.05, 1e-3 * std::fabs(expected));
}

// Where the writer puts a point of the first document, as the second
// document holds it: x moved right when the drawing starts left of 0, y
// turned over below the top of the extent and back again by the loader,
// both shrunk by the writer's scale to at most 870 pixels a side.
struct WriterMapping {
  double shiftX = 0.0, top = 0.0, scale = 1.0;

  explicit WriterMapping(VectorDocument* document) {
    KernelPoint lower{}, upper{};
    EXPECT_EQ(VectorGetExtent(document, &lower, &upper), kOk);
    shiftX = std::min(lower.x, 0.0);
    top = upper.y;
    const double side = std::max(upper.x - lower.x, upper.y - lower.y);
    if (side > 0.0) scale = std::min(1.0, 870.0 / side);
  }
  double X(double x) const { return (x - shiftX) * scale; }
  double Y(double y) const { return (y - top) * scale; }
};

void CompareObjects(const std::vector<ObjectFacts>& first,
                    const std::vector<ObjectFacts>& second, const WriterMapping& mapping) {
  ASSERT_EQ(second.size(), first.size()) << "objects written and read back";
  for (std::size_t i = 0; i < first.size(); ++i) {
    const ObjectFacts &a = first[i], &b = second[i];
    SCOPED_TRACE("object " + std::to_string(i) + " (type " + std::to_string(a.handle.type) + ")");
    EXPECT_EQ(b.handle.type, ReloadedType(a.handle.type));
    // The writer puts the content of a text element on a line of its own;
    // the loader turns each line end into a blank and keeps blanks at the
    // ends of a run, so the run is one blank longer on either side and
    // wider. Its anchor point and its height stay.
    const bool text = a.handle.type == kVoText && b.handle.type == kVoText;
    if (text) {
      EXPECT_EQ(b.text, u" " + a.text + u" ") << "text";
      EXPECT_PRED2(Near, mapping.X(a.textPosition.x), b.textPosition.x) << "text x";
      EXPECT_PRED2(Near, mapping.Y(a.textPosition.y), b.textPosition.y) << "text y";
    }
    EXPECT_EQ(b.hasBounds, a.hasBounds);
    if (a.hasBounds && b.hasBounds) {
      double left = mapping.X(a.lower.x), right = mapping.X(a.upper.x);
      double bottom = mapping.Y(a.lower.y), top = mapping.Y(a.upper.y);
      // A picture is written as an image element over its box with the
      // default preserveAspectRatio, so where the box has other proportions
      // than the bitmap, the load fits the bitmap into it, centred.
      if (a.handle.type == kVoRaster && a.bitmapWidth > 0 && a.bitmapHeight > 0 &&
          right > left && top > bottom) {
        const double scale =
            std::min((right - left) / a.bitmapWidth, (top - bottom) / a.bitmapHeight);
        left += (right - left - a.bitmapWidth * scale) / 2.0;
        right = left + a.bitmapWidth * scale;
        bottom += (top - bottom - a.bitmapHeight * scale) / 2.0;
        top = bottom + a.bitmapHeight * scale;
      }
      if (!text) {
        EXPECT_PRED2(Near, left, b.lower.x) << "left";
        EXPECT_PRED2(Near, right, b.upper.x) << "right";
      }
      EXPECT_PRED2(Near, bottom, b.lower.y) << "bottom";
      EXPECT_PRED2(Near, top, b.upper.y) << "top";
    }
    // Pen widths may change: the load halves the written stroke width again.
    EXPECT_EQ(b.hasPen, a.hasPen);
    if (a.hasPen && b.hasPen) {
      const bool drawn = (a.pen.style & kPenStyleMask) != kPenNull;
      EXPECT_EQ((b.pen.style & kPenStyleMask) != kPenNull, drawn) << "pen style " << a.pen.style;
      EXPECT_EQ(drawn ? b.pen.colour : a.pen.colour, a.pen.colour) << "pen colour";
    }
    // Gradients come back as their solid colour; fill="none" keeps no colour.
    EXPECT_EQ(b.hasBrush, a.hasBrush);
    if (a.hasBrush && b.hasBrush) {
      EXPECT_EQ(b.brush.style, a.brush.style) << "brush style";
      const bool hollow = a.brush.style == kBrushHollow;
      EXPECT_EQ(hollow ? a.brush.colour : b.brush.colour, a.brush.colour) << "brush colour";
      EXPECT_EQ(b.brush.hatch, a.brush.hatch);
    }
  }
}

TEST(RoundTrip, SavedCorpusFilesLoadBackToTheSameObjects) {
  const fs::path root = fs::path(SVGFLT_CORPUS_DIR) / "resvg" / "tests";
  if (!fs::is_directory(root)) GTEST_SKIP() << "no corpus at " << root;
  std::vector<fs::path> files;
  for (const char* folder : kSelection) {
    if (!fs::is_directory(root / folder)) continue;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder))
      if (entry.is_regular_file() && entry.path().extension() == ".svg") files.push_back(entry);
  }
  std::sort(files.begin(), files.end());
  svgtest::TempFolder temp;
  int roundTripped = 0;
  for (const fs::path& file : files) {
    SCOPED_TRACE(fs::relative(file, root).string());
    const svgtest::HostDocument original;
    // The corpus test accounts for files that do not load.
    if (LoadBesideItsPictures(file.string(), original.get()) != kOk) continue;
    // Each file into a folder of its own, with its linked pictures beside it.
    const fs::path folder = temp.Path(std::to_string(++roundTripped));
    fs::create_directories(folder);
    const std::string saved = (folder / "saved.svg").string();
    ASSERT_EQ(svgtest::SaveVector(original.get(), saved, 0), kOk);
    const std::string firstBytes = svgtest::ReadBytes(saved);
    ASSERT_EQ(svgtest::SaveVector(original.get(), saved, 0), kOk);
    EXPECT_EQ(svgtest::WithoutPictureNames(svgtest::ReadBytes(saved)),
              svgtest::WithoutPictureNames(firstBytes));

    const svgtest::HostDocument reloaded;
    ASSERT_EQ(LoadBesideItsPictures(saved, reloaded.get()), kOk) << firstBytes;
    int clips = 0, reloadedClips = 0;
    CompareObjects(FactsOf(original.get(), &clips), FactsOf(reloaded.get(), &reloadedClips),
                   WriterMapping(original.get()));
    EXPECT_EQ(reloadedClips, 0) << "clips in the written file";
  }
  EXPECT_GE(roundTripped, kMinimumFiles);
}

}  // namespace
