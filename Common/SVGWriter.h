// The object writer: one SVG element per vector object (shapes, paths,
// text, images), with its fill and stroke attributes, written flat under
// the root svg element in enumeration order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Common/outstr.h"
#include "Common/save.h"
#include "VectorKernel/VectorKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {

// A point in output units.
struct OutPoint {
  double x;
  double y;
};

// Commands of a path element.
enum PathCommand : std::int32_t {
  kCommandMove = 0,   // "M", one point
  kCommandLine = 1,   // "L", one point
  kCommandCubic = 2,  // "C", three points
  kCommandQuad = 3,   // "Q", two points
  kCommandClose = 4   // "Z", no point
};

// Interior paint of an element.
struct FillRecord {
  std::int32_t paint;   // 1: paint the interior; otherwise fill="none"
  char* patternId;      // 50-byte pattern name, or null
  std::uint32_t colour; // 0x00BBGGRR, used when patternId is null
  std::int32_t opacity; // always 0
  std::int32_t fillRule;  // 0 none, 1 nonzero, 2 evenodd
};

// Outline of an element.
struct StrokeRecord {
  std::int32_t paint;   // 1: draw the outline; otherwise stroke="none"
  char* patternId;      // always null for pens
  std::uint32_t colour;
  std::int32_t opacity; // always 0
  double width;         // output units; 0: no width attribute
  std::int32_t lineCap;   // 0 none, 1 butt, 2 round, 3 square
  std::int32_t lineJoin;  // 0 none, 1 miter, 2 round, 3 bevel
  std::int32_t miterLimit;  // always 0
  std::int32_t* dashes;
  std::int32_t dashCount;
  std::int32_t dashOffset;  // always 0
};

// The writer's font description.
struct FontRecord {
  char* family;          // 32-byte face name, or null
  std::int32_t size;     // output units
  std::int32_t stretch;  // 0
  std::int32_t style;    // 0 none, 2 italic
  std::int32_t variant;  // 0
  std::int32_t weight;   // 0 none, 5-13 for 100-900
  std::int32_t angle;    // whole degrees
  std::int32_t underline;
};

inline constexpr std::size_t kPatternIdSize = 50;
inline constexpr std::size_t kFamilySize = 32;
inline constexpr std::int32_t kEvenOddRule = 2;
inline constexpr std::int32_t kNonZeroRule = 1;

// VectorEnumCallback: writes one object; `userData` is the SaveContext.
// kOk, the vector kernel's status when the object cannot be read or
// converted, kErrNoMemory, a host export status, or kErrImagePlacement.
std::int32_t WriteObject(VectorDocument* document, const VectorObjectHandle* object,
                         void* userData);

// Points of the document into output units: unit factor, shift of a
// negative left edge to 0, y turned over, scale, values below 0.00001 to 0.
void ToOutput(const SaveContext& context, const KernelPoint* in, OutPoint* out, std::int32_t n);

// Element writers. A null fill or stroke writes no attribute. kOk, or
// kErrMissing for a missing input or a list that is too short.
Status WriteCircle(OutputBuffer* out, const OutPoint& centre, double radius,
                   const FillRecord* fill, StrokeRecord* stroke);
Status WriteEllipse(OutputBuffer* out, const OutPoint& centre, double rx, double ry,
                    const FillRecord* fill, StrokeRecord* stroke);
Status WriteLine(OutputBuffer* out, const OutPoint& from, const OutPoint& to,
                 StrokeRecord* stroke);
Status WriteRect(OutputBuffer* out, double x1, double x2, double y1, double y2,
                 const FillRecord* fill, StrokeRecord* stroke);
// At least two points each.
Status WritePolyline(OutputBuffer* out, const OutPoint* points, std::int32_t count,
                     StrokeRecord* stroke);
Status WritePolygon(OutputBuffer* out, const OutPoint* points, std::int32_t count,
                    const FillRecord* fill, StrokeRecord* stroke);
// The commands take their points from `points` in order; kErrMissing when
// there is no command or the commands need more than `pointCount` points.
Status WritePath(OutputBuffer* out, const OutPoint* points, std::int32_t pointCount,
                 const std::int32_t* commands, std::int32_t commandCount,
                 const FillRecord* fill, StrokeRecord* stroke);

// Paint records from a pen or a brush of the vector kernel; their
// allocations are tracked and given back by ReleaseStroke / ReleaseFill.
StrokeRecord StrokeFromPen(const VectorPen& pen, double scale);
FillRecord FillFromBrush(const VectorBrush& brush);
// The fill and stroke attributes; a null record writes nothing. The stroke
// width is cut to one decimal towards zero, in the record too.
Status WriteFill(OutputBuffer* out, const FillRecord* fill);
Status WriteStroke(OutputBuffer* out, StrokeRecord* stroke);
void ReleaseStroke(StrokeRecord* stroke);
void ReleaseFill(FillRecord* fill);

// Text.
FontRecord FontFromLogFont(const VectorLogFont& logFont);
void ReleaseFont(FontRecord* font);
Status WriteTextElement(OutputBuffer* out, const OutPoint* position, const FontRecord& font,
                        const FillRecord* fill, StrokeRecord* stroke, std::int32_t flags);
Status WriteFontAttributes(OutputBuffer* out, const FontRecord& font, double centreX,
                           double centreY);
Status WriteTextAnchor(OutputBuffer* out, std::int32_t flags);
// Copies `n` bytes of `text` into `output` with "&", "<" and ">" escaped;
// `output` needs room for 5 * n + 1 bytes. The length written.
std::size_t EscapeMarkup(const char* text, std::size_t n, char* output);

// Images.
Status WriteRasterObject(SaveContext* context, VectorObjectDesc* object);
Status WriteEmbeddedImage(OutputBuffer* out, const char* name, const Viewport& rectangle,
                          const char* base64Text);
Status WriteUse(OutputBuffer* out, const char* name);
Status WriteLinkedImage(OutputBuffer* out, const Viewport& rectangle, const char16_t* tempFile);
Status WriteDescription(OutputBuffer* out, const char16_t* text);
// Base64 of `n` bytes without "=" and line breaks, into `output` (room for
// 4 * ((n + 2) / 3) characters and a NUL; the last group is completed with
// zero bits). Returns the count of significant characters.
std::size_t Base64Encode(const std::uint8_t* data, std::size_t n, char* output);

}  // namespace svgflt
