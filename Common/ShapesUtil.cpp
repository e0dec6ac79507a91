#include "Common/ShapesUtil.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/ShapesUtil";

// Segment arrays start with 15 entries and grow by 20; point arrays start
// with 5 and grow by 5.
constexpr std::size_t kSegmentsInitial = 15;
constexpr std::size_t kSegmentsGrowth = 20;
constexpr std::size_t kPointsInitial = 5;
constexpr std::size_t kPointsGrowth = 5;
// Longer number texts are cut to this many characters before conversion.
constexpr std::size_t kMaxNumberText = 31;

// --- path data -----------------------------------------------------------

enum class PathChar : unsigned char {
  kOther,      // malformed anywhere
  kDigit,
  kDot,
  kMinus,
  kPlus,
  kExponent,   // lower-case 'e'
  kSeparator,  // whitespace and comma
  kCommand,    // a path command letter
  kIgnored,    // '&', '#', 'x', 'D', ';': the pieces of an unexpanded "&#xD;"
};

constexpr std::array<PathChar, 256> kPathChars = [] {
  std::array<PathChar, 256> table{};
  for (char c = '0'; c <= '9'; ++c) table[static_cast<unsigned char>(c)] = PathChar::kDigit;
  table['.'] = PathChar::kDot;
  table['-'] = PathChar::kMinus;
  table['+'] = PathChar::kPlus;
  table['e'] = PathChar::kExponent;
  for (unsigned char c : std::string_view(" \t\n\r,")) table[c] = PathChar::kSeparator;
  for (unsigned char c : std::string_view("MmZzLlHhVvCcSsQqTtAa")) table[c] = PathChar::kCommand;
  for (unsigned char c : std::string_view("&#xD;")) table[c] = PathChar::kIgnored;
  return table;
}();

// Marks the pseudo-command that takes no numbers.
constexpr char kIgnoredCommand = '&';

