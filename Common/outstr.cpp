#include "Common/outstr.h"

#include <charconv>
#include <cstring>

#include "Common/KernelMemory.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/outstr";

// Longest text a single growth may ask for: the capacity stays a 32-bit count.
constexpr std::uint64_t kMaxCapacity = UINT32_MAX;

}  // namespace

void InitOutputBuffer(OutputBuffer* out) {
  std::memset(static_cast<void*>(out), 0, sizeof *out);
  out->initialSize = kOutputInitialSize;
  out->growStep = kOutputGrowStep;
  out->indentOn = 1;
  out->file = -1;
  out->text = SVGFLT_ALLOC(char, kOutputInitialSize);
  if (out->text == nullptr) return;
  out->free = kOutputInitialSize;
  out->allocated = kOutputInitialSize;
  out->valid = 1;
}

void FreeOutputText(OutputBuffer* out) {
  if (out->text != nullptr) KernelFree(out->text, __LINE__, kSourceTag);
  out->text = nullptr;
  out->valid = 0;
  out->free = 0;
  out->length = 0;
  out->allocated = 0;
}

Status Reserve(OutputBuffer* out, std::uint32_t n) {
  if (out->overflow != 0 || out->valid == 0) {
    out->overflow = 1;
    return kErrNoMemory;
  }
  if (out->free >= n) return kOk;
  // The growth rule: the capacity rises by growStep as often as needed.
  std::uint64_t capacity = std::uint64_t{out->length} + out->free;
  const std::uint64_t needed = std::uint64_t{out->length} + n;
  while (capacity < needed) capacity += out->growStep;
  if (capacity > kMaxCapacity) {
    out->overflow = 1;
    return kErrNoMemory;
  }
  if (capacity > out->allocated) {
    // Doubling keeps a long save linear; the block never shrinks below the
    // capacity the growth rule asks for.
    std::uint64_t block = std::uint64_t{out->allocated} * 2;
    if (block < capacity) block = capacity;
    if (block > kMaxCapacity) block = kMaxCapacity;
    void* grown = KernelRealloc(out->text, static_cast<std::uint32_t>(block), __LINE__, kSourceTag);
    if (grown == nullptr) {
      // The old block and its text stay; nothing more is appended.
      out->overflow = 1;
      return kErrNoMemory;
    }
    out->text = static_cast<char*>(grown);
    out->allocated = static_cast<std::uint32_t>(block);
  }
  out->free = static_cast<std::uint32_t>(capacity - out->length);
  return kOk;
}

Status AppendBytes(OutputBuffer* out, std::string_view bytes) {
  if (bytes.size() > kMaxCapacity) {
    out->overflow = 1;
    return kErrNoMemory;
  }
  const auto n = static_cast<std::uint32_t>(bytes.size());
  const Status status = Reserve(out, n);
  if (status != kOk) return status;
  if (n != 0) std::memcpy(out->text + out->length, bytes.data(), n);
  out->length += n;
  out->free -= n;
  return kOk;
}

Status Append(OutputBuffer* out, const char* s) {
  return AppendBytes(out, s == nullptr ? std::string_view() : std::string_view(s));
}

std::size_t FormatG(double v, char* scratch) {
  const auto result = std::to_chars(scratch, scratch + kScratchSize - 1, v,
                                    std::chars_format::general, 6);
  *result.ptr = 0;
  return static_cast<std::size_t>(result.ptr - scratch);
}

std::size_t FormatD(std::int32_t n, char* scratch) {
  const auto result = std::to_chars(scratch, scratch + kScratchSize - 1, n);
  *result.ptr = 0;
  return static_cast<std::size_t>(result.ptr - scratch);
}

std::size_t FormatF(double v, char* scratch) {
  const auto result =
      std::to_chars(scratch, scratch + kScratchSize - 1, v, std::chars_format::fixed, 6);
  // A magnitude whose "%f" text would not fit the 255-byte field (beyond
  // about 1e248) is printed by "%g" instead of overrunning it.
  if (result.ec != std::errc()) return FormatG(v, scratch);
  *result.ptr = 0;
  return static_cast<std::size_t>(result.ptr - scratch);
}

