// Embedded and linked images to raster objects.
#include "Common/VectorImage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Common/KernelMemory.h"
#include "Common/Stack.h"
#include "ImagingKernel/ImagingKernel.h"
#include "Platform/Platform.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/Vector";
constexpr int32_t kBitmapRecordSize = static_cast<int32_t>(sizeof(BitmapRecord));

// The matrix in force for the image with its whole transform list folded
// in: the driver applies no element transform to images, so translations,
// scalings and rotations (about their centres) all reach the corners here.
SvgMatrix ImageMatrix(const ConversionContext& context, const TransformList& list) {
  return FoldTransformList(InheritedMatrix(context), list);
}

bool IsPureRotation(const SvgMatrix& m) {
  return m.a == m.d && m.b == -m.c && !(m.b == 0.0 && m.c == 0.0);
}

// Loads the linked file into `bitmap`; *loaded stays false when the image
// is to be left out: a name that does not convert, a file the kernel cannot
// open, no load-from-file callback (during info) or a file the host cannot
// load. kOk or kErrNoMemory.
Status LoadLinkedFile(const char* href, LoadRequest* load, BitmapRecord* bitmap, bool* loaded) {
  *loaded = false;
  const std::size_t bytes = std::strlen(href);
  // Twice the byte length plus two bytes, zeroed: room for every unit and
  // the terminating NUL.
  KernelBlock<char16_t> name(SVGFLT_ALLOC(char16_t, bytes + 1));
  if (!name) return kErrNoMemory;
  if (bytes > 0 && MultiByteToWideChar(CP_UTF8, 0, href, static_cast<int32_t>(bytes), name.get(),
                                       static_cast<int32_t>(bytes)) <= 0) {
    return kOk;
  }
  const int32_t file = KernelOpenFile(name.get(), kOpenBinary, kPermRead);
  if (file < 0) return kOk;
  (void)KernelCloseFile(file);
  if (load == nullptr || load->loadFromFile == nullptr) return kOk;
  if (load->loadFromFile(name.get(), bitmap, kBitmapRecordSize, 0, 1, 0, 0) != kOk) {
    (void)FreeBitmap(bitmap);
    return kOk;
  }
  *loaded = true;
  return kOk;
}

// Decodes the data through the host into `bitmap`: kOk, the host's code, or
// the kernel's code of the copy. `*loaded` tells whether a host was there
// to ask.
Status LoadData(const ImageSource& source, InfoRequest* info, LoadRequest* load,
                BitmapRecord* bitmap, bool* loaded) {
  *loaded = false;
  BitmapRecord decoded;
  std::memset(&decoded, 0, sizeof(decoded));
  Status status = kOk;
  if (load != nullptr && load->loadFromMemory != nullptr) {
    status = load->loadFromMemory(source.data, &decoded, kBitmapRecordSize, 0, 1,
                                  source.dataSize);
  } else if (load == nullptr && info != nullptr && info->loadFromMemory != nullptr) {
    status = info->loadFromMemory(source.data, &decoded, kBitmapRecordSize, 0, 1,
                                  source.dataSize, 0, 0);
  } else {
    // No host to decode the picture: it is left out.
    return kOk;
  }
  if (status != kOk) {
    (void)FreeBitmap(&decoded);
    return status;
  }
  status = CopyBitmapRecord(bitmap, &decoded, kBitmapRecordSize);
  (void)FreeBitmap(&decoded);
  if (status != kOk) {
    std::memset(bitmap, 0, sizeof(*bitmap));
    return status;
  }
  *loaded = true;
  return kOk;
}

KernelPoint Point(double x, double y) {
  KernelPoint p{};
  p.x = x;
  p.y = y;
  return p;
}

// (x, y) through the matrix in SVG space, then turned over: y' = origin - y.
KernelPoint Placed(const SvgMatrix& m, double origin, double x, double y) {
  return Point(m.a * x + m.c * y + m.e, origin - (m.b * x + m.d * y + m.f));
}

}  // namespace

double RasterRotation(const SvgMatrix& m) {
  if (!IsPureRotation(m)) return 0.0;
  // atan2 gives the arctangent with its quadrant corrections in one step:
  // the kernel turns counter-clockwise with y up, SVG clockwise with y down.
  double angle = -std::atan2(m.b, m.a) * kDegreesPerRadian;
  if (angle < 0.0 && m.a < 0.0) angle += 360.0;
  return angle;
}

