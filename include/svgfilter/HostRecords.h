/*
 * Host records shared by the SVG filter module, the host imaging toolkit and
 * its two libraries (imaging kernel, vector kernel).
 *
 * Layout rule. The host toolkit is a 32-bit process: there every field below
 * sits at the byte offset written beside it and each record has the size
 * given in its comment; static assertions check this whenever pointers are
 * 4 bytes wide. On a 64-bit target the same fields keep the same order, but
 * pointers are 8 bytes and take their natural alignment, so every offset
 * after the first pointer of a record moves. Code must therefore never use
 * literal offsets: it uses the field names and sizeof(). The reserved
 * arrays hold the 32-bit gaps between the fields this system uses.
 *
 * Strings handed across are NUL-terminated UTF-16 (char16_t).
 * Colours are 0x00BBGGRR (red in the lowest byte).
 */
#ifndef SVGFILTER_HOST_RECORDS_H
#define SVGFILTER_HOST_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A point of the vector kernel: 28 bytes on the 32-bit host (doubles are
 * 4-byte aligned inside records there), 32 bytes on 64-bit. */
typedef struct KernelPoint {
  double x; /* 0x00 */
  double y; /* 0x08 */
  double z; /* 0x10 */
  int32_t word; /* 0x18: kernel use (point kind or flags), 0 when unused */
} KernelPoint;

typedef struct KernelRect {
  int32_t left, top, right, bottom;
} KernelRect;

/* The imaging kernel's bitmap record: 216 bytes. Rows are stored top-down,
 * each padded to 4 bytes; 24-bit pixels are B, G, R; 32-bit pixels B, G, R, A
 * (alpha not premultiplied); 8, 4 and 1 bit per pixel index `palette`. */
typedef struct BitmapRecord {
  int32_t recordSize;   /* 0x000: 216 */
  int32_t reserved004;  /* 0x004 */
  int32_t reserved008;  /* 0x008 */
  int32_t width;        /* 0x00C: pixels */
  int32_t height;       /* 0x010: rows */
  int32_t bitsPerPixel; /* 0x014: 1, 4, 8, 24 or 32 */
  int32_t bytesPerRow;  /* 0x018 */
  uint8_t* bits;        /* 0x01C: image memory, null until AllocateBitmap */
  int32_t imageSize;    /* 0x020: bytesPerRow * height */
  int32_t accessCount;  /* 0x024: AccessBitmap nesting */
  int32_t paletteCount; /* 0x028: first palette field: number of entries */
  uint32_t* palette;    /* 0x02C: second palette field: 0x00BBGGRR entries */
  int32_t allocKind;    /* 0x030: kind given to AllocateBitmap, 0 when none */
  int32_t layout;       /* 0x034: layout word (0 = top-down rows) */
  int32_t reserved038[4]; /* 0x038 */
  int32_t xResolution;  /* 0x048: dots per inch */
  int32_t yResolution;  /* 0x04C */
  int32_t reserved050[34]; /* 0x050 .. 0x0D8 */
} BitmapRecord;

/* The vector kernel's document record: 956 bytes. */
typedef struct VectorDocument {
  void* impl;                /* 0x000: the kernel's own document, set by VectorInit */
  int32_t reserved004[3];    /* 0x004 */
  KernelRect paintRect;      /* 0x010: where VectorPaint draws, device pixels */
  int32_t reserved020[121];  /* 0x020 .. 0x204 */
  int32_t paintOption;       /* 0x204 */
  int32_t reserved208[8];    /* 0x208 .. 0x228 */
  KernelPoint lowerBound;    /* 0x228: lower-left of all objects (y up) */
  KernelPoint upperBound;    /* 0x244: upper-right */
  int32_t reserved260[81];   /* 0x260 .. 0x3A4 */
  uint32_t flags;            /* 0x3A4 */
  int32_t reserved3A8[5];    /* 0x3A8 .. 0x3BC */
} VectorDocument;

/* The filter's own record handed to the host through a FilterScratch. */
typedef struct VectorHolder {
  VectorDocument* document; /* 0x000 */
  int32_t owned;            /* 0x004: 1 = the filter created the document */
} VectorHolder;

/* The host's scratch record; the filter uses only the slot at 0x00C. */
typedef struct FilterScratch {
  int32_t reserved000[3];   /* 0x000 */
  VectorHolder* holder;     /* 0x00C */
  int32_t reserved010[4];   /* 0x010 .. 0x020 */
} FilterScratch;