constexpr char UpperCommand(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

// Numbers each command takes before it repeats.
constexpr int ParameterCount(char command) {
  switch (UpperCommand(command)) {
    case 'M': case 'L': case 'T': return 2;
    case 'H': case 'V': return 1;
    case 'S': case 'Q': return 4;
    case 'C': return 6;
    case 'A': return 7;
    default: return 0;
  }
}

constexpr int32_t SegmentType(char command) {
  switch (UpperCommand(command)) {
    case 'M': return kSegmentMove;
    case 'Z': return kSegmentClose;
    case 'L': case 'H': case 'V': return kSegmentLine;
    case 'C': case 'S': return kSegmentCubic;
    case 'Q': case 'T': return kSegmentQuadratic;
    default: return kSegmentArc;
  }
}

class PathBuilder {
 public:
  explicit PathBuilder(PathSegmentList& list) : list_(list) {}

  // Appends a zeroed segment of `command` with its type and flags.
  [[nodiscard]] Status Append(char command) {
    const auto count = static_cast<std::size_t>(list_.count);
    if (count == capacity_) {
      const std::size_t grown = capacity_ == 0 ? kSegmentsInitial : capacity_ + kSegmentsGrowth;
      PathSegment* segments = SVGFLT_GROW(PathSegment, list_.segments, capacity_, grown);
      if (segments == nullptr) return kErrNoMemory;
      list_.segments = segments;
      capacity_ = grown;
    }
    PathSegment& segment = list_.segments[count];
    segment = PathSegment{};
    segment.relative = (command >= 'a' && command <= 'z') ? 1 : 0;
    segment.type = SegmentType(command);
    switch (UpperCommand(command)) {
      case 'H': segment.params.line.horizontal = 1; break;
      case 'V': segment.params.line.vertical = 1; break;
      case 'S': segment.params.cubic.smooth = 1; break;
      case 'T': segment.params.quadratic.smooth = 1; break;
      default: break;
    }
    ++list_.count;
    return kOk;
  }

  // Starts the segments of a command letter; a close command appends its
  // segment at once.
  [[nodiscard]] Status BeginCommand(char command) {
    command_ = command;
    parameter_ = 0;
    return command == 'Z' || command == 'z' ? Append(command) : kOk;
  }

  void IgnoreUntilCommand() {
    command_ = kIgnoredCommand;
    parameter_ = 0;
  }

  // Stores the next number of the current command, appending segments as
  // the command starts or repeats.
  [[nodiscard]] Status StoreNumber(double value) {
    if (command_ == '\0' || command_ == kIgnoredCommand) return kErrMissing;
    if (command_ == 'Z' || command_ == 'z') {
      // Numbers after a close command go in pairs into further close
      // segments, in the x and y places of the line layout.
      if (parameter_ == 0 || parameter_ == 2) {
        const Status status = Append(command_);
        if (status != kOk) return status;
        parameter_ = 0;
      }
      PathLineParams& line = Last().params.line;
      (parameter_ == 0 ? line.x : line.y) = value;
      ++parameter_;
      return kOk;
    }
    if (parameter_ == ParameterCount(command_)) {
      if (command_ == 'M') command_ = 'L';
      if (command_ == 'm') command_ = 'l';
      parameter_ = 0;
    }
    if (parameter_ == 0) {
      const Status status = Append(command_);
      if (status != kOk) return status;
    }
    Store(Last().params, parameter_++, value);
    return kOk;
  }

 private:
  PathSegment& Last() { return list_.segments[list_.count - 1]; }

  // Parameter order of the path grammar, per command.
  void Store(PathSegmentParams& p, int index, double value) const {
    switch (UpperCommand(command_)) {
      case 'M': {
        double* fields[] = {&p.move.x, &p.move.y};
        *fields[index] = value;
        break;
      }
      case 'L': {
        double* fields[] = {&p.line.x, &p.line.y};
        *fields[index] = value;
        break;
      }
      case 'H': p.line.x = value; break;
      case 'V': p.line.y = value; break;
      case 'C': {
        double* fields[] = {&p.cubic.x1, &p.cubic.y1, &p.cubic.x2,
                            &p.cubic.y2, &p.cubic.x,  &p.cubic.y};
        *fields[index] = value;
        break;
      }
      case 'S': {
        double* fields[] = {&p.cubic.x2, &p.cubic.y2, &p.cubic.x, &p.cubic.y};
        *fields[index] = value;
        break;
      }
      case 'Q': {
        double* fields[] = {&p.quadratic.x1, &p.quadratic.y1, &p.quadratic.x, &p.quadratic.y};
        *fields[index] = value;
        break;
      }
      case 'T': {
        double* fields[] = {&p.quadratic.x, &p.quadratic.y};
        *fields[index] = value;
        break;
      }
      case 'A':
        switch (index) {
          case 0: p.arc.rx = value; break;
          case 1: p.arc.ry = value; break;
          case 2: p.arc.rotation = value; break;
          case 3: p.arc.largeArc = value != 0 ? 1 : 0; break;
          case 4: p.arc.sweep = value != 0 ? 1 : 0; break;
          case 5: p.arc.x = value; break;
          default: p.arc.y = value; break;
        }
        break;
      default:
        break;
    }
  }

  PathSegmentList& list_;
  std::size_t capacity_ = 0;
  char command_ = '\0';  // none yet
  int parameter_ = 0;    // index of the next number within the segment
};

// The number being read: its text and what it has seen so far.
struct NumberScan {
  const char* begin = nullptr;  // null when no number is being read
  bool mantissaDigit = false;
  bool dot = false;
  bool exponent = false;
  bool exponentSign = false;
  bool exponentDigit = false;

  [[nodiscard]] bool Active() const { return begin != nullptr; }
  // A number may end here: it has a digit, and its exponent (if any) too.
  [[nodiscard]] bool Complete() const { return mantissaDigit && (!exponent || exponentDigit); }
  void Start(const char* at) {
    *this = NumberScan{};
    begin = at;
  }
  [[nodiscard]] double Value(const char* end) const {
    const auto length = std::min(static_cast<std::size_t>(end - begin), kMaxNumberText);
    return ConvertNumberPrefix(std::string_view(begin, length));
  }
};

// --- points --------------------------------------------------------------

// Item delimiters of point lists: comma, whitespace, and the characters of
// unexpanded "&#xD;" and "&#xA;" line breaks.
constexpr std::array<bool, 256> kPointDelimiters = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view(", \t\n\r&#xD;A")) table[c] = true;
  return table;
}();

constexpr bool IsPointDelimiter(char c) { return kPointDelimiters[static_cast<unsigned char>(c)]; }

// A comma before any other character, or two commas with only whitespace
// between them, is misplaced. A trailing comma is allowed.
bool HasMisplacedComma(const char* text) {
  bool seenValue = false;
  bool afterComma = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ',') {
      if (!seenValue || afterComma) return true;
      afterComma = true;
    } else if (!IsSvgSpace(*c)) {
      seenValue = true;
      afterComma = false;
    }
  }
  return false;
}