Status ConvertImage(ConversionContext& context, SvgDocument& document, int32_t index,
                    InfoRequest* info, LoadRequest* load) {
  if (index < 0 || index >= document.recordCount) return kErrMissing;
  const ElementRecord& element = document.records[index];
  if (element.elementType != kElemImage) return kOk;
  const ImageData& image = element.data.image;

  VectorRasterObject record;
  Status status = VectorInitObject(&record, kVoRaster);
  if (status != kOk) return status;

  const double boxX = LengthToPixels(context, image.x, LengthAxis::kHorizontal);
  const double boxY = LengthToPixels(context, image.y, LengthAxis::kVertical);
  const double boxWidth = LengthToPixels(context, image.width, LengthAxis::kHorizontal);
  const double boxHeight = LengthToPixels(context, image.height, LengthAxis::kVertical);

  const ImageSource& source = image.source;
  if (source.data != nullptr && source.dataSize > 0) {
    bool loaded = false;
    status = LoadData(source, info, load, &record.bitmap, &loaded);
    if (status != kOk || !loaded) return status;
  } else if (source.href != nullptr) {
    bool loaded = false;
    status = LoadLinkedFile(source.href, load, &record.bitmap, &loaded);
    if (status != kOk || !loaded) return status;
  }
  // With neither, the object keeps an empty bitmap.

  if (record.bitmap.bitsPerPixel == 32) record.h.flags |= kVoFlagAlpha;
  if (context.paintEnabled == 0 || context.paintEnabled2 == 0 || context.clipContent != 0) {
    record.h.flags |= kVoFlagHidden;
  }

  const double origin = context.originY;
  const SvgMatrix m = ImageMatrix(context, CommonOf(element).transform);
  // The picture keeps its proportions inside the element's box unless
  // preserveAspectRatio is none: "meet" fits it in, "slice" fills the box
  // and is clipped to it.
  double x = boxX, y = boxY, width = boxWidth, height = boxHeight;
  const SvgAspectRatio& ratio = image.preserveAspectRatio;
  const BitmapRecord& bitmap = record.bitmap;
  if (ratio.align != kAlignNone && bitmap.width > 0 && bitmap.height > 0 && boxWidth > 0 &&
      boxHeight > 0) {
    const double sx = boxWidth / bitmap.width;
    const double sy = boxHeight / bitmap.height;
    const double scale = ratio.meetOrSlice == kSlice ? std::max(sx, sy) : std::min(sx, sy);
    width = bitmap.width * scale;
    height = bitmap.height * scale;
    const int32_t column = (ratio.align - kAlignXMinYMin) % 3;  // 0 min, 1 mid, 2 max
    const int32_t row = (ratio.align - kAlignXMinYMin) / 3;
    x = boxX + (boxWidth - width) * column / 2.0;
    y = boxY + (boxHeight - height) * row / 2.0;
    if (ratio.meetOrSlice == kSlice && context.clipContent == 0) {
      KernelPoint corners[5] = {Placed(m, origin, boxX, boxY),
                                Placed(m, origin, boxX + boxWidth, boxY),
                                Placed(m, origin, boxX + boxWidth, boxY + boxHeight),
                                Placed(m, origin, boxX, boxY + boxHeight),
                                Placed(m, origin, boxX, boxY)};
      uint8_t kinds[5] = {kPtMoveTo, kPtLineTo, kPtLineTo, kPtLineTo,
                          kPtLineTo | kPtCloseFigure};
      const VectorPointPath path{5, corners, kinds};
      status = VectorSetClip(context.document, &path);
      if (status != kOk) {
        (void)FreeBitmap(&record.bitmap);
        return status;
      }
      ++context.clipOpened;
    }
  }
  double rotation = 0.0;
  if (IsIdentityMatrix(m)) {
    record.corner1 = Point(x, origin - y);
    record.corner2 = Point(x + width, origin - (y + height));
  } else if (IsPureRotation(m)) {
    // The unturned box, scaled, about the turned centre; the kernel then
    // paints the picture turned about that centre.
    const double scale = std::hypot(m.a, m.b);
    const KernelPoint centre = Placed(m, origin, x + width / 2.0, y + height / 2.0);
    const double halfWidth = width * scale / 2.0;
    const double halfHeight = height * scale / 2.0;
    record.corner1 = Point(centre.x - halfWidth, centre.y + halfHeight);
    record.corner2 = Point(centre.x + halfWidth, centre.y - halfHeight);
    rotation = RasterRotation(m);
  } else {
    record.corner1 = Placed(m, origin, x, y);
    record.corner2 = Placed(m, origin, x + width, y + height);
  }

  status = AddElementObject(context, index, kVoRaster, &record);
  if (status == kOk && rotation != 0.0) {
    const VectorTriple angles{0.0, 0.0, rotation};
    status = VectorObjectRotate(context.document, &angles, context.lastObject);
  }
  // The kernel keeps its own copy of the picture.
  (void)FreeBitmap(&record.bitmap);
  return status;
}

}  // namespace svgflt