/* A record whose fields at 0x004 and 0x008 give a resolution. */
typedef struct ResolutionRecord {
  int32_t reserved000;
  int32_t horizontal; /* 0x004: dots per inch */
  int32_t vertical;   /* 0x008 */
} ResolutionRecord;

/* Host callbacks. Each returns 1 on success. */
typedef int32_t (*RowCallback)(void* hostArg, BitmapRecord* target, uint8_t* row,
                               int32_t flags, int32_t rowNumber, int32_t lineCount,
                               void* userData);
/* (data, bitmap, 216, 0, 1, byteCount) */
typedef int32_t (*LoadRasterFromMemoryFn)(const void* data, BitmapRecord* bitmap,
                                          int32_t recordSize, int32_t a, int32_t b,
                                          int32_t byteCount);
/* The InfoRequest's variant takes two further zero arguments. */
typedef int32_t (*InfoLoadRasterFromMemoryFn)(const void* data, BitmapRecord* bitmap,
                                              int32_t recordSize, int32_t a, int32_t b,
                                              int32_t byteCount, int32_t c, int32_t d);
/* (fileName, bitmap, 216, 0, 1, 0, 0) */
typedef int32_t (*LoadRasterFromFileFn)(const char16_t* fileName, BitmapRecord* bitmap,
                                        int32_t recordSize, int32_t a, int32_t b,
                                        int32_t c, int32_t d);
/* (movable memory handle out, bitmap, 75 = PNG, 0, 0, byte count out, 0) */
typedef int32_t (*ExportToMemoryFn)(void** handle, const BitmapRecord* bitmap,
                                    int32_t format, int32_t a, int32_t b,
                                    int32_t* byteCount, int32_t c);
/* (fileName, bitmap, 75 = PNG, 24 bits per pixel, 0, 0) */
typedef int32_t (*ExportToFileFn)(const char16_t* fileName, const BitmapRecord* bitmap,
                                  int32_t format, int32_t bitsPerPixel, int32_t a,
                                  int32_t b);

enum { kFormatPng = 75, kFormatCodeSvg = 247, kSaveFormatEmbedImages = 289 };

typedef struct FileInfo {
  int32_t reserved000;       /* 0x000 */
  int32_t formatCode;        /* 0x004: 247 */
  int32_t reserved008[256];  /* 0x008 .. 0x408 */
  int32_t width;             /* 0x408 */
  int32_t height;            /* 0x40C */
  int32_t bitsPerPixel;      /* 0x410 */
  int32_t reserved414;       /* 0x414 */
  int32_t imageSize;         /* 0x418 */
  int32_t reserved41C[10];   /* 0x41C .. 0x444 */
  int32_t value444;          /* 0x444: 4 */
  int32_t value448;          /* 0x448: 1 */
  int32_t reserved44C[2];    /* 0x44C .. 0x454 */
  int32_t xResolution;       /* 0x454 */
  int32_t yResolution;       /* 0x458 */
  int32_t reserved45C[271];  /* 0x45C .. 0x898 */
  int32_t isVector;          /* 0x898: 1 when the conversion succeeded */
  int32_t value89C;          /* 0x89C: 64 */
  KernelPoint lowerBound;    /* 0x8A0 */
  KernelPoint upperBound;    /* 0x8BC */
  int32_t value8D8;          /* 0x8D8: -1 */
  int32_t reserved8DC;       /* 0x8DC .. 0x8E0 */
} FileInfo;

typedef struct InfoRequest {
  int32_t reserved000[2];          /* 0x000 */
  int32_t file;                    /* 0x008: imaging-kernel file handle */
  FileInfo* fileInfo;              /* 0x00C */
  FilterScratch* scratch;          /* 0x010: may be null */
  int32_t reserved014[4];          /* 0x014 .. 0x024 */
  ResolutionRecord* resolution;    /* 0x024 */
  int32_t reserved028[6];          /* 0x028 .. 0x040 */
  VectorDocument* document;        /* 0x040: may be null */
  int32_t reserved044[258];        /* 0x044 .. 0x44C */
  int32_t width;                   /* 0x44C: < 1 means 640 */
  int32_t height;                  /* 0x450: < 1 means 480 */
  int32_t sizeMode;                /* 0x454 */
  int32_t bitsPerPixel;            /* 0x458: < 1 means 24 */
  int32_t setOption;               /* 0x45C */
  int32_t optionValue;             /* 0x460 */
  int32_t reserved464[239];        /* 0x464 .. 0x820 */
  InfoLoadRasterFromMemoryFn loadFromMemory; /* 0x820 */
  int32_t reserved824[3];          /* 0x824 .. 0x830 */
} InfoRequest;

