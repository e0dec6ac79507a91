// Text to vector text.
#include "Common/VectorText.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "Common/KernelMemory.h"
#include "Common/Parser/Elements.h"
#include "Common/SVGParsUtil.h"
#include "Common/Stack.h"
#include "Common/VectorShapes.h"
#include "Platform/Platform.h"
#include "VectorKernel/VectorKernel.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/TextUtil";

constexpr std::string_view kStringOpen = "<STRING>";
constexpr std::string_view kStringClose = "</STRING>";
constexpr std::string_view kTspanOpen = "<TSPAN>";
constexpr std::string_view kTspanClose = "</TSPAN>";
constexpr std::string_view kTrefOpen = "<TREF>";

constexpr int32_t kWritingModeTbRl = 2;
constexpr int32_t kWritingModeTb = 5;
constexpr int32_t kFontStyleItalic = 1;
constexpr int32_t kFontStyleOblique = 2;
constexpr int32_t kDecorationUnderline = 1;
constexpr int32_t kDecorationLineThrough = 3;
constexpr int32_t kWeightBold = 700;
constexpr int32_t kWeightNormal = 400;
constexpr int32_t kFaceUnits = 32;

// One run of the content: a character run or a tref.
struct RunEntry {
  int32_t begin;       // first byte of the characters in the content
  int32_t length;      // bytes of the characters; 0 for a tref
  int32_t ownerKind;   // kElemText, kElemTspan or kElemTref
  int32_t ownerIndex;  // record index of the owner
  int32_t offset;      // offset of the run's marker, the reading order
};
static_assert(std::is_trivially_copyable_v<RunEntry>);

// The text position in user units (pixels), y pointing down.
struct TextPosition {
  double x;
  double y;
};

// The positioning lists of an owner; the text element's own x and y are
// single coordinates and come as one-entry views.
struct OwnerLists {
  const SvgLength* x;
  int32_t xCount;
  const SvgLength* y;
  int32_t yCount;
  const SvgLength* dx;
  int32_t dxCount;
  const SvgLength* dy;
  int32_t dyCount;
  const double* rotate;
  int32_t rotateCount;
};

// Font and paint of one run, as the kernel records take them.
struct RunStyle {
  VectorLogFont font;
  double fontSize;  // pixels
  int32_t textAnchor;
  double letterSpacing;  // pixels added after every character
  double wordSpacing;    // pixels added after every blank
  bool vertical;
};

bool At(std::string_view content, std::size_t i, std::string_view marker) {
  return content.compare(i, marker.size(), marker) == 0;
}

// Counts, then collects, the markers of the content. The buffers are owned
// by the caller's KernelBlocks.
struct Markers {
  KernelBlock<int32_t> stringOpen, stringClose, tspanOpen, tspanClose, tref;
  int32_t stringCount = 0, tspanCount = 0, trefCount = 0;
  int32_t stringCloseCount = 0, tspanCloseCount = 0;
};

Status FindMarkers(std::string_view content, Markers& markers) {
  int32_t counts[5] = {0, 0, 0, 0, 0};
  for (std::size_t i = content.find('<'); i != std::string_view::npos;
       i = content.find('<', i + 1)) {
    if (At(content, i, kStringOpen)) ++counts[0];
    else if (At(content, i, kStringClose)) ++counts[1];
    else if (At(content, i, kTspanOpen)) ++counts[2];
    else if (At(content, i, kTspanClose)) ++counts[3];
    else if (At(content, i, kTrefOpen)) ++counts[4];
  }
  const auto make = [](int32_t count, KernelBlock<int32_t>& block) {
    if (count == 0) return true;
    block.Reset(SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(count)));
    return static_cast<bool>(block);
  };
  if (!make(counts[0], markers.stringOpen) || !make(counts[1], markers.stringClose) ||
      !make(counts[2], markers.tspanOpen) || !make(counts[3], markers.tspanClose) ||
      !make(counts[4], markers.tref)) {
    return kErrNoMemory;
  }
  for (std::size_t i = content.find('<'); i != std::string_view::npos;
       i = content.find('<', i + 1)) {
    const auto at = static_cast<int32_t>(i);
    if (At(content, i, kStringOpen)) markers.stringOpen[markers.stringCount++] = at;
    else if (At(content, i, kStringClose)) markers.stringClose[markers.stringCloseCount++] = at;
    else if (At(content, i, kTspanOpen)) markers.tspanOpen[markers.tspanCount++] = at;
    else if (At(content, i, kTspanClose)) markers.tspanClose[markers.tspanCloseCount++] = at;
    else if (At(content, i, kTrefOpen)) markers.tref[markers.trefCount++] = at;
  }
  return kOk;
}

// True when every record between `index` and its ancestor `text` is a
// tspan: only those tspans and trefs appear in the flattened content.
bool InContentOf(const SvgDocument& document, int32_t index, int32_t text) {
  int32_t steps = document.recordCount;
  for (int32_t p = document.records[index].parent; p >= 0 && steps-- > 0;
       p = document.records[p].parent) {
    if (p == text) return true;
    if (document.records[p].elementType != kElemTspan) return false;
  }
  return false;
}

