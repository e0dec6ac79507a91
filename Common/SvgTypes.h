// Plain value records of the SVG document model: lengths, angles, viewBox,
// aspect ratio, colours and paints, transforms, path segments and points.
// Every record stays trivially copyable so that element records holding
// them can be zero-filled and freed by one routine. Strings are kernel
// blocks (see Common/KernelMemory.h) owned by the field holding them.
#pragma once

#include <cstdint>
#include <type_traits>

namespace svgflt {

// --- lengths -------------------------------------------------------------

// Unit codes of SvgLength::unit.
inline constexpr int32_t kUnitIn = 0;
inline constexpr int32_t kUnitEm = 1;
inline constexpr int32_t kUnitEx = 2;
inline constexpr int32_t kUnitPx = 3;
inline constexpr int32_t kUnitPc = 4;
inline constexpr int32_t kUnitPt = 5;
inline constexpr int32_t kUnitCm = 6;
inline constexpr int32_t kUnitMm = 7;
inline constexpr int32_t kUnitNone = 8;  // user units; also "%" with isPercent = 1

struct SvgLength {
  int32_t unit;       // kUnit*
  double value;       // the number as written, in that unit
  int32_t isPercent;  // 1 when written with '%'
};

struct SvgNumberPercent {
  double value;
  int32_t isPercent;
};

// Unit codes of SvgAngle::unit.
inline constexpr int32_t kAngleDeg = 0;
inline constexpr int32_t kAngleGrad = 1;
inline constexpr int32_t kAngleRad = 2;

struct SvgAngle {
  double value;
  int32_t unit;  // kAngle*
};

struct SvgViewBox {
  double x;
  double y;
  double width;
  double height;
};

// Align codes of SvgAspectRatio::align, in keyword order.
inline constexpr int32_t kAlignNone = 0;
inline constexpr int32_t kAlignXMinYMin = 1;
inline constexpr int32_t kAlignXMidYMin = 2;
inline constexpr int32_t kAlignXMaxYMin = 3;
inline constexpr int32_t kAlignXMinYMid = 4;
inline constexpr int32_t kAlignXMidYMid = 5;
inline constexpr int32_t kAlignXMaxYMid = 6;
inline constexpr int32_t kAlignXMinYMax = 7;
inline constexpr int32_t kAlignXMidYMax = 8;
inline constexpr int32_t kAlignXMaxYMax = 9;
inline constexpr int32_t kAlignCount = 10;

inline constexpr int32_t kMeet = 0;
inline constexpr int32_t kSlice = 1;

struct SvgAspectRatio {
  int32_t align;        // kAlign*
  int32_t meetOrSlice;  // kMeet or kSlice
};

// --- colours and paints --------------------------------------------------

// SvgColor::colorForm.
inline constexpr int32_t kColorFormHex = 0;   // text holds "#..." as written
inline constexpr int32_t kColorFormRgb = 1;   // red, green, blue hold the components
inline constexpr int32_t kColorFormName = 2;  // text holds the name as written

struct SvgColor {
  SvgNumberPercent red;
  SvgNumberPercent green;
  SvgNumberPercent blue;
  int32_t colorForm;  // kColorForm*
  char* text;         // kernel block or null; for a paint reference, the id
};

// SvgPaint::paintKind.
inline constexpr int32_t kPaintNone = 0;
inline constexpr int32_t kPaintCurrentColor = 1;
inline constexpr int32_t kPaintColor = 2;
inline constexpr int32_t kPaintServer = 3;  // color.text is the referenced id
inline constexpr int32_t kPaintNotGiven = 4;

struct SvgPaint {
  SvgColor color;
  int32_t paintKind;  // kPaint*
};

// --- transforms ----------------------------------------------------------

// An affine matrix: (x, y) maps to (a*x + c*y + e, b*x + d*y + f).
struct SvgMatrix {
  double a;
  double b;
  double c;
  double d;
  double e;
  double f;
};

inline constexpr SvgMatrix kIdentityMatrix{1, 0, 0, 1, 0, 0};

// TransformStep::kind.
inline constexpr int32_t kTransformTranslate = 1;
inline constexpr int32_t kTransformScale = 2;
inline constexpr int32_t kTransformRotate = 3;
inline constexpr int32_t kTransformSkewX = 4;
inline constexpr int32_t kTransformSkewY = 5;
inline constexpr int32_t kTransformMatrix = 6;

struct TranslateParams {
  double tx;
  double ty;
};
struct ScaleParams {
  double sx;
  double sy;
};
struct RotateParams {
  float angle;  // degrees, kept in single precision
  double cx;
  double cy;
};
struct SkewParams {
  double angle;  // degrees
};

// The numbers of one transform function, laid out by kind (48 bytes).
union TransformParams {
  TranslateParams translate;
  ScaleParams scale;
  RotateParams rotate;
  SkewParams skew;
  SvgMatrix matrix;
};

struct TransformStep {
  TransformParams params;
  TransformStep* next;  // null at the end
  int32_t kind;         // kTransform*
};

// The transform functions of one attribute, in written order; first is
// null for an empty list. Owned by the element record.
struct TransformList {
  TransformStep* first;
};

// One entry of the transform stack used during conversion.
struct TransformNode {
  int32_t count;             // set at the push: children of the group still to convert
  int32_t groupId;           // the vector kernel group made for this node (0 = none)
  int32_t groupLayer;        //   and the layer holding it
  int32_t needsGroupObject;  // 1 when a kernel group must be created for the node
  SvgMatrix matrix;
  TransformNode* below;  // null at the bottom
};

// --- path data and points ------------------------------------------------

// PathSegment::type.
inline constexpr int32_t kSegmentMove = 0;
inline constexpr int32_t kSegmentClose = 1;
inline constexpr int32_t kSegmentLine = 2;
inline constexpr int32_t kSegmentCubic = 3;
inline constexpr int32_t kSegmentQuadratic = 4;
inline constexpr int32_t kSegmentArc = 5;

struct PathMoveParams {
  double x;
  double y;
};
// Lines (L, H, V); close segments that carry numbers use x and y here too.
struct PathLineParams {
  int32_t vertical;    // 1 for V: x stays 0
  int32_t horizontal;  // 1 for H: y stays 0
  double x;
  double y;
};
struct PathCubicParams {
  int32_t smooth;  // 1 for S: x1, y1 stay 0 (derived from the previous segment)
  double x;
  double y;
  double x1;
  double y1;
  double x2;
  double y2;
};
struct PathQuadraticParams {
  int32_t smooth;  // 1 for T: x1, y1 stay 0
  double x;
  double y;
  double x1;
  double y1;
};
struct PathArcParams {
  int32_t sweep;     // 0 or 1
  int32_t largeArc;  // 0 or 1
  double x;
  double y;
  double rx;
  double ry;
  double rotation;  // degrees
};

union PathSegmentParams {
  PathMoveParams move;
  PathLineParams line;
  PathCubicParams cubic;
  PathQuadraticParams quadratic;
  PathArcParams arc;
};

// One drawing command instance; relative values are stored as written.
struct PathSegment {
  int32_t relative;  // 1 for a lower-case command letter
  PathSegmentParams params;
  int32_t type;  // kSegment*
};

struct PathSegmentList {
  int32_t count;
  PathSegment* segments;  // kernel block, owned by the element record
};

struct SvgPoint {
  double x;
  double y;
};

struct PointList {
  int32_t count;
  SvgPoint* points;  // kernel block, owned by the element record
};

static_assert(std::is_trivially_copyable_v<SvgLength>);
static_assert(std::is_trivially_copyable_v<SvgNumberPercent>);
static_assert(std::is_trivially_copyable_v<SvgAngle>);
static_assert(std::is_trivially_copyable_v<SvgViewBox>);
static_assert(std::is_trivially_copyable_v<SvgAspectRatio>);
static_assert(std::is_trivially_copyable_v<SvgColor>);
static_assert(std::is_trivially_copyable_v<SvgPaint>);
static_assert(std::is_trivially_copyable_v<SvgMatrix>);
static_assert(std::is_trivially_copyable_v<TransformStep>);
static_assert(std::is_trivially_copyable_v<TransformList>);
static_assert(std::is_trivially_copyable_v<TransformNode>);
static_assert(std::is_trivially_copyable_v<PathSegment>);
static_assert(std::is_trivially_copyable_v<PathSegmentList>);
static_assert(std::is_trivially_copyable_v<PointList>);
static_assert(sizeof(TransformParams) == 48, "six doubles of a matrix");

}  // namespace svgflt