[[nodiscard]] Status AppendPoint(PointList& list, std::size_t& capacity, double x, double y) {
  const auto count = static_cast<std::size_t>(list.count);
  if (count == capacity) {
    const std::size_t grown = capacity == 0 ? kPointsInitial : capacity + kPointsGrowth;
    SvgPoint* points = SVGFLT_GROW(SvgPoint, list.points, capacity, grown);
    if (points == nullptr) return kErrNoMemory;
    list.points = points;
    capacity = grown;
  }
  list.points[count] = SvgPoint{x, y};
  ++list.count;
  return kOk;
}

}  // namespace

Status ParsePathData(const char* text, PathSegmentList* list) {
  if (text == nullptr || list == nullptr) return kErrMissing;
  FreePathData(list);
  PathBuilder builder(*list);
  NumberScan number;

  // Ends the number being read at `end` and stores it.
  auto finishNumber = [&](const char* end) -> Status {
    const double value = number.Value(end);
    number = NumberScan{};
    return builder.StoreNumber(value);
  };

  for (const char* cursor = text;; ++cursor) {
    const char c = *cursor;
    if (c == '\0') {
      if (!number.Active()) return kOk;
      return number.Complete() ? finishNumber(cursor) : kErrMissing;
    }
    const PathChar kind = kPathChars[static_cast<unsigned char>(c)];

    if (number.Active()) {
      // Characters that continue the number.
      if (kind == PathChar::kDigit) {
        (number.exponent ? number.exponentDigit : number.mantissaDigit) = true;
        continue;
      }
      if (kind == PathChar::kDot && !number.dot && !number.exponent) {
        number.dot = true;
        continue;
      }
      if (kind == PathChar::kExponent) {
        if (number.exponent || !number.mantissaDigit) return kErrMissing;
        number.exponent = true;
        continue;
      }
      if ((kind == PathChar::kMinus || kind == PathChar::kPlus) && number.exponent) {
        // One sign, right after the 'e'; a sign after the exponent's digits
        // is malformed rather than the start of the next number.
        if (number.exponentSign || number.exponentDigit) return kErrMissing;
        number.exponentSign = true;
        continue;
      }
      // Anything else ends the number, which must be complete by now: a
      // lone '-' or '.', or an exponent without digits, is malformed.
      if (!number.Complete()) return kErrMissing;
      const Status status = finishNumber(cursor);
      if (status != kOk) return status;
    }

    switch (kind) {
      case PathChar::kDigit:
      case PathChar::kDot:
      case PathChar::kMinus:
        number.Start(cursor);
        if (kind == PathChar::kDigit) number.mantissaDigit = true;
        if (kind == PathChar::kDot) number.dot = true;
        break;
      case PathChar::kSeparator:
        break;
      case PathChar::kCommand: {
        const Status status = builder.BeginCommand(c);
        if (status != kOk) return status;
        break;
      }
      case PathChar::kIgnored:
        builder.IgnoreUntilCommand();
        break;
      default:  // '+', 'e' outside a number, and every other character
        return kErrMissing;
    }
  }
}

void FreePathData(PathSegmentList* list) {
  KernelRelease(list->segments);
  list->segments = nullptr;
  list->count = 0;
}

Status ParsePoints(const char* text, PointList* list) {
  if (text == nullptr || list == nullptr) return kErrMissing;
  if (HasMisplacedComma(text)) return kErrMisplacedComma;
  FreePoints(list);

  std::size_t capacity = 0;
  bool pendingX = false;  // an x is waiting for its y
  double x = 0;
  const char* cursor = text;
  while (true) {
    while (*cursor != '\0' && IsPointDelimiter(*cursor)) ++cursor;
    if (*cursor == '\0') break;
    const char* begin = cursor;
    while (*cursor != '\0' && !IsPointDelimiter(*cursor)) ++cursor;
    std::string_view item(begin, static_cast<std::size_t>(cursor - begin));

    if (!pendingX) {
      // An x item may carry its y: "10-20" is x 10, y -20.
      const std::size_t minus = item.find('-', 1);
      const std::string_view xText = item.substr(0, minus);
      if (!MatchesNumberGrammar(xText)) return kErrBadValue;
      x = ConvertNumberPrefix(xText);
      if (minus == std::string_view::npos) {
        pendingX = true;
        continue;
      }
      item.remove_prefix(minus);
    }
    if (!MatchesNumberGrammar(item)) return kErrBadValue;
    const Status status = AppendPoint(*list, capacity, x, ConvertNumberPrefix(item));
    if (status != kOk) return status;
    pendingX = false;
  }
  if (pendingX) {
    FreePoints(list);
    return kErrOddPointCount;
  }
  return kOk;
}

void FreePoints(PointList* list) {
  KernelRelease(list->points);
  list->points = nullptr;
  list->count = 0;
}

}  // namespace svgflt