Status Indent(OutputBuffer* out) {
  if (out->indentOn != 1 || out->indentLevel <= 0) return kOk;
  static constexpr char kTabs[] = "\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t";
  constexpr std::int32_t kRun = sizeof kTabs - 1;
  Status status = kOk;
  for (std::int32_t left = out->indentLevel; left > 0 && status == kOk; left -= kRun) {
    const std::int32_t n = left < kRun ? left : kRun;
    status = AppendBytes(out, std::string_view(kTabs, static_cast<std::size_t>(n)));
  }
  return status;
}

namespace {

// The first status other than kOk of a run of appends.
class Appender {
 public:
  explicit Appender(OutputBuffer* out) : out_(out) {}
  Appender& operator<<(std::string_view s) {
    Keep(AppendBytes(out_, s));
    return *this;
  }
  Appender& Tabs() {
    Keep(Indent(out_));
    return *this;
  }
  Appender& G(double v) {
    char scratch[kScratchSize];
    const std::size_t n = FormatG(v, scratch);
    return *this << std::string_view(scratch, n);
  }
  Appender& D(std::int32_t n) {
    char scratch[kScratchSize];
    const std::size_t length = FormatD(n, scratch);
    return *this << std::string_view(scratch, length);
  }
  Status status() const { return status_; }

 private:
  void Keep(Status s) {
    if (status_ == kOk) status_ = s;
  }
  OutputBuffer* out_;
  Status status_ = kOk;
};

}  // namespace

Status BeginElement(OutputBuffer* out, const char* name, int close) {
  Appender a(out);
  a.Tabs() << "<" << name;
  if (close == 1) {
    a << ">\r\n";
    ++out->indentLevel;
  } else {
    a << " ";
  }
  return a.status();
}

Status BeginEmptyElement(OutputBuffer* out, const char* name) {
  Appender a(out);
  a.Tabs() << "<" << name << " ";
  return a.status();
}

Status EndElement(OutputBuffer* out, const char* name) {
  --out->indentLevel;
  Appender a(out);
  a << "\r\n";
  a.Tabs() << "</" << name << ">\r\n";
  return a.status();
}

Status Comment(OutputBuffer* out, const char* text) {
  Appender a(out);
  a.Tabs() << "<!-- " << text << " -->\r\n";
  return a.status();
}

Status QuotedString(OutputBuffer* out, const char* s) {
  Appender a(out);
  a << "\"" << s << "\" ";
  return a.status();
}

Status QuotedInt(OutputBuffer* out, std::int32_t n) {
  Appender a(out);
  a << "\"";
  a.D(n) << "\" ";
  return a.status();
}

Status QuotedNumber(OutputBuffer* out, double v) {
  Appender a(out);
  a << "\"";
  a.G(v) << "\" ";
  return a.status();
}

Status IntList(OutputBuffer* out, const std::int32_t* values, std::int32_t count) {
  Appender a(out);
  for (std::int32_t i = 0; values != nullptr && i < count; ++i) {
    if (i > 0) a << ", ";
    a.D(values[i]);
  }
  return a.status();
}

Status NumberList(OutputBuffer* out, const double* values, std::int32_t count) {
  Appender a(out);
  for (std::int32_t i = 0; values != nullptr && i < count; ++i) {
    if (i > 0) a << ", ";
    a.G(values[i]);
  }
  return a.status();
}

Status XYPair(OutputBuffer* out, double x, double y) {
  Appender a(out);
  a << "x=\"";
  a.G(x) << "\" y=\"";
  a.G(y) << "\" ";
  return a.status();
}

Status SizePair(OutputBuffer* out, double w, double h) {
  Appender a(out);
  a << "width=\"";
  a.G(w) << "\" height=\"";
  a.G(h) << "\" ";
  return a.status();
}

Status Colour(OutputBuffer* out, std::uint32_t colourRef) {
  if (out->valid == 0) return kErrNoStorage;
  static constexpr char kHex[] = "0123456789ABCDEF";
  char text[12] = {'"', '#'};
  for (int i = 0; i < 3; ++i) {
    const unsigned byte = (colourRef >> (8 * i)) & 0xFFu;
    text[2 + 2 * i] = kHex[byte >> 4];
    text[3 + 2 * i] = kHex[byte & 0xFu];
  }
  text[8] = '"';
  text[9] = ' ';
  return AppendBytes(out, std::string_view(text, 10));
}

}  // namespace svgflt
