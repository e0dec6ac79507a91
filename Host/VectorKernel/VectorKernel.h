/*
 * The vector kernel: the host toolkit's vector-document library.
 * Status 1 is success; anything else is an error the caller passes on.
 * Negative codes of this kernel: -1 no memory, -13 bad argument,
 * -100 unknown object, -101 unsupported object type, -102 operation failed.
 */
#ifndef SVGFILTER_VECTOR_KERNEL_H
#define SVGFILTER_VECTOR_KERNEL_H

#include "VectorObjects.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VK_API __declspec(dllexport)
#else
#define VK_API __attribute__((visibility("default")))
#endif

enum {
  kVkOk = 1,
  kVkErrNoMemory = -1,
  kVkErrArgument = -13,
  kVkErrNoObject = -100,
  kVkErrUnsupported = -101,
  kVkErrFailed = -102
};

typedef struct DrawingContext DrawingContext; /* imaging kernel's drawing context */

typedef int32_t VectorObjectRef; /* object id, 1-based; 0 = none */
typedef int32_t VectorLayerRef;  /* layer id, 1-based */
typedef struct VectorGroupRef {
  int32_t group; /* group id, 1-based; 0 = none */
  int32_t layer; /* the layer holding it */
} VectorGroupRef;

/* Group description: 136 bytes. */
typedef struct VectorGroupDesc {
  int32_t size;          /* 136 */
  char16_t name[64];     /* "My Group" */
  int32_t reserved;
} VectorGroupDesc;

/* Layer description: 144 bytes. */
typedef struct VectorLayerDesc {
  int32_t size;          /* 144 */
  char16_t name[64];     /* "0" */
  int32_t reserved[2];
  int32_t visible;       /* the word at its end: 1 */
} VectorLayerDesc;

/* Document state record. The load side sets `clipMode` (the fifth field)
 * to 5 after an element that opened a clip. */
typedef struct VectorState {
  int32_t size;          /* 32 */
  int32_t reserved[3];
  int32_t clipMode;      /* fifth 32-bit field */
  int32_t reserved2[3];
} VectorState;

/* Link record: 536 bytes. */
typedef struct VectorLinkRecord {
  int32_t size;          /* 536 */
  int32_t kind;          /* 0 */
  char16_t text[260];    /* NUL-terminated, cut to 259 units */
  int32_t reserved[2];
} VectorLinkRecord;

/* Units record: the unit code is the second field. Codes: 0 inch, 1 foot,
 * 2 yard, 3 mile, 4 micrometre, 5 millimetre, 6 centimetre, 7 metre,
 * 8 kilometre, 9 twip; any other (the default 10) is a pixel. */
typedef struct VectorUnits {
  int32_t size;
  int32_t unit;
  int32_t reserved[2];
} VectorUnits;

/* Growable list of fixed-size entries kept during a conversion. */
typedef struct VectorObjectList {
  uint8_t* data;
  int32_t count;
  int32_t capacity;
  int32_t elementSize;
  int32_t growth;
  uint32_t tag;
} VectorObjectList;

/* Three doubles: rotation angles, scale factors or an offset. */
typedef struct VectorTriple {
  double x, y, z;
} VectorTriple;

/* Pen and brush values as the save side reads them. */
typedef struct VectorPenValues {
  uint32_t style;
  int32_t width;
  uint32_t colour;
} VectorPenValues;
typedef struct VectorBrushValues {
  int32_t style;   /* kBrushSolid, kBrushHollow, kBrushHatched */
  uint32_t colour;
  int32_t hatch;
} VectorBrushValues;

/* Enumeration: the handle names one object of the document. */
typedef struct VectorObjectHandle {
  VectorObjectRef id;
  int32_t type;
} VectorObjectHandle;
typedef int32_t (*VectorEnumCallback)(VectorDocument* document,
                                      const VectorObjectHandle* object, void* userData);

/* --- document --- */
VK_API int32_t VectorInit(VectorDocument* document);
VK_API int32_t VectorFree(VectorDocument* document);
VK_API int32_t VectorSetOption(VectorDocument* document, int32_t value);
/* mode 0: the largest size with the drawing's aspect ratio that fits the
 * width x height box; 2: width given, height follows; 3: height given,
 * width follows. */
VK_API int32_t VectorComputeSize(VectorDocument* document, int32_t mode, int32_t* width,
                                 int32_t* height);