// The records of `kind` in the text's content, in document order (the
// order of their markers): the records after the text that descend from it
// through tspans only. Unused entries stay -1.
Status ContentRecords(const SvgDocument& document, int32_t text, int32_t kind, int32_t count,
                      KernelBlock<int32_t>& out) {
  if (count == 0) return kOk;
  out.Reset(SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(count)));
  if (!out) return kErrNoMemory;
  for (int32_t n = 0; n < count; ++n) out[static_cast<std::size_t>(n)] = -1;
  int32_t found = 0;
  for (int32_t i = text + 1; i < document.recordCount && found < count; ++i) {
    const ElementRecord& record = document.records[i];
    if (record.elementType == kind && InContentOf(document, i, text)) {
      out[static_cast<std::size_t>(found++)] = i;
    }
  }
  return kOk;
}

// Builds the run table in reading order with one walk over the markers.
// Closing tspan markers end the innermost open tspan, so a run belongs to
// the innermost tspan around it; the n-th tspan (tref) marker stands for
// the n-th tspan (tref) record of the content.
Status BuildRuns(const SvgDocument& document, int32_t textIndex, std::string_view content,
                 const Markers& markers, KernelBlock<RunEntry>& runs, int32_t* runCount) {
  *runCount = 0;
  const int32_t total = markers.stringCount + markers.trefCount;
  if (total == 0) return kOk;
  runs.Reset(SVGFLT_ALLOC(RunEntry, static_cast<std::size_t>(total)));
  if (!runs) return kErrNoMemory;
  KernelBlock<int32_t> tspans;
  KernelBlock<int32_t> trefs;
  Status status = ContentRecords(document, textIndex, kElemTspan, markers.tspanCount, tspans);
  if (status == kOk) {
    status = ContentRecords(document, textIndex, kElemTref, markers.trefCount, trefs);
  }
  KernelBlock<int32_t> open;  // stack of the open tspans' record indices (-1: dropped record)
  if (status == kOk && markers.tspanCount > 0) {
    open.Reset(SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(markers.tspanCount)));
    if (!open) status = kErrNoMemory;
  }
  if (status != kOk) return status;

  const auto next = [](const int32_t* items, int32_t i, int32_t count) {
    return i < count ? items[i] : INT32_MAX;
  };
  int32_t s = 0, c = 0, o = 0, t = 0, e = 0, depth = 0, count = 0;
  while (s < markers.stringCount || t < markers.trefCount) {
    const int32_t atString = next(markers.stringOpen.get(), s, markers.stringCount);
    const int32_t atTref = next(markers.tref.get(), t, markers.trefCount);
    const int32_t atOpen = next(markers.tspanOpen.get(), o, markers.tspanCount);
    const int32_t atClose = next(markers.tspanClose.get(), e, markers.tspanCloseCount);
    const int32_t first = std::min(std::min(atString, atTref), std::min(atOpen, atClose));
    if (first == atOpen) {
      open[static_cast<std::size_t>(depth++)] = tspans[static_cast<std::size_t>(o++)];
      continue;
    }
    if (first == atClose) {
      if (depth > 0) --depth;
      ++e;
      continue;
    }
    RunEntry& run = runs[static_cast<std::size_t>(count++)];
    run.offset = first;
    const int32_t owner = depth > 0 ? open[static_cast<std::size_t>(depth - 1)] : -1;
    run.ownerIndex = owner >= 0 ? owner : textIndex;
    run.ownerKind = owner >= 0 ? kElemTspan : kElemText;
    if (first == atString) {
      ++s;
      run.begin = first + static_cast<int32_t>(kStringOpen.size());
      while (c < markers.stringCloseCount && markers.stringClose[c] < run.begin) ++c;
      const int32_t end = c < markers.stringCloseCount ? markers.stringClose[c]
                                                       : static_cast<int32_t>(content.size());
      run.length = end - run.begin;
    } else {
      const int32_t tref = trefs[static_cast<std::size_t>(t++)];
      // A tref whose record was dropped draws nothing.
      run.ownerIndex = tref >= 0 ? tref : textIndex;
      run.ownerKind = tref >= 0 ? kElemTref : kElemText;
      run.length = 0;
    }
  }
  *runCount = count;
  return kOk;
}

