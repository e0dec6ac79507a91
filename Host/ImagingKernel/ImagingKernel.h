/*
 * The imaging kernel: the host toolkit's core library (memory, files,
 * bitmaps, drawing contexts, screen metrics). Status 1 is success; any
 * other value is an error code the caller passes on. Codes of this kernel:
 * -1 no memory, -13 bad argument, -7 read/write failure, -200 bitmap not
 * allocated, -201 unsupported pixel format.
 *
 * Every entry point is safe to call from several threads at once.
 */
#ifndef SVGFILTER_IMAGING_KERNEL_H
#define SVGFILTER_IMAGING_KERNEL_H

#include "svgfilter/HostRecords.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define IK_API __declspec(dllexport)
#else
#define IK_API __attribute__((visibility("default")))
#endif

enum {
  kIkOk = 1,
  kIkErrNoMemory = -1,
  kIkErrRead = -7,
  kIkErrArgument = -13,
  kIkErrNoImage = -200,
  kIkErrFormat = -201
};

/* Open flags and permissions, in the C runtime's Windows numbering. */
enum {
  kOpenReadOnly = 0x0000,
  kOpenWriteOnly = 0x0001,
  kOpenReadWrite = 0x0002,
  kOpenAppend = 0x0008,
  kOpenCreate = 0x0100,
  kOpenTruncate = 0x0200,
  kOpenExclusive = 0x0400,
  kOpenText = 0x4000,
  kOpenBinary = 0x8000,
  kPermRead = 0x0100,
  kPermWrite = 0x0080
};

/* Object tracker kinds. */
enum { kTrackObject = 4, kTrackArray = 5 };

typedef struct DrawingContext DrawingContext;
typedef void* KernelMemHandle; /* movable memory */

/* --- tagged memory --- */
IK_API void* KernelAlloc(uint32_t count, uint32_t elementSize, int32_t line,
                         const char16_t* sourcePath);
IK_API void KernelFree(void* block, int32_t line, const char16_t* sourcePath);
IK_API void* KernelRealloc(void* block, uint32_t newSize, int32_t line,
                           const char16_t* sourcePath);
IK_API void KernelFillMemory(void* block, int32_t value, uint32_t byteCount);
IK_API void KernelCopyMemory(void* destination, const void* source, uint32_t byteCount);

/* --- allocation tracker (diagnostic) --- */
IK_API void KernelTrackObject(int32_t kind, const void* object, int32_t line,
                              const char16_t* sourcePath);
IK_API void KernelUntrackObject(int32_t kind, const void* object, int32_t line,
                                const char16_t* sourcePath);

/* Counts `count` objects of one kind as tracked (or untracked) at once,
 * without a record of each: for callers that make many objects together
 * while detail is off. They are untracked the same way, by count. */
IK_API void KernelTrackObjects(int32_t kind, int64_t count, int32_t line,
                               const char16_t* sourcePath);
IK_API void KernelUntrackObjects(int32_t kind, int64_t count, int32_t line,
                                 const char16_t* sourcePath);

/* Records each tracked object (kind, tag, line) for leak reports and
 * double-track detection. Off by default: then the tracker only counts, in
 * a counter of the calling thread. Switch it on before anything is tracked. */
IK_API void KernelSetTrackingDetail(int32_t on);
/* 1 while tracked objects are recorded one by one, else 0. */
IK_API int32_t KernelTrackingDetail(void);

/* --- movable memory (host exports hand PNG bytes back this way) --- */
IK_API KernelMemHandle KernelAllocMemory(uint32_t byteCount, int32_t line,
                                         const char16_t* sourcePath);
IK_API void* KernelLockMemory(KernelMemHandle handle);
IK_API int32_t KernelUnlockMemory(KernelMemHandle handle);
IK_API int32_t KernelMemorySize(KernelMemHandle handle);
IK_API void KernelFreeMemory(KernelMemHandle handle, int32_t line, const char16_t* sourcePath);

/* --- files: handles are ints, -1 on failure --- */
IK_API int32_t KernelOpenFile(const char16_t* fileName, int32_t flags, int32_t permission);
/* 0 on success, -1 for a handle that is not open. */
IK_API int32_t KernelCloseFile(int32_t file);
IK_API int32_t KernelReadFile(int32_t file, void* buffer, uint32_t byteCount);
IK_API int32_t KernelWriteFile(int32_t file, const void* bytes, uint32_t byteCount);
IK_API int32_t KernelSeekFile(int32_t file, int32_t offset, int32_t origin);
/* Moves (or, across file systems, copies and removes) source to destination;
 * non-zero on success. */