typedef struct LoadRequest {
  const char16_t* fileName;        /* 0x000 */
  BitmapRecord* target;            /* 0x004: may be null */
  int32_t reserved008;             /* 0x008 */
  RowCallback rowCallback;         /* 0x00C */
  void* userData;                  /* 0x010 */
  int32_t reserved014[7];          /* 0x014 .. 0x030 */
  int32_t width;                   /* 0x030 */
  int32_t height;                  /* 0x034 */
  void* callbackArg;               /* 0x038: first argument of the RowCallback */
  FilterScratch* scratch;          /* 0x03C: may be null */
  int32_t reserved040[6];          /* 0x040 .. 0x058 */
  int32_t paintOption;             /* 0x058 */
  VectorDocument* document;        /* 0x05C: mode 1 */
  int32_t reserved060[206];        /* 0x060 .. 0x398 */
  LoadRasterFromMemoryFn loadFromMemory; /* 0x398 */
  LoadRasterFromFileFn loadFromFile;     /* 0x39C */
  int32_t reserved3A0[276];        /* 0x3A0 .. 0x7F0 */
  int32_t mode;                    /* 0x7F0: 0 raster, 1 vector */
  int32_t reserved7F4[3];          /* 0x7F4 .. 0x800 */
  ResolutionRecord* resolution;    /* 0x800 */
  int32_t reserved804[59];         /* 0x804 .. 0x8F0 */
  int32_t setOption;               /* 0x8F0 */
  int32_t optionValue;             /* 0x8F4 */
  int32_t reserved8F8[2];          /* 0x8F8 .. 0x900 */
} LoadRequest;

typedef struct SaveRequest {
  const char16_t* fileName;        /* 0x000 */
  int32_t reserved004[2];          /* 0x004 .. 0x00C */
  int32_t saveFormat;              /* 0x00C: 289 embeds images */
  int32_t reserved010[12];         /* 0x010 .. 0x040 */
  int32_t mode;                    /* 0x040: must be 1 */
  int32_t reserved044[2];          /* 0x044 .. 0x04C */
  VectorDocument* document;        /* 0x04C */
  int32_t reserved050[205];        /* 0x050 .. 0x384 */
  ExportToMemoryFn exportToMemory; /* 0x384 */
  int32_t reserved388;             /* 0x388 */
  ExportToFileFn exportToFile;     /* 0x38C */
  int32_t reserved390[4];          /* 0x390 .. 0x3A0 */
} SaveRequest;

/* The module's exports. */
#if defined(_WIN32)
#define SVGFLT_EXPORT __declspec(dllexport)
#else
#define SVGFLT_EXPORT __attribute__((visibility("default")))
#endif

SVGFLT_EXPORT int32_t fltInfo(InfoRequest* request);
SVGFLT_EXPORT int32_t fltLoad(LoadRequest* request);
SVGFLT_EXPORT int32_t fltSave(SaveRequest* request);
SVGFLT_EXPORT int32_t fltFreeData(void* data, int32_t flag);

typedef int32_t (*FltInfoFn)(InfoRequest*);
typedef int32_t (*FltLoadFn)(LoadRequest*);
typedef int32_t (*FltSaveFn)(SaveRequest*);
typedef int32_t (*FltFreeDataFn)(void*, int32_t);

#ifdef __cplusplus
} /* extern "C" */
#endif