// Decodes "&#NN;" and "&#xHH;" references of `text` (in place) to UTF-8,
// which never needs more bytes than the reference; returns the new length.
std::size_t DecodeCharacterReferences(char* text, std::size_t length) {
  std::size_t out = 0;
  for (std::size_t i = 0; i < length;) {
    if (text[i] == '&' && i + 2 < length && text[i + 1] == '#') {
      std::size_t j = i + 2;
      const bool hex = text[j] == 'x' || text[j] == 'X';
      if (hex) ++j;
      uint32_t code = 0;
      std::size_t digits = 0;
      for (; j < length && digits < 8; ++j, ++digits) {
        const char ch = text[j];
        uint32_t value = 0;
        if (ch >= '0' && ch <= '9') value = static_cast<uint32_t>(ch - '0');
        else if (hex && ch >= 'a' && ch <= 'f') value = static_cast<uint32_t>(ch - 'a' + 10);
        else if (hex && ch >= 'A' && ch <= 'F') value = static_cast<uint32_t>(ch - 'A' + 10);
        else break;
        code = code * (hex ? 16u : 10u) + value;
      }
      if (digits > 0 && j < length && text[j] == ';' && code > 0 && code <= 0x10FFFF &&
          !(code >= 0xD800 && code <= 0xDFFF)) {
        char bytes[4];
        std::size_t n = 0;
        if (code < 0x80) {
          bytes[n++] = static_cast<char>(code);
        } else if (code < 0x800) {
          bytes[n++] = static_cast<char>(0xC0 | (code >> 6));
          bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
          bytes[n++] = static_cast<char>(0xE0 | (code >> 12));
          bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
        } else {
          bytes[n++] = static_cast<char>(0xF0 | (code >> 18));
          bytes[n++] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
          bytes[n++] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          bytes[n++] = static_cast<char>(0x80 | (code & 0x3F));
        }
        std::memcpy(text + out, bytes, n);
        out += n;
        i = j + 1;
        continue;
      }
    }
    text[out++] = text[i++];
  }
  return out;
}

// The characters of a content range as UTF-16, references decoded; a null
// block with *units 0 for nothing to draw.
Status RunCharacters(std::string_view content, int32_t begin, int32_t length,
                     KernelBlock<char16_t>& wide, int32_t* units) {
  *units = 0;
  wide.Reset();
  if (length <= 0) return kOk;
  KernelBlock<char> decoded(SVGFLT_ALLOC(char, static_cast<std::size_t>(length) + 1));
  if (!decoded) return kErrNoMemory;
  (void)AdvXMLParser::DecodePredefinedReferences(content.data() + begin,
                                                 static_cast<std::size_t>(length), decoded.get());
  std::size_t bytes = std::strlen(decoded.get());
  bytes = DecodeCharacterReferences(decoded.get(), bytes);
  if (bytes == 0) return kOk;
  const int32_t needed = MultiByteToWideChar(CP_UTF8, 0, decoded.get(),
                                             static_cast<int32_t>(bytes), nullptr, 0);
  if (needed <= 0) return kOk;
  wide.Reset(SVGFLT_ALLOC(char16_t, static_cast<std::size_t>(needed) + 1));
  if (!wide) return kErrNoMemory;
  *units = MultiByteToWideChar(CP_UTF8, 0, decoded.get(), static_cast<int32_t>(bytes),
                               wide.get(), needed);
  return kOk;
}

bool OnlyLineBreaksAndTabs(const char16_t* text, int32_t units) {
  for (int32_t i = 0; i < units; ++i) {
    if (text[i] != u'\t' && text[i] != u'\r' && text[i] != u'\n') return false;
  }
  return true;
}

OwnerLists ListsOf(const ElementRecord& owner) {
  OwnerLists lists{};
  const auto take = [](const LengthList& list, const SvgLength** items, int32_t* count) {
    *items = list.items;
    *count = list.items != nullptr ? list.count : 0;
  };
  const auto takeNumbers = [&lists](const NumberList& list) {
    lists.rotate = list.items;
    lists.rotateCount = list.items != nullptr ? list.count : 0;
  };
  switch (owner.elementType) {
    case kElemText: {
      const TextRecord& text = owner.data.text.own;
      take(text.dx, &lists.dx, &lists.dxCount);
      take(text.dy, &lists.dy, &lists.dyCount);
      takeNumbers(text.rotate);
      break;
    }
    case kElemTspan: {
      const TspanRecord& tspan = owner.data.tspan.own;
      take(tspan.x, &lists.x, &lists.xCount);
      take(tspan.y, &lists.y, &lists.yCount);
      take(tspan.dx, &lists.dx, &lists.dxCount);
      take(tspan.dy, &lists.dy, &lists.dyCount);
      takeNumbers(tspan.rotate);
      break;
    }
    case kElemTref: {
      const TrefRecord& tref = owner.data.tref.own;
      take(tref.x, &lists.x, &lists.xCount);
      take(tref.y, &lists.y, &lists.yCount);
      take(tref.dx, &lists.dx, &lists.dxCount);
      take(tref.dy, &lists.dy, &lists.dyCount);
      takeNumbers(tref.rotate);
      break;
    }
    default:
      break;
  }
  return lists;
}