IK_API int32_t KernelTransferFile(const char16_t* source, const char16_t* destination,
                                  int32_t flags);
IK_API int32_t KernelCompareN(const char* text, const char* literal, int32_t n);

/* --- bitmaps --- */
IK_API int32_t InitBitmap(BitmapRecord* bitmap, int32_t recordSize, int32_t width,
                          int32_t height, int32_t bitsPerPixel);
IK_API int32_t AllocateBitmap(BitmapRecord* bitmap, int32_t kind);
IK_API int32_t FreeBitmap(BitmapRecord* bitmap);
/* Deep copy: the destination gets its own image memory and palette. */
IK_API int32_t CopyBitmapRecord(BitmapRecord* destination, const BitmapRecord* source,
                                int32_t recordSize);
IK_API int32_t FillBitmap(BitmapRecord* bitmap, uint32_t colour);
/* Converts between 32, 24, 8, 4 and 1 bits per pixel; source and destination
 * may be the same record (conversion in place). */
IK_API int32_t ColorResBitmap(const BitmapRecord* source, BitmapRecord* destination,
                              int32_t recordSize, int32_t bitsPerPixel, int32_t flag,
                              int32_t a, int32_t b, int32_t c, int32_t d, int32_t e);
IK_API int32_t SetBitmapPalette(BitmapRecord* target, int32_t paletteCount,
                                const uint32_t* palette);
IK_API int32_t AccessBitmap(BitmapRecord* bitmap, int32_t flag);
IK_API int32_t ReleaseBitmap(BitmapRecord* bitmap, int32_t flag, int32_t lastStatus);
IK_API int32_t GetBitmapRow(const BitmapRecord* bitmap, uint8_t* buffer, int32_t row,
                            int32_t byteCount);

/* --- drawing contexts --- */
IK_API DrawingContext* CreateBitmapDC(BitmapRecord* bitmap);
IK_API int32_t DeleteBitmapDC(DrawingContext* context);
/* The bitmap a context draws on; null for the screen context. */
IK_API BitmapRecord* DrawingContextBitmap(DrawingContext* context);
IK_API DrawingContext* GetScreenDC(int32_t window, int32_t line, const char16_t* sourcePath);
IK_API int32_t ReleaseScreenDC(int32_t window, DrawingContext* context, int32_t line,
                               const char16_t* sourcePath);
/* Logical resolution of a context in dots per inch (screen: 96 by default). */
IK_API int32_t DrawingContextResolution(DrawingContext* context, int32_t vertical);
IK_API void KernelSetScreenResolution(int32_t horizontal, int32_t vertical);

/* --- accounting, for hosts and tests ---
 * Live counts cover KernelAlloc blocks, bitmap image memory, movable
 * memory, drawing contexts, open files and tracked objects. */
typedef struct KernelAccounting {
  int64_t liveBlocks;       /* KernelAlloc / KernelRealloc blocks */
  int64_t liveBytes;
  int64_t liveBitmaps;      /* bitmaps holding image memory */
  int64_t liveMemHandles;   /* movable memory */
  int64_t liveContexts;     /* drawing contexts, screen contexts included */
  int64_t openFiles;
  int64_t trackedObjects;
  int64_t totalAllocations; /* KernelAlloc + KernelRealloc calls so far */
} KernelAccounting;
IK_API void KernelGetAccounting(KernelAccounting* out);
/* Live KernelAlloc blocks whose source path begins with `prefix`. */
IK_API int64_t KernelLiveBlocksTagged(const char16_t* prefix);
/* Calls `sink` once per live block (for leak reports). */
typedef void (*KernelBlockSink)(const char16_t* sourcePath, int32_t line, uint32_t bytes,
                                void* userData);
IK_API void KernelReportLiveBlocks(KernelBlockSink sink, void* userData);
/* Calls `sink` once per tracked object; `bytes` carries its kind. */
IK_API void KernelReportTrackedObjects(KernelBlockSink sink, void* userData);
/* Releases of things the kernel never handed out or already took back
 * (unknown blocks, handles, contexts, objects), and objects tracked twice:
 * counted, reported on stderr and otherwise ignored. */
IK_API int64_t KernelInvalidReleases(void);
/* Fault injection: the n-th allocation from now (KernelAlloc, KernelRealloc,
 * AllocateBitmap, KernelAllocMemory, and the bitmap operations that make new
 * image memory or palettes: CopyBitmapRecord, ColorResBitmap,
 * SetBitmapPalette; 1 = the next one) fails; 0 disables. */
IK_API void KernelFailAllocation(int64_t n);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SVGFILTER_IMAGING_KERNEL_H */
