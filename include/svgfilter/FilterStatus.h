// Status codes of the SVG filter: one named constant per code, and the
// message of each for hosts, the command-line tool and tests. A status stays
// a plain 32-bit integer so codes from the host libraries pass through.
#pragma once

#include <cstdint>

namespace svgflt {

using Status = std::int32_t;

inline constexpr Status kOk = 1;
inline constexpr Status kErrNoMemory = -1;
inline constexpr Status kErrImagePlacement = -5;
inline constexpr Status kErrRead = -7;
inline constexpr Status kErrNotSvg = -9;
inline constexpr Status kErrMissing = -13;
inline constexpr Status kErrOpenTarget = -14;
inline constexpr Status kErrNoStorage = -30;
inline constexpr Status kErrRootNotSvg = -771;
inline constexpr Status kErrNoRoot = -772;
inline constexpr Status kDropElement = -773;  // internal: drop element and subtree
inline constexpr Status kErrDuplicateAttribute = -774;
inline constexpr Status kErrBadLength = -775;
inline constexpr Status kErrBadValue = -776;
inline constexpr Status kErrRequiredAttribute = -778;
inline constexpr Status kErrOddPointCount = -780;
inline constexpr Status kErrMisplacedComma = -781;

// The meaning of a status; "passed through from the host" for codes that
// are not the filter's own.
[[nodiscard]] constexpr const char* StatusName(Status s) {
  switch (s) {
    case kOk: return "success";
    case kErrNoMemory: return "an allocation failed";
    case kErrImagePlacement: return "a linked image could not be placed";
    case kErrRead: return "the file could not be read, or is too short to examine";
    case kErrNotSvg: return "not an SVG file, XML syntax error, or an unsupported mode";
    case kErrMissing: return "a required argument or value is missing or empty";
    case kErrOpenTarget: return "the target file cannot be opened";
    case kErrNoStorage: return "the output buffer holds no storage";
    case kErrRootNotSvg: return "the root element is not svg";
    case kErrNoRoot: return "the document has no root element";
    case kDropElement: return "element dropped with its subtree";
    case kErrDuplicateAttribute: return "an attribute given twice on one element";
    case kErrBadLength: return "an unaccepted xml: or xmlns: attribute, or a malformed length or unit";
    case kErrBadValue: return "a malformed value";
    case kErrRequiredAttribute: return "a required attribute is missing";
    case kErrOddPointCount: return "a point list with an odd count of numbers";
    case kErrMisplacedComma: return "a point list with a misplaced comma";
    default: return "passed through from the host libraries or callbacks";
  }
}

}  // namespace svgflt