RunStyle StyleOf(const ConversionContext& context, const PresentationProperties& props) {
  RunStyle style{};
  VectorLogFont& font = style.font;
  FontFaceName(props.fontFamily, font.faceName);
  font.italic = props.fontStyle == kFontStyleItalic || props.fontStyle == kFontStyleOblique;
  font.underline = props.textDecoration == kDecorationUnderline;
  font.strikeOut = props.textDecoration == kDecorationLineThrough;
  // bold and bolder are 700; the numeric weights pass as they are.
  font.weight = kWeightNormal;
  if (props.fontWeight == 1 || props.fontWeight == 2) {
    font.weight = kWeightBold;
  } else if (props.fontWeight >= 4 && props.fontWeight < kFontWeightCount) {
    font.weight = (props.fontWeight - 3) * 100;
  }
  style.fontSize = LengthToPixels(context, props.fontSize, LengthAxis::kVertical);
  font.height = -static_cast<int32_t>(std::lround(style.fontSize));
  style.textAnchor = props.textAnchor;
  if (props.letterSpacing.isKeyword == 0) {
    style.letterSpacing = LengthToPixels(context, props.letterSpacing.length, LengthAxis::kHorizontal);
  }
  if (props.wordSpacing.isKeyword == 0) {
    style.wordSpacing = LengthToPixels(context, props.wordSpacing.length, LengthAxis::kHorizontal);
  }
  style.vertical = props.writingMode == kWritingModeTb || props.writingMode == kWritingModeTbRl;
  return style;
}

// Places one text object at `at` (user units, y down) and moves the
// position past it.
struct RunEmitter {
  ConversionContext& context;
  int32_t elementIndex;
  const TransformList* elementTransform;  // applied through the kernel, or null when baked
  SvgMatrix matrix;

  // Moves the position to the object's right edge (lower edge in vertical
  // writing mode), mapped back into user units.
  void Advance(const KernelPoint& lower, const KernelPoint& upper, bool vertical,
               TextPosition& position) const {
    const SvgMatrix& m = matrix;
    if (vertical) {
      if (m.d != 0.0) position.y = (context.originY - m.f - lower.y) / m.d;
    } else if (m.a != 0.0) {
      position.x = (upper.x - m.e) / m.a;
    }
  }

  Status Emit(const char16_t* text, const TextPosition& at, const RunStyle& style,
              int32_t alignment, int32_t escapement, TextPosition& position) {
    VectorTextObject record;
    Status status = VectorInitObject(&record, kVoText);
    if (status != kOk) return status;
    record.pen = context.pen;
    record.brush = context.brush;
    if (context.paintEnabled == 0 || context.paintEnabled2 == 0 || context.clipContent != 0) {
      record.h.flags = kVoFlagHidden;
    }
    record.text = text;
    record.fontSize = style.fontSize;
    record.alignment = alignment;
    record.escapement = escapement;
    record.font = style.font;
    record.font.escapement = escapement;
    record.font.orientation = escapement;

    const SvgMatrix& m = matrix;
    const double origin = context.originY;
    KernelPoint lower{};
    KernelPoint upper{};
    if (m.b == 0.0 && m.c == 0.0) {
      // No rotation or shear: the anchor goes to its scaled place; the
      // kernel's scale then sets the font size (it scales text by the
      // vertical factor, so the record keeps the unscaled size) and the
      // translation moves it.
      const bool scaled = m.a != 1.0 || m.d != 1.0;
      record.position = KernelPoint{};
      record.position.x = scaled ? at.x * m.a : at.x + m.e;
      record.position.y = scaled ? origin - at.y * m.d : origin - at.y - m.f;
      status = AddElementObject(context, elementIndex, kVoText, &record);
      if (status != kOk) return status;
      const VectorObjectRef ref = context.lastObject;
      if (scaled) {
        const VectorTriple factors{m.a, m.d, 1.0};
        status = VectorObjectScale(context.document, &factors, ref, &record.position);
        if (status != kOk) return status;
        const VectorTriple offset{m.e, -m.f, 0.0};
        status = VectorObjectMove(context.document, &offset, ref);
        if (status != kOk) return status;
      }
      status = VectorGetObjectExtent(context.document, ref, &lower, &upper);
      if (status == kOk) Advance(lower, upper, style.vertical, position);
      // A run the kernel cannot measure (a zero font size) leaves the
      // position where it is.
      if (status == kVkErrFailed) status = kOk;
      if (status == kOk && elementTransform != nullptr) {
        status = ApplyElementTransform(context, *elementTransform, ref);
      }
      return status;
    }

    // Rotation or shear: the kernel's outline of the unturned text, carried
    // through the matrix as a point path.
    record.position = KernelPoint{};
    record.position.x = at.x;
    record.position.y = origin - at.y;
    VectorPointPath path{};
    status = VectorCopyObject(&record, &path);
    if (status == kOk && path.count > 0) {
      // The outline's own extent advances the position, in user units.
      double right = path.points[0].x;
      double bottom = path.points[0].y;
      for (int32_t i = 0; i < path.count; ++i) {
        KernelPoint& p = path.points[i];
        if (p.x > right) right = p.x;
        if (p.y < bottom) bottom = p.y;
        const double x = p.x;
        const double y = p.y;
        p.x = x * m.a - y * m.c + m.e;
        p.y = (origin - m.f) + (y * m.d - x * m.b);
        p.z = 0.0;
      }
      if (style.vertical) {
        position.y = origin - bottom;
      } else {
        position.x = right;
      }
      VectorPathObject outline;
      status = VectorInitObject(&outline, kVoPath);
      if (status == kOk) {
        outline.pen = record.pen;
        outline.brush = record.brush;
        outline.h.flags = record.h.flags;
        outline.h.fillRule = context.fillRule;
        outline.count = path.count;
        outline.points = path.points;
        outline.kinds = path.kinds;
        status = AddElementObject(context, elementIndex, kVoPath, &outline);
      }
      if (status == kOk && elementTransform != nullptr) {
        status = ApplyElementTransform(context, *elementTransform, context.lastObject);
      }
    }
    (void)VectorFreeObject(&path);
    return status;
  }
};