#if defined(__cplusplus) && UINTPTR_MAX == 0xFFFFFFFFu
#define SVGFLT_CHECK(rec, field, off) static_assert(offsetof(rec, field) == (off), #rec "." #field)
static_assert(sizeof(KernelPoint) == 28, "KernelPoint");
static_assert(sizeof(BitmapRecord) == 216, "BitmapRecord");
SVGFLT_CHECK(BitmapRecord, height, 0x010);
SVGFLT_CHECK(BitmapRecord, bitsPerPixel, 0x014);
SVGFLT_CHECK(BitmapRecord, bytesPerRow, 0x018);
SVGFLT_CHECK(BitmapRecord, paletteCount, 0x028);
SVGFLT_CHECK(BitmapRecord, palette, 0x02C);
SVGFLT_CHECK(BitmapRecord, layout, 0x034);
SVGFLT_CHECK(BitmapRecord, xResolution, 0x048);
SVGFLT_CHECK(BitmapRecord, yResolution, 0x04C);
static_assert(sizeof(VectorDocument) == 956, "VectorDocument");
SVGFLT_CHECK(VectorDocument, paintRect, 0x010);
SVGFLT_CHECK(VectorDocument, paintOption, 0x204);
SVGFLT_CHECK(VectorDocument, lowerBound, 0x228);
SVGFLT_CHECK(VectorDocument, upperBound, 0x244);
SVGFLT_CHECK(VectorDocument, flags, 0x3A4);
static_assert(sizeof(VectorHolder) == 8, "VectorHolder");
SVGFLT_CHECK(FilterScratch, holder, 0x00C);
SVGFLT_CHECK(ResolutionRecord, horizontal, 0x004);
SVGFLT_CHECK(ResolutionRecord, vertical, 0x008);
SVGFLT_CHECK(FileInfo, formatCode, 0x004);
SVGFLT_CHECK(FileInfo, width, 0x408);
SVGFLT_CHECK(FileInfo, height, 0x40C);
SVGFLT_CHECK(FileInfo, bitsPerPixel, 0x410);
SVGFLT_CHECK(FileInfo, imageSize, 0x418);
SVGFLT_CHECK(FileInfo, value444, 0x444);
SVGFLT_CHECK(FileInfo, value448, 0x448);
SVGFLT_CHECK(FileInfo, xResolution, 0x454);
SVGFLT_CHECK(FileInfo, yResolution, 0x458);
SVGFLT_CHECK(FileInfo, isVector, 0x898);
SVGFLT_CHECK(FileInfo, value89C, 0x89C);
SVGFLT_CHECK(FileInfo, lowerBound, 0x8A0);
SVGFLT_CHECK(FileInfo, upperBound, 0x8BC);
SVGFLT_CHECK(FileInfo, value8D8, 0x8D8);
SVGFLT_CHECK(InfoRequest, file, 0x008);
SVGFLT_CHECK(InfoRequest, fileInfo, 0x00C);
SVGFLT_CHECK(InfoRequest, scratch, 0x010);
SVGFLT_CHECK(InfoRequest, resolution, 0x024);
SVGFLT_CHECK(InfoRequest, document, 0x040);
SVGFLT_CHECK(InfoRequest, width, 0x44C);
SVGFLT_CHECK(InfoRequest, height, 0x450);
SVGFLT_CHECK(InfoRequest, sizeMode, 0x454);
SVGFLT_CHECK(InfoRequest, bitsPerPixel, 0x458);
SVGFLT_CHECK(InfoRequest, setOption, 0x45C);
SVGFLT_CHECK(InfoRequest, optionValue, 0x460);
SVGFLT_CHECK(InfoRequest, loadFromMemory, 0x820);
SVGFLT_CHECK(LoadRequest, target, 0x004);
SVGFLT_CHECK(LoadRequest, rowCallback, 0x00C);
SVGFLT_CHECK(LoadRequest, userData, 0x010);
SVGFLT_CHECK(LoadRequest, width, 0x030);
SVGFLT_CHECK(LoadRequest, height, 0x034);
SVGFLT_CHECK(LoadRequest, callbackArg, 0x038);
SVGFLT_CHECK(LoadRequest, scratch, 0x03C);
SVGFLT_CHECK(LoadRequest, paintOption, 0x058);
SVGFLT_CHECK(LoadRequest, document, 0x05C);
SVGFLT_CHECK(LoadRequest, loadFromMemory, 0x398);
SVGFLT_CHECK(LoadRequest, loadFromFile, 0x39C);
SVGFLT_CHECK(LoadRequest, mode, 0x7F0);
SVGFLT_CHECK(LoadRequest, resolution, 0x800);
SVGFLT_CHECK(LoadRequest, setOption, 0x8F0);
SVGFLT_CHECK(LoadRequest, optionValue, 0x8F4);
SVGFLT_CHECK(SaveRequest, saveFormat, 0x00C);
SVGFLT_CHECK(SaveRequest, mode, 0x040);
SVGFLT_CHECK(SaveRequest, document, 0x04C);
SVGFLT_CHECK(SaveRequest, exportToMemory, 0x384);
SVGFLT_CHECK(SaveRequest, exportToFile, 0x38C);
#undef SVGFLT_CHECK
#endif

#endif /* SVGFILTER_HOST_RECORDS_H */
