/*
 * Object records of the vector kernel: what the filter hands to
 * VectorAddObject on load and what VectorGetObject describes on save.
 *
 * Same layout rule as the host records (include/svgfilter/HostRecords.h):
 * on the 32-bit host each field sits at the byte offset beside it and the
 * record has the size in its comment; on 64-bit the order is kept with
 * natural widths. Every record begins with its own size and its type.
 */
#ifndef SVGFILTER_VECTOR_OBJECTS_H
#define SVGFILTER_VECTOR_OBJECTS_H

#include "svgfilter/HostRecords.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Object type codes, in the kernel's numbering. */
enum VectorObjectType {
  kVoPoint = 1,
  kVoLine = 2,
  kVoRect = 3,
  kVoPolyline = 4,
  kVoBezier = 5,        /* one cubic: four points */
  kVoPolygon = 6,
  kVoEllipse = 7,
  kVoCircle = 8,
  kVoPolyBezier = 9,    /* open poly-Bezier: 1 + 3n points */
  kVoArc = 10,          /* open elliptical arc */
  kVoClosedBezier = 11, /* closed poly-Bezier */
  kVoPie = 12,          /* closed elliptical arc (pie slice) */
  kVoPath = 13,         /* point path with GDI PolyDraw point kinds */
  kVoText = 14,
  kVoRaster = 15,
  kVoClip = 16,         /* clip outline set by VectorSetClip; never written */
  kVoGroupObject = 17,  /* group object; never written */
  kVoSpline = 18,       /* open Catmull-Rom spline through its points */
  kVoClosedSpline = 19  /* closed Catmull-Rom spline */
};

/* Point kinds of a point path (GDI PolyDraw). */
enum {
  kPtCloseFigure = 0x01,
  kPtLineTo = 0x02,
  kPtBezierTo = 0x04,
  kPtMoveTo = 0x06
};

/* Flags word of the common header (byte 24). */
enum {
  kVoFlagHidden = 2,       /* not painted */
  kVoFlagClipEnd = 0x10,   /* type 13: ends the clip opened before it */
  kVoFlagAlpha = 32        /* type 15: the bitmap has 32 bits per pixel */
};

/* Pen style word: GDI layout. */
enum {
  kPenSolid = 0, kPenDash = 1, kPenDot = 2, kPenDashDot = 3, kPenDashDotDot = 4,
  kPenNull = 5,
  kPenStyleMask = 0x0F,
  kPenCapRound = 0x000, kPenCapSquare = 0x100, kPenCapFlat = 0x200, kPenCapMask = 0xF00,
  kPenJoinRound = 0x0000, kPenJoinBevel = 0x1000, kPenJoinMiter = 0x2000,
  kPenJoinMask = 0xF000
};

/* Brush styles (plain brush, w0 = 224). */
enum { kBrushSolid = 0, kBrushHollow = 1, kBrushHatched = 2 };
/* Two-colour brush marker (w0). */
enum { kBrushTwoColour = 16, kBrushPlainSize = 224 };
/* Hatch indices (GDI). */
enum {
  kHatchHorizontal = 0, kHatchVertical = 1, kHatchForwardDiagonal = 2,
  kHatchBackwardDiagonal = 3, kHatchCross = 4, kHatchDiagonalCross = 5
};
/* Polygon fill modes and the path's fill-rule word. */
enum { kFillAlternate = 1, kFillWinding = 2 };

/* Pen record: 64 bytes. */
typedef struct VectorPen {
  int32_t size;      /* 0x00: 64 */
  uint32_t style;    /* 0x04: dash kind | cap | join, see above */
  int32_t width;     /* 0x08: in document units (the load side stores half
                        the SVG stroke width; see the painter) */
  uint32_t colour;   /* 0x0C: 0x00BBGGRR */
  int32_t reserved[12];
} VectorPen;

/* Brush record: 224 bytes, six meaningful words.
 * Plain brush:      w0 = 224, w1 = 0, w2 = style, w3 = colour, w4 = hatch index.
 * Two-colour brush: w0 = 16,  w1 = 2, w2 = first colour, w3 = second colour,
 *                   w4 = 255, w5 = direction code (0-7 linear, 29, 30 radial). */
typedef struct VectorBrush {
  int32_t w[6];
  int32_t reserved[50];
} VectorBrush;

/* Header of every object record: 32 bytes. */
typedef struct VectorObjectHeader {
  int32_t size;     /* 0x00 */
  int32_t type;     /* 0x04 */
  int32_t id;       /* 0x08: set by the kernel in descriptions */
  int32_t layer;    /* 0x0C: set by the kernel in descriptions */
  int32_t group;    /* 0x10: set by the kernel in descriptions, 0 = none */
  int32_t reserved14;
  uint32_t flags;   /* 0x18: kVoFlag... */
  int32_t fillRule; /* 0x1C: type 13: kFillAlternate or kFillWinding (0 = winding) */
} VectorObjectHeader;