// The n-th value of a length list in pixels, or 0 past its end.
double ListValue(const ConversionContext& context, const SvgLength* items, int32_t count,
                 int32_t n, LengthAxis axis) {
  if (items == nullptr || n < 0 || n >= count) return 0.0;
  return LengthToPixels(context, items[n], axis);
}

// Converts one run of `units` UTF-16 characters. `charIndex` is the index of
// the run's first character among all characters of its owner: the owner's
// lists apply from there on.
Status ConvertRun(RunEmitter& emitter, const ElementRecord& owner, const char16_t* text,
                  int32_t units, int32_t charIndex, TextPosition& position) {
  ConversionContext& context = emitter.context;
  const PresentationProperties& props = CommonOf(owner).props;
  const RunStyle style = StyleOf(context, props);
  const OwnerLists lists = ListsOf(owner);
  const auto rotation = [&lists](int32_t i) {
    // The last rotate value holds for the characters after the list.
    if (lists.rotateCount == 0) return 0.0;
    return lists.rotate[i < lists.rotateCount ? i : lists.rotateCount - 1];
  };

  // Characters one by one when the owner gives them their own places or
  // turns, or spaces them.
  const bool perCharacter = lists.xCount > 1 || lists.yCount > 1 || lists.rotateCount > 1 ||
                            lists.dxCount > 1 || lists.dyCount > 1 ||
                            style.letterSpacing != 0.0 || style.wordSpacing != 0.0;
  if (!perCharacter) {
    // An owner's x and y place its first run absolutely; dx and dy shift the
    // first run and the shift stays for the runs after it.
    if (charIndex == 0) {
      if (lists.xCount > 0) position.x = ListValue(context, lists.x, lists.xCount, 0, LengthAxis::kHorizontal);
      if (lists.yCount > 0) position.y = ListValue(context, lists.y, lists.yCount, 0, LengthAxis::kVertical);
      position.x += ListValue(context, lists.dx, lists.dxCount, 0, LengthAxis::kHorizontal);
      position.y += ListValue(context, lists.dy, lists.dyCount, 0, LengthAxis::kVertical);
    }
    const double r = rotation(charIndex);
    const int32_t escapement = r != 0.0 ? RotateEscapement(r, style.font.escapement) : 0;
    const TextPosition at = position;
    return emitter.Emit(text, at, style, RunAlignment(style.textAnchor, false), escapement,
                        position);
  }

  const int32_t alignment = RunAlignment(style.textAnchor, true);
  Status status = kOk;
  for (int32_t i = 0; i < units && status == kOk;) {
    const int32_t index = charIndex + i;
    // A surrogate pair stays one character.
    const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < units &&
                      text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
    char16_t one[3] = {text[i], pair ? text[i + 1] : u'\0', u'\0'};
    const bool blank = text[i] == u' ';
    i += pair ? 2 : 1;
    if (index < lists.xCount) position.x = ListValue(context, lists.x, lists.xCount, index, LengthAxis::kHorizontal);
    if (index < lists.yCount) position.y = ListValue(context, lists.y, lists.yCount, index, LengthAxis::kVertical);
    position.x += ListValue(context, lists.dx, lists.dxCount, index, LengthAxis::kHorizontal);
    position.y += ListValue(context, lists.dy, lists.dyCount, index, LengthAxis::kVertical);
    const double r = rotation(index);
    const int32_t escapement = r != 0.0 ? RotateEscapement(r, style.font.escapement) : 0;
    const TextPosition at = position;
    // Blanks are objects too, so that the kernel gives them their width.
    status = emitter.Emit(one, at, style, alignment, escapement, position);
    // letter-spacing after every character, word-spacing after every blank
    // as well, in pixels along the writing direction.
    const double spacing = style.letterSpacing + (blank ? style.wordSpacing : 0.0);
    if (style.vertical) {
      position.y += spacing;
    } else {
      position.x += spacing;
    }
  }
  return status;
}

// The characters a tref stands for: all character runs of the text (or
// tspan) element it references, joined, as the referenced element's text
// content. Its markers are left out.
Status TrefCharacters(const SvgDocument& document, const ElementRecord& tref,
                      KernelBlock<char>& joined, int32_t* length) {
  *length = 0;
  const char* href = tref.data.tref.own.href;
  if (href == nullptr) return kOk;
  const int32_t target = FindId(document, href);
  if (target < 0 || target >= document.recordCount) return kOk;
  const ElementRecord& record = document.records[target];
  const char* content = nullptr;
  if (record.elementType == kElemText) content = record.data.text.own.content;
  if (record.elementType == kElemTspan) content = record.data.tspan.own.content;
  if (content == nullptr) return kOk;
  const std::string_view view(content);
  joined.Reset(SVGFLT_ALLOC(char, view.size() + 1));
  if (!joined) return kErrNoMemory;
  int32_t out = 0;
  for (std::size_t i = view.find(kStringOpen); i != std::string_view::npos;
       i = view.find(kStringOpen, i + 1)) {
    const std::size_t begin = i + kStringOpen.size();
    std::size_t end = view.find(kStringClose, begin);
    if (end == std::string_view::npos) end = view.size();
    std::memcpy(joined.get() + out, view.data() + begin, end - begin);
    out += static_cast<int32_t>(end - begin);
  }
  *length = out;
  return kOk;
}

