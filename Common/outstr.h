// The writer's output buffer: a growable single-byte text buffer with the
// indentation state and the target file, and the formatting operations
// (tags, quoted values, numbers, colours, comments) every writer uses.
// Numbers print as the "C" locale prints them, whatever the process locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "svgfilter/FilterStatus.h"

namespace svgflt {

inline constexpr std::uint32_t kOutputInitialSize = 1024;
inline constexpr std::uint32_t kOutputGrowStep = 500;
inline constexpr int kPathCapacity = 264;  // wide characters of a target path

// `free` and `length` describe the text as the growth rule sees it: the
// capacity (`length` + `free`) starts at 1024 and grows 500 bytes at a
// time. The kernel block behind `text` (`allocated` bytes) grows
// geometrically, at least to that capacity, so long outputs are not copied
// once per 500 bytes; the bytes written are the same either way.
struct OutputBuffer {
  char* text;
  std::uint32_t initialSize;
  std::uint32_t free;
  std::uint32_t length;
  std::uint32_t growStep;
  std::int32_t valid;        // 1 while `text` holds storage
  std::int32_t indentLevel;
  std::int32_t indentOn;
  std::int32_t options[3];   // copies of the header options
  std::int32_t fileOpen;
  std::int32_t file;         // -1 when none
  char16_t path[kPathCapacity];
  std::uint32_t allocated;   // bytes of the kernel block behind `text`
  // Set when a growth failed: later appends are refused, so the text held
  // stays a gap-free prefix, and the save reports the loss.
  std::int32_t overflow;
};

// Makes the 1024-byte text block (zero-filled): `valid` is 1 on success and
// 0 when the block cannot be had; the rest of the record is set to its
// starting values (no file, indentation on at level 0).
void InitOutputBuffer(OutputBuffer* out);
// Gives the text block back; the buffer then holds no storage.
void FreeOutputText(OutputBuffer* out);

// Every operation returns kOk, or kErrNoMemory when the buffer could not
// grow (nothing of the call is then appended, and `overflow` stays set).
// Callers may ignore the result: the save driver reads `overflow`.
Status Append(OutputBuffer* out, const char* s);
Status AppendBytes(OutputBuffer* out, std::string_view bytes);
// Makes sure `n` bytes are free behind the text (the growth rule above).
Status Reserve(OutputBuffer* out, std::uint32_t n);

// `indentLevel` tabs when indentation is on.
Status Indent(OutputBuffer* out);
// Indentation, "<", name; with `close` 1: ">\r\n" and one level deeper;
// otherwise one blank (attributes follow).
Status BeginElement(OutputBuffer* out, const char* name, int close);
// Indentation, "<", name, one blank; the level is kept.
Status BeginEmptyElement(OutputBuffer* out, const char* name);
// One level up, then "\r\n", indentation, "</", name, ">\r\n".
Status EndElement(OutputBuffer* out, const char* name);
// Indentation, "<!-- ", text, " -->\r\n".
Status Comment(OutputBuffer* out, const char* text);
// "\"", s, "\" ".
Status QuotedString(OutputBuffer* out, const char* s);
// "\"", n by "%d", "\" ".
Status QuotedInt(OutputBuffer* out, std::int32_t n);
// "\"", v by "%g", "\" ".
Status QuotedNumber(OutputBuffer* out, double v);
// The values by "%d", separated by ", ".
Status IntList(OutputBuffer* out, const std::int32_t* values, std::int32_t count);
// The values by "%g", separated by ", ".
Status NumberList(OutputBuffer* out, const double* values, std::int32_t count);
// x="…" y="…" with "%g" values, each followed by a blank.
Status XYPair(OutputBuffer* out, double x, double y);
// width="…" height="…" with "%g" values, each followed by a blank.
Status SizePair(OutputBuffer* out, double w, double h);
// "\"#RRGGBB\" " of a 0x00BBGGRR colour; kErrNoStorage (nothing appended)
// when the buffer holds no storage.
Status Colour(OutputBuffer* out, std::uint32_t colourRef);

// The "C"-locale texts of printf's "%g", "%d" and "%f" (at most 255 bytes
// in `scratch`, which has room for 256); the length written.
std::size_t FormatG(double v, char* scratch);
std::size_t FormatD(std::int32_t n, char* scratch);
std::size_t FormatF(double v, char* scratch);
inline constexpr std::size_t kScratchSize = 256;

}  // namespace svgflt