VK_API int32_t VectorSetPan(VectorDocument* document, const KernelPoint* pan);
VK_API int32_t VectorApplyView(VectorDocument* document, int32_t flag);
VK_API int32_t VectorFinishView(VectorDocument* document, int32_t a, int32_t b);
VK_API int32_t VectorCommitView(VectorDocument* document, int32_t a);
VK_API int32_t VectorGetState(VectorDocument* document, VectorState* state);
VK_API int32_t VectorSetState(VectorDocument* document, const VectorState* state);
VK_API int32_t VectorGetExtent(VectorDocument* document, KernelPoint* lower, KernelPoint* upper);
VK_API int32_t VectorGetUnits(VectorDocument* document, VectorUnits* units);
VK_API int32_t VectorSetUnits(VectorDocument* document, int32_t unit);

/* --- layers and groups --- */
VK_API int32_t VectorAddLayer(VectorDocument* document, const VectorLayerDesc* desc,
                              VectorLayerRef* layer, int32_t flag);
VK_API int32_t VectorSetActiveLayer(VectorDocument* document, VectorLayerRef layer);
VK_API int32_t VectorAddGroup(VectorDocument* document, const VectorGroupDesc* desc,
                              VectorGroupRef* group, int32_t flag);

/* --- objects ---
 * VectorInitObject fills a record of the given type with the kernel's
 * defaults (size and type set, solid black 1-unit pen, solid white brush,
 * everything else zero). The record's arrays and strings are copied by
 * VectorAdd...; the caller keeps ownership of what it passed. */
VK_API int32_t VectorInitObject(void* record, int32_t type);
VK_API int32_t VectorAddObject(VectorDocument* document, int32_t reserved, int32_t type,
                               const void* record, VectorObjectRef* object);
VK_API int32_t VectorAddObjectToGroup(VectorDocument* document, VectorGroupRef group,
                                      int32_t type, const void* record,
                                      VectorObjectRef* object);
VK_API int32_t VectorSetLink(VectorDocument* document, VectorObjectRef object,
                             const VectorLinkRecord* link);
/* The outline clips every object added after it until a type-13 object
 * flagged kVoFlagClipEnd. Stored as a type-16 object. */
VK_API int32_t VectorSetClip(VectorDocument* document, const VectorPointPath* outline);
VK_API int32_t VectorGetObjectExtent(VectorDocument* document, VectorObjectRef object,
                                     KernelPoint* lower, KernelPoint* upper);
/* Rotation by angles.z degrees (counter-clockwise, y up) about the object's
 * centre; a raster object keeps the angle to paint its bitmap turned. */
VK_API int32_t VectorObjectRotate(VectorDocument* document, const VectorTriple* angles,
                                  VectorObjectRef object);
/* Scale by (x, y) about `centre`, or about the object's centre when null. */
VK_API int32_t VectorObjectScale(VectorDocument* document, const VectorTriple* factors,
                                 VectorObjectRef object, const KernelPoint* centre);
VK_API int32_t VectorObjectMove(VectorDocument* document, const VectorTriple* offset,
                                VectorObjectRef object);

/* --- geometry ---
 * VectorCopyObject turns a circle, ellipse, arc, pie, text, spline or
 * Bezier record into a point path whose arrays the kernel allocates;
 * VectorFreeObject releases them and clears the record. */
VK_API int32_t VectorCopyObject(const void* record, VectorPointPath* path);
VK_API int32_t VectorFreeObject(VectorPointPath* path);
VK_API int32_t VectorConvertToPath(VectorDocument* document, const void* record,
                                   VectorPointPath* path);

/* --- kernel object list --- */
VK_API int32_t VectorObjectListInit(VectorObjectList* list, int32_t elementSize,
                                    int32_t growth, uint32_t tag);
VK_API int32_t VectorObjectListAppend(VectorObjectList* list, const void* entry,
                                      int32_t elementSize);
VK_API int32_t VectorObjectListFree(VectorObjectList* list);

/* --- save side --- */
VK_API int32_t VectorEnumObjects(VectorDocument* document, VectorEnumCallback callback,
                                 void* userData, int32_t flags);
VK_API int32_t VectorGetObject(VectorDocument* document, const VectorObjectHandle* object,
                               int32_t type, VectorObjectDesc* desc);
VK_API int32_t VectorFreeObjectData(int32_t type, VectorObjectDesc* desc);
VK_API int32_t VectorGetPen(const VectorPen* pen, VectorPenValues* values);
VK_API int32_t VectorGetBrush(const VectorBrush* brush, VectorBrushValues* values);
VK_API int32_t VectorGetLink(VectorDocument* document, VectorObjectRef object,
                             VectorLinkRecord* link);
VK_API int32_t VectorObjectCount(VectorDocument* document);

/* --- painting --- */
VK_API int32_t VectorPaint(DrawingContext* context, VectorDocument* document, int32_t flag);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SVGFILTER_VECTOR_KERNEL_H */