// The smallest and largest owner record index of the runs.
void OwnerRange(const RunEntry* runs, int32_t runCount, int32_t* first, int32_t* last) {
  *first = runs[0].ownerIndex;
  *last = runs[0].ownerIndex;
  for (int32_t i = 1; i < runCount; ++i) {
    *first = std::min(*first, runs[i].ownerIndex);
    *last = std::max(*last, runs[i].ownerIndex);
  }
}

// --- textPath ----------------------------------------------------------------

constexpr double kPi = 3.14159265358979323846;
// Samples taken along each Bezier piece of a text path.
constexpr int32_t kCurveSamples = 16;
// Width of a blank and the space after a glyph's ink, in font sizes, where
// the glyph outline gives no advance of its own.
constexpr double kBlankWidth = 0.3;
constexpr double kSideBearing = 0.06;

// A text path as a polyline in user units (y down) with the distance along
// it at every point; a point that starts a figure adds no distance.
struct PathPolyline {
  KernelBlock<double> x, y, at;
  int32_t count = 0;
};

Status FlattenTextPath(ConversionContext& context, const ElementRecord& path,
                       PathPolyline& line) {
  PointPathBuffer buffer{};
  Status status = AppendShapeOutline(context, path,
                                     FoldTransformList(kIdentityMatrix, CommonOf(path).transform),
                                     buffer);
  if (status != kOk || buffer.count < 2) {
    FreePathBuffer(buffer);
    return status;
  }
  const auto size = static_cast<std::size_t>(buffer.count) * kCurveSamples;
  line.x.Reset(SVGFLT_ALLOC(double, size));
  line.y.Reset(SVGFLT_ALLOC(double, size));
  line.at.Reset(SVGFLT_ALLOC(double, size));
  if (!line.x || !line.y || !line.at) {
    FreePathBuffer(buffer);
    return kErrNoMemory;
  }
  const double origin = context.originY;
  const auto add = [&](double px, double py, bool move) {
    const int32_t n = line.count;
    line.x[n] = px;
    line.y[n] = origin - py;
    line.at[n] = n == 0 ? 0.0
                        : line.at[n - 1] + (move ? 0.0
                                                 : std::hypot(line.x[n] - line.x[n - 1],
                                                              line.y[n] - line.y[n - 1]));
    ++line.count;
  };
  for (int32_t i = 0; i < buffer.count; ++i) {
    const KernelPoint& p = buffer.points[i];
    const int32_t kind = buffer.kinds[i] & ~kPtCloseFigure;
    if (kind == kPtBezierTo && i > 0 && i + 2 < buffer.count) {
      const KernelPoint& p0 = buffer.points[i - 1];
      const KernelPoint& c2 = buffer.points[i + 1];
      const KernelPoint& p3 = buffer.points[i + 2];
      for (int32_t k = 1; k <= kCurveSamples; ++k) {
        const double t = static_cast<double>(k) / kCurveSamples, u = 1 - t;
        add(u * u * u * p0.x + 3 * u * u * t * p.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
            u * u * u * p0.y + 3 * u * u * t * p.y + 3 * u * t * t * c2.y + t * t * t * p3.y,
            false);
      }
      i += 2;
      continue;
    }
    add(p.x, p.y, kind == kPtMoveTo);
  }
  FreePathBuffer(buffer);
  return kOk;
}

// The point at distance `s` along the polyline and the direction there in
// degrees (clockwise, y down); false past either end.
bool PointAlong(const PathPolyline& line, double s, double* px, double* py, double* degrees) {
  if (line.count < 2 || s < 0 || s > line.at[line.count - 1]) return false;
  int32_t i = 1;
  while (i < line.count - 1 && (line.at[i] < s || line.at[i] == line.at[i - 1])) ++i;
  const double length = line.at[i] - line.at[i - 1];
  const double t = length > 0 ? (s - line.at[i - 1]) / length : 0.0;
  const double dx = line.x[i] - line.x[i - 1];
  const double dy = line.y[i] - line.y[i - 1];
  *px = line.x[i - 1] + t * dx;
  *py = line.y[i - 1] + t * dy;
  *degrees = std::atan2(dy, dx) * 180.0 / kPi;
  return true;
}

