#include "Common/TextUtil.h"

#include <cstring>
#include <string_view>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"
#include "Common/SvgDocument.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/TextUtil";

constexpr std::string_view kLengthListSeparators = ", \t\n\r";
constexpr std::string_view kNumberListSeparators = " ,\t\n\r";

// The kinds whose records carry x, y, dx, dy or rotate lists.
bool HasPositionLists(int32_t elementKind) {
  return elementKind == kElemText || elementKind == kElemTspan || elementKind == kElemTref ||
         elementKind == kElemAltGlyph;
}

// A writable, NUL-terminated copy of `text`, so that each token can be cut
// out in place and handed to the parsers that read up to a NUL.
char* WritableCopy(const char* text) {
  const std::size_t length = std::strlen(text);
  char* copy = SVGFLT_ALLOC(char, length + 1);
  if (copy != nullptr) std::memcpy(copy, text, length);
  return copy;
}

// Cuts the next token out of *cursor (delimiters skipped, the token
// terminated in place) and returns it, or null when none is left.
char* NextTokenInPlace(char** cursor, std::string_view delimiters) {
  char* position = *cursor;
  while (*position != '\0' && delimiters.find(*position) != std::string_view::npos) ++position;
  if (*position == '\0') {
    *cursor = position;
    return nullptr;
  }
  char* token = position;
  while (*position != '\0' && delimiters.find(*position) == std::string_view::npos) ++position;
  if (*position != '\0') *position++ = '\0';
  *cursor = position;
  return token;
}

// Makes room for one more entry: the first block holds
// kListInitialCapacity entries, each growth adds kListGrowth, zero-filled.
template <typename T>
bool ReserveEntry(T** items, int32_t count, int32_t* capacity) {
  if (count < *capacity) return true;
  const int32_t grown = *capacity == 0 ? kListInitialCapacity : *capacity + kListGrowth;
  T* block = SVGFLT_GROW(T, *items, static_cast<std::size_t>(*capacity),
                         static_cast<std::size_t>(grown));
  if (block == nullptr) return false;
  *items = block;
  *capacity = grown;
  return true;
}

}  // namespace

void FreeLengthList(LengthList* list) {
  if (list == nullptr) return;
  KernelRelease(list->items);
  *list = LengthList{};
}

void FreeNumberList(NumberList* list) {
  if (list == nullptr) return;
  KernelRelease(list->items);
  *list = NumberList{};
}

Status ParseLengthList(const char* text, int32_t elementKind, LengthList* list) {
  if (text == nullptr || list == nullptr || !HasPositionLists(elementKind)) return kErrMissing;
  FreeLengthList(list);
  KernelBlock<char> copy(WritableCopy(text));
  if (!copy) return kErrNoMemory;

  char* cursor = copy.get();
  while (char* token = NextTokenInPlace(&cursor, kLengthListSeparators)) {
    if (!ReserveEntry(&list->items, list->count, &list->capacity)) {
      FreeLengthList(list);
      return kErrNoMemory;
    }
    SvgLength& entry = list->items[list->count++];
    entry = SvgLength{kUnitNone, 0.0, 0};
    // A malformed item keeps its place in the count (as 0 user units) and
    // ends the list. Its status does not fail the element: browsers drop a
    // bad list item and still draw the text.
    if (ParseLength(token, &entry) != kOk) break;
  }
  return kOk;
}

Status ParseNumberList(const char* text, int32_t elementKind, NumberList* list) {
  if (text == nullptr || list == nullptr || !HasPositionLists(elementKind)) return kErrMissing;
  FreeNumberList(list);
  KernelBlock<char> copy(WritableCopy(text));
  if (!copy) return kErrNoMemory;

  char* cursor = copy.get();
  while (char* token = NextTokenInPlace(&cursor, kNumberListSeparators)) {
    // A token that is not a number ends the list without being stored; as
    // for lengths, the element still loads with the numbers before it.
    if (IsNumber(token) != kOk) break;
    if (!ReserveEntry(&list->items, list->count, &list->capacity)) {
      FreeNumberList(list);
      return kErrNoMemory;
    }
    list->items[list->count++] = ConvertNumberPrefix(TrimView(token));
  }
  return kOk;
}

}  // namespace svgflt