typedef struct VectorPointObject {  /* type 1: 124 bytes */
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  KernelPoint point;   /* 0x60 */
} VectorPointObject;

typedef struct VectorLineObject {   /* type 2: 152 bytes */
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  KernelPoint from;    /* 0x60 */
  KernelPoint to;      /* 0x7C */
} VectorLineObject;

typedef struct VectorRectObject {   /* type 3: 376 bytes */
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  VectorBrush brush;   /* 0x60 */
  KernelPoint corner1; /* 0x140 */
  KernelPoint corner2; /* 0x15C */
} VectorRectObject;

/* Types 4 (polyline), 5 (Bezier), 9 (poly-Bezier), 18 (spline): 104 bytes. */
typedef struct VectorPolylineObject {
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  int32_t count;       /* 0x60 */
  KernelPoint* points; /* 0x64 */
} VectorPolylineObject;

/* Types 6 (polygon), 11 (closed poly-Bezier), 19 (closed spline): 332 bytes. */
typedef struct VectorPolygonObject {
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  VectorBrush brush;   /* 0x60 */
  int32_t count;       /* 0x140 */
  KernelPoint* points; /* 0x144 */
  int32_t fillMode;    /* 0x148: kFillAlternate or kFillWinding */
} VectorPolygonObject;

typedef struct VectorEllipseObject { /* type 7: 364 bytes */
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  VectorBrush brush;   /* 0x60 */
  KernelPoint centre;  /* 0x140 */
  double rx;           /* 0x15C */
  double ry;           /* 0x164 */
} VectorEllipseObject;

typedef struct VectorCircleObject {  /* type 8: 356 bytes */
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  VectorBrush brush;   /* 0x60 */
  KernelPoint centre;  /* 0x140 */
  double r;            /* 0x15C */
} VectorCircleObject;

/* Type 10 (open arc): 156 bytes. Angles in degrees, counter-clockwise in
 * the kernel's y-up space; the arc runs from `start` over `extent` (negative
 * extent: clockwise) on the ellipse (rx, ry) turned by `rotation`. */
typedef struct VectorArcObject {
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  KernelPoint centre;  /* 0x60 */
  double rx;           /* 0x7C */
  double ry;           /* 0x84 */
  float start;         /* 0x8C */
  float extent;        /* 0x90 */
  float rotation;      /* 0x94 */
  int32_t reserved98;  /* 0x98 */
} VectorArcObject;

/* Type 12 (pie, closed arc): the arc fields after a brush. */
typedef struct VectorPieObject {
  VectorObjectHeader h;
  VectorPen pen;
  VectorBrush brush;
  KernelPoint centre;
  double rx;
  double ry;
  float start;
  float extent;
  float rotation;
  int32_t reserved;
} VectorPieObject;

/* Type 13 (point path): 332 bytes. */
typedef struct VectorPathObject {
  VectorObjectHeader h;
  VectorPen pen;       /* 0x20 */
  VectorBrush brush;   /* 0x60 */
  int32_t count;       /* 0x140 */
  KernelPoint* points; /* 0x144 */
  uint8_t* kinds;      /* 0x148: one kPt... byte per point */
} VectorPathObject;

/* Windows LOGFONTW: 92 bytes. */
typedef struct VectorLogFont {
  int32_t height;
  int32_t width;
  int32_t escapement;  /* tenths of a degree, counter-clockwise */
  int32_t orientation;
  int32_t weight;      /* 400 normal, 700 bold */
  uint8_t italic;
  uint8_t underline;
  uint8_t strikeOut;
  uint8_t charSet;
  uint8_t outPrecision;
  uint8_t clipPrecision;
  uint8_t quality;
  uint8_t pitchAndFamily;
  char16_t faceName[32];
} VectorLogFont;

/* Text alignment word (type 14): bits 0-1 horizontal (0 start, 1 end,
 * 2 middle), bit 3 vertical centring. */
enum { kAlignStart = 0, kAlignEnd = 1, kAlignMiddle = 2, kAlignHorizontalMask = 3,
       kAlignVerticalCentre = 8 };