// The advance of one character by the kernel's outline of it: the right
// edge of its ink plus a small side bearing; blanks have a fixed width.
double CharacterAdvance(const RunStyle& style, const char16_t* one) {
  VectorTextObject record;
  if (VectorInitObject(&record, kVoText) != kOk) return style.fontSize * kBlankWidth;
  record.text = one;
  record.fontSize = style.fontSize;
  record.alignment = kCharAlignOther;
  record.font = style.font;
  record.position = KernelPoint{};
  VectorPointPath path{};
  double right = 0;
  if (VectorCopyObject(&record, &path) == kOk) {
    for (int32_t i = 0; i < path.count; ++i) right = std::max(right, path.points[i].x);
  }
  (void)VectorFreeObject(&path);
  if (right <= 0) return style.fontSize * kBlankWidth;
  return right + style.fontSize * kSideBearing;
}

// Draws a textPath's characters along the path it references: each
// character's baseline middle sits on the path at the distance its advance reaches,
// turned to the path's direction there; characters past the path's end are
// not drawn. startOffset (a length or a share of the path) and the
// text-anchor place the run as a whole.
Status ConvertTextPath(RunEmitter& emitter, SvgDocument& document, int32_t index) {
  ConversionContext& context = emitter.context;
  const ElementRecord& owner = document.records[index];
  const TextPathRecord& textPath = owner.data.textPath.own;
  if (textPath.content == nullptr || textPath.href == nullptr) return kOk;
  const int32_t target = FindId(document, textPath.href);
  if (target < 0 || target >= document.recordCount ||
      document.records[target].elementType < kElemPath ||
      document.records[target].elementType > kElemPolygon) {
    return kOk;
  }
  Status status = DrawingAttributes(context, document, index);
  if (status == kOk && context.clipOpened == 0) status = OpenClip(context, document, index);
  if (status != kOk) return status;
  PathPolyline line;
  status = FlattenTextPath(context, document.records[target], line);
  if (status != kOk || line.count < 2) return status;
  KernelBlock<char16_t> wide;
  int32_t units = 0;
  const std::string_view content(textPath.content);
  status = RunCharacters(content, 0, static_cast<int32_t>(content.size()), wide, &units);
  if (status != kOk || units == 0) return status;

  const RunStyle style = StyleOf(context, CommonOf(owner).props);
  KernelBlock<double> advances(SVGFLT_ALLOC(double, static_cast<std::size_t>(units)));
  if (!advances) return kErrNoMemory;
  // Measuring an advance costs a glyph outline; ASCII characters repeat, so
  // each is measured once per run.
  double asciiAdvance[128];
  std::fill(std::begin(asciiAdvance), std::end(asciiAdvance), -1.0);
  double total = 0;
  for (int32_t i = 0; i < units; ++i) {
    const char16_t c = wide[i];
    double advance = c < 128 ? asciiAdvance[c] : -1.0;
    if (advance < 0) {
      const char16_t one[2] = {c, u'\0'};
      advance = CharacterAdvance(style, one);
      if (c < 128) asciiAdvance[c] = advance;
    }
    advances[i] = advance + style.letterSpacing;
    total += advances[i];
  }
  const double length = line.at[line.count - 1];
  double s = textPath.startOffset.isPercent == 1
                 ? textPath.startOffset.value / 100.0 * length
                 : LengthToPixels(context, textPath.startOffset, LengthAxis::kHorizontal);
  if (style.textAnchor == 1) s -= total / 2;
  if (style.textAnchor == 2) s -= total;

  TextPosition position{};
  for (int32_t i = 0; i < units && status == kOk; ++i) {
    const double half = advances[i] / 2;
    double mx = 0, my = 0, degrees = 0;
    if (wide[i] != u' ' && PointAlong(line, s + half, &mx, &my, &degrees)) {
      const char16_t one[2] = {wide[i], u'\0'};
      const int32_t escapement = degrees != 0.0 ? RotateEscapement(degrees, 0) : 0;
      // Anchored at its middle, the kernel turns the glyph about that point.
      status = emitter.Emit(one, TextPosition{mx, my}, style, kCharAlignMiddle, escapement,
                            position);
    }
    s += advances[i];
  }
  return status;
}

}  // namespace

int32_t RunAlignment(int32_t textAnchor, bool perCharacter) {
  // kTextAnchorKeywords: start, middle, end, normal.
  if (perCharacter) {
    if (textAnchor == 1) return kCharAlignMiddle;
    if (textAnchor == 2) return kCharAlignEnd;
    return kCharAlignOther;
  }
  switch (textAnchor) {
    case 1: return kRunAlignMiddle;
    case 2: return kRunAlignEnd;
    case 3: return kRunAlignNormal;
    default: return kRunAlignStart;
  }
}

int32_t RotateEscapement(double degrees, int32_t fontEscapement) {
  if (degrees == 0.0) return fontEscapement;
  const double tenths = std::trunc((360.0 - degrees) * 10.0 + fontEscapement);
  if (!std::isfinite(tenths) || std::fabs(tenths) > 2e9) return fontEscapement;
  return static_cast<int32_t>(tenths) % 3600;
}

