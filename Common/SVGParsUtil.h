// The document loader and the tree builder: the XML tree of one file becomes
// the SvgDocument's table of element records, plus its id table.
#pragma once

#include <cstdint>
#include <string_view>

#include "Common/SvgDocument.h"
#include "svgfilter/FilterStatus.h"

namespace AdvXMLParser {
class Element;
}

namespace svgflt {

// Most element records one document may hold. A record takes over a
// kilobyte however short its element's text (`<g/>` is four bytes), so the
// table, not the input, bounds the memory of a load: at most some 350 MB.
// One more element ends the load with kErrNoMemory.
inline constexpr int32_t kMaxElementRecords = 262144;

// Builds the record of `xml` at index recordCount and then the records of its
// subtree, depth first: kOk (also when `xml` was dropped), kErrNoMemory, or
// the first element parser's error.
[[nodiscard]] Status BuildTree(SvgDocument& document, const AdvXMLParser::Element& xml,
                               int32_t renderFlag, int32_t parentIndex);
// Runs the attribute parser that the element's name selects on the record at
// recordCount and commits it unless the answer is kDropElement (also the
// answer for unknown names): kOk, kDropElement or the parser's error.
[[nodiscard]] Status DispatchElement(SvgDocument& document, const AdvXMLParser::Element& xml);
// The type code of an element name (exact, case-sensitive), or -1.
[[nodiscard]] int32_t ElementTypeOf(std::string_view name);

// Registers the trimmed id for the record at recordCount unless the id is
// already taken; an empty or null value registers nothing: kOk, kErrBadValue
// (only whitespace), kErrNoMemory.
[[nodiscard]] Status RegisterId(SvgDocument& document, const char* value);
// The record index registered for the trimmed reference, or -1.
[[nodiscard]] int32_t FindId(const SvgDocument& document, const char* reference);

}  // namespace svgflt