typedef struct VectorTextObject {   /* type 14: 468 bytes */
  VectorObjectHeader h;
  VectorPen pen;           /* 0x20 */
  VectorBrush brush;       /* 0x60 */
  KernelPoint position;    /* 0x140: baseline start (y up) */
  const char16_t* text;    /* 0x15C: NUL-terminated UTF-16 */
  double fontSize;         /* 0x160: height in document units */
  int32_t alignment;       /* 0x168 */
  int32_t escapement;      /* 0x16C: tenths of a degree, counter-clockwise */
  VectorLogFont font;      /* 0x170 */
  int32_t reserved1CC[2];  /* 0x1CC .. 0x1D4 */
} VectorTextObject;

typedef struct VectorRasterObject { /* type 15: 308 bytes */
  VectorObjectHeader h;    /* flags: kVoFlagAlpha for 32-bit bitmaps */
  KernelPoint corner1;     /* 0x20 */
  KernelPoint corner2;     /* 0x3C */
  int32_t value58;         /* 0x58: 220 */
  BitmapRecord bitmap;     /* 0x5C */
} VectorRasterObject;

/* Type 16: a clip outline (made by VectorSetClip, read back by descriptions). */
typedef struct VectorClipObject {
  VectorObjectHeader h;
  int32_t count;
  KernelPoint* points;
  uint8_t* kinds;
} VectorClipObject;

typedef struct VectorGroupObject {  /* type 17: 416 bytes */
  VectorObjectHeader h;
  KernelPoint reserved20;  /* 0x20 */
  int32_t group;           /* 0x3C: group reference (VectorGroupRef.group) */
  int32_t layer;           /* 0x40: its layer (VectorGroupRef.layer) */
  uint32_t groupFlags;     /* 0x44: bit 8 set by the filter */
  int32_t reserved48[72];  /* 0x48 .. 0x168 */
  double scale[3];         /* 0x168: 1.0 each */
  int32_t reserved180[8];  /* 0x180 .. 0x1A0 */
} VectorGroupObject;

/* Any object record; what VectorGetObject fills. */
typedef union VectorObjectDesc {
  VectorObjectHeader h;
  VectorPointObject point;
  VectorLineObject line;
  VectorRectObject rect;
  VectorPolylineObject polyline;
  VectorPolygonObject polygon;
  VectorEllipseObject ellipse;
  VectorCircleObject circle;
  VectorArcObject arc;
  VectorPieObject pie;
  VectorPathObject path;
  VectorTextObject text;
  VectorRasterObject raster;
  VectorClipObject clip;
  VectorGroupObject groupObject;
} VectorObjectDesc;

/* A point path: 12 bytes on the 32-bit host. */
typedef struct VectorPointPath {
  int32_t count;
  KernelPoint* points;
  uint8_t* kinds;
} VectorPointPath;

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus) && UINTPTR_MAX == 0xFFFFFFFFu
#define SVGFLT_CHECK(rec, field, off) static_assert(offsetof(rec, field) == (off), #rec "." #field)
static_assert(sizeof(VectorPen) == 64, "pen");
static_assert(sizeof(VectorBrush) == 224, "brush");
static_assert(sizeof(VectorObjectHeader) == 32, "header");
SVGFLT_CHECK(VectorObjectHeader, flags, 24);
static_assert(sizeof(VectorLineObject) == 152, "line");
static_assert(sizeof(VectorRectObject) == 376, "rect");
static_assert(sizeof(VectorPolylineObject) == 104, "polyline");
static_assert(sizeof(VectorPolygonObject) == 332, "polygon");
static_assert(sizeof(VectorEllipseObject) == 364, "ellipse");
static_assert(sizeof(VectorCircleObject) == 356, "circle");
static_assert(sizeof(VectorArcObject) == 156, "arc");
static_assert(sizeof(VectorPathObject) == 332, "path");
static_assert(sizeof(VectorLogFont) == 92, "LOGFONTW");
static_assert(sizeof(VectorTextObject) == 468, "text");
static_assert(sizeof(VectorRasterObject) == 308, "raster");
SVGFLT_CHECK(VectorRasterObject, corner1, 32);
SVGFLT_CHECK(VectorRasterObject, corner2, 60);
SVGFLT_CHECK(VectorRasterObject, value58, 88);
SVGFLT_CHECK(VectorRasterObject, bitmap, 92);
static_assert(sizeof(VectorGroupObject) == 416, "group object");
SVGFLT_CHECK(VectorGroupObject, group, 60);
SVGFLT_CHECK(VectorGroupObject, layer, 64);
SVGFLT_CHECK(VectorGroupObject, groupFlags, 68);
SVGFLT_CHECK(VectorGroupObject, scale, 360);
SVGFLT_CHECK(VectorPathObject, pen.style, 36);
static_assert(sizeof(VectorPointPath) == 12, "point path");
#undef SVGFLT_CHECK
#endif

#endif /* SVGFILTER_VECTOR_OBJECTS_H */