void FontFaceName(const char* family, char16_t (&face)[32]) {
  for (char16_t& unit : face) unit = 0;
  if (family == nullptr) return;
  std::string_view name(family);
  // The first family of a list, without quotes and blanks.
  name = name.substr(0, name.find(','));
  const auto isTrim = [](char ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '"' || ch == '\'';
  };
  while (!name.empty() && isTrim(name.front())) name.remove_prefix(1);
  while (!name.empty() && isTrim(name.back())) name.remove_suffix(1);
  if (name.empty()) return;
  if (name == "sans-serif") name = "sansserif";
  char16_t wide[kFaceUnits * 4];
  const int32_t units = MultiByteToWideChar(CP_UTF8, 0, name.data(),
                                            static_cast<int32_t>(name.size()), wide,
                                            static_cast<int32_t>(std::size(wide)));
  for (int32_t i = 0; i < units && i < kFaceUnits - 1; ++i) face[i] = wide[i];
}

namespace {
Status ConvertRuns(RunEmitter& emitter, SvgDocument& document, int32_t index);
}  // namespace

Status ConvertText(ConversionContext& context, SvgDocument& document, int32_t index) {
  if (index < 0 || index >= document.recordCount) return kErrMissing;
  const ElementRecord& textRecord = document.records[index];
  if (textRecord.elementType != kElemText) return kOk;
  SvgMatrix matrix = kIdentityMatrix;
  const TransformList& transform = CommonOf(textRecord).transform;
  const bool baked = BakedMatrix(context, transform, &matrix);
  RunEmitter emitter{context, index, baked ? nullptr : &transform, matrix};
  Status status = ConvertRuns(emitter, document, index);
  // The flattened content leaves textPath content out: each textPath of the
  // text draws its own characters along its path after the text's runs.
  for (int32_t i = index + 1; status == kOk && i < document.recordCount; ++i) {
    if (!InContentOf(document, i, index)) {
      if (document.records[i].parent < index) break;  // past the text's subtree
      continue;
    }
    if (document.records[i].elementType == kElemTextPath) {
      status = ConvertTextPath(emitter, document, i);
    }
  }
  return status;
}

namespace {

// The text's own runs, those of its tspans and its trefs, in reading order.
Status ConvertRuns(RunEmitter& emitter, SvgDocument& document, int32_t index) {
  ConversionContext& context = emitter.context;
  const ElementRecord& textRecord = document.records[index];
  const TextRecord& text = textRecord.data.text.own;
  if (text.content == nullptr || text.content[0] == '\0') return kOk;
  const std::string_view content(text.content);

  // The flattened content holds the character runs of the text, its tspans
  // and its trefs only: altGlyph and glyphRef content, and text inside other
  // child elements but textPath, never reach it and are not drawn.
  // Markers are found in the content as written: references are decoded
  // run by run afterwards, so "&lt;TSPAN&gt;" stays text.
  Markers markers;
  Status status = FindMarkers(content, markers);
  if (status != kOk) return status;
  KernelBlock<RunEntry> runs;
  int32_t runCount = 0;
  status = BuildRuns(document, index, content, markers, runs, &runCount);
  if (status != kOk || runCount == 0) return status;
  // Characters drawn so far per owner (UTF-16 units), indexed from the
  // first owner's record: a run starts at its owner's next list entries.
  int32_t firstOwner = 0, lastOwner = 0;
  OwnerRange(runs.get(), runCount, &firstOwner, &lastOwner);
  KernelBlock<int32_t> ownerUnits(
      SVGFLT_ALLOC(int32_t, static_cast<std::size_t>(lastOwner - firstOwner) + 1));
  if (!ownerUnits) return kErrNoMemory;

  TextPosition position{LengthToPixels(context, text.x, LengthAxis::kHorizontal),
                        LengthToPixels(context, text.y, LengthAxis::kVertical)};

  for (int32_t r = 0; r < runCount && status == kOk; ++r) {
    const RunEntry& run = runs[static_cast<std::size_t>(r)];
    const ElementRecord& owner = document.records[run.ownerIndex];
    KernelBlock<char16_t> wide;
    int32_t units = 0;
    if (run.ownerKind == kElemTref) {
      KernelBlock<char> joined;
      int32_t length = 0;
      status = TrefCharacters(document, owner, joined, &length);
      if (status == kOk && length > 0) {
        status = RunCharacters(std::string_view(joined.get(), static_cast<std::size_t>(length)),
                               0, length, wide, &units);
      }
    } else if (run.length > 0) {
      status = RunCharacters(content, run.begin, run.length, wide, &units);
    }
    if (status != kOk) break;
    if (units > 0 && OnlyLineBreaksAndTabs(wide.get(), units)) continue;

    status = DrawingAttributes(context, document, run.ownerIndex);
    if (status != kOk) break;
    if (units == 0 || (units == 1 && wide[0] == u' ')) continue;
    // Runs drawn before of the same owner consumed its first list entries.
    int32_t& drawn = ownerUnits[static_cast<std::size_t>(run.ownerIndex - firstOwner)];
    const int32_t before = drawn;
    drawn += units;

    if (context.clipOpened == 0) {
      status = OpenClip(context, document, run.ownerIndex);
      if (status != kOk) break;
    }
    status = ConvertRun(emitter, owner, wide.get(), units, before, position);
  }
  return status;
}

}  // namespace

}  // namespace svgflt
