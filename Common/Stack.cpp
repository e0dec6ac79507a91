#include "Common/Stack.h"

#include <array>
#include <cmath>
#include <string_view>

#include "Common/GeneralUtil.h"
#include "Common/KernelMemory.h"

namespace svgflt {
namespace {

constexpr char16_t kSourceTag[] = u"Common/Stack";

// Delimiters of transform tokens: whitespace, parentheses and commas. They
// are never tokens themselves, and runs of them separate like one.
constexpr std::array<bool, 256> kTransformDelimiters = [] {
  std::array<bool, 256> table{};
  for (unsigned char c : std::string_view(" \t\n\r(),")) table[c] = true;
  return table;
}();

constexpr bool IsTransformDelimiter(char c) {
  return kTransformDelimiters[static_cast<unsigned char>(c)];
}

struct FunctionName {
  std::string_view name;  // matched exactly, case included
  int32_t kind;
};
constexpr std::array<FunctionName, 6> kFunctionNames{{{"matrix", kTransformMatrix},
                                                      {"translate", kTransformTranslate},
                                                      {"scale", kTransformScale},
                                                      {"rotate", kTransformRotate},
                                                      {"skewX", kTransformSkewX},
                                                      {"skewY", kTransformSkewY}}};

int32_t FunctionKind(std::string_view token) {
  for (const FunctionName& function : kFunctionNames) {
    if (token == function.name) return function.kind;
  }
  return 0;
}

// Stores the `index`-th number of a step; numbers beyond the kind's count
// are dropped.
void StoreParameter(TransformStep& step, int32_t index, double value) {
  TransformParams& p = step.params;
  switch (step.kind) {
    case kTransformTranslate:
      if (index == 0) p.translate.tx = value;
      if (index == 1) p.translate.ty = value;
      break;
    case kTransformScale:
      if (index == 0) p.scale.sx = p.scale.sy = value;
      if (index == 1) p.scale.sy = value;
      break;
    case kTransformRotate:
      if (index == 0) p.rotate.angle = static_cast<float>(value);
      if (index == 1) p.rotate.cx = value;
      if (index == 2) p.rotate.cy = value;
      break;
    case kTransformSkewX:
    case kTransformSkewY:
      p.skew.angle = value;  // the last number wins
      break;
    case kTransformMatrix: {
      double* fields[6] = {&p.matrix.a, &p.matrix.b, &p.matrix.c,
                           &p.matrix.d, &p.matrix.e, &p.matrix.f};
      if (index < 6) *fields[index] = value;
      break;
    }
    default:
      break;
  }
}

void FreeSteps(TransformStep* step) {
  while (step != nullptr) {
    TransformStep* next = step->next;
    KernelRelease(step);
    step = next;
  }
}

// The matrix of one step. Rotation is folded in single precision (degrees
// times pi/180, cosine and sine each rounded to float), so rotate(90) leaves a ~-4.37e-8
// in a and d. A rotation turns about its centre (cx, cy) and skews shear by
// the tangent of their angle, as a browser draws them.
constexpr double kPi = 3.14159265358979323846;

SvgMatrix StepMatrix(const TransformStep& step) {
  const TransformParams& p = step.params;
  switch (step.kind) {
    case kTransformTranslate:
      return SvgMatrix{1, 0, 0, 1, p.translate.tx, p.translate.ty};
    case kTransformScale:
      return SvgMatrix{p.scale.sx, 0, 0, p.scale.sy, 0, 0};
    case kTransformMatrix:
      return p.matrix;
    case kTransformRotate: {
      // The factor is single precision too; float times float rounds once.
      constexpr float kRadiansPerDegree = 0.017453292f;
      const float radians = p.rotate.angle * kRadiansPerDegree;
      const double cosine = static_cast<float>(std::cos(static_cast<double>(radians)));
      const double sine = static_cast<float>(std::sin(static_cast<double>(radians)));
      const double cx = p.rotate.cx, cy = p.rotate.cy;
      return SvgMatrix{cosine, sine, -sine, cosine, cx - cosine * cx + sine * cy,
                       cy - sine * cx - cosine * cy};
    }
    case kTransformSkewX:
      return SvgMatrix{1, 0, std::tan(p.skew.angle * kPi / 180), 1, 0, 0};
    case kTransformSkewY:
      return SvgMatrix{1, std::tan(p.skew.angle * kPi / 180), 0, 1, 0, 0};
    default:
      return kIdentityMatrix;
  }
}

}  // namespace

Status ParseTransformList(const char* text, TransformList* out) {
  if (text == nullptr || out == nullptr) return kErrMissing;
  TransformStep* first = nullptr;
  TransformStep* last = nullptr;
  int32_t parameter = 0;

  const char* cursor = text;
  while (true) {
    while (*cursor != '\0' && IsTransformDelimiter(*cursor)) ++cursor;
    if (*cursor == '\0') break;
    const char* begin = cursor;
    while (*cursor != '\0' && !IsTransformDelimiter(*cursor)) ++cursor;
    const std::string_view token(begin, static_cast<std::size_t>(cursor - begin));

    const int32_t kind = FunctionKind(token);
    if (kind != 0) {
      TransformStep* step = SVGFLT_ALLOC(TransformStep, 1);
      if (step == nullptr) {
        FreeSteps(first);
        return kErrNoMemory;
      }
      step->kind = kind;
      (last != nullptr ? last->next : first) = step;
      last = step;
      parameter = 0;
    } else if (last != nullptr) {
      StoreParameter(*last, parameter++, ConvertNumberPrefix(token));
    }
  }
  FreeTransformList(out);
  out->first = first;
  return kOk;
}

void FreeTransformList(TransformList* list) {
  FreeSteps(list->first);
  list->first = nullptr;
}

SvgMatrix MultiplyMatrix(const SvgMatrix& p, const SvgMatrix& t) {
  return SvgMatrix{t.a * p.a + t.b * p.c,       t.a * p.b + t.b * p.d,
                   t.c * p.a + t.d * p.c,       t.c * p.b + t.d * p.d,
                   t.e * p.a + t.f * p.c + p.e, t.e * p.b + t.f * p.d + p.f};
}

SvgMatrix FoldTransformList(const SvgMatrix& start, const TransformList& list) {
  SvgMatrix matrix = start;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
    matrix = MultiplyMatrix(matrix, StepMatrix(*step));
  }
  return matrix;
}

Status PushTransform(TransformNode** top, const TransformList* list, int32_t count) {
  if (top == nullptr) return kErrMissing;
  TransformNode* node = SVGFLT_ALLOC(TransformNode, 1);
  if (node == nullptr) return kErrNoMemory;
  const SvgMatrix base = *top != nullptr ? (*top)->matrix : kIdentityMatrix;
  node->matrix = list != nullptr ? FoldTransformList(base, *list) : base;
  node->count = count;
  node->below = *top;
  *top = node;
  return kOk;
}

void PopTransform(TransformNode** top) {
  TransformNode* node = *top;
  if (node == nullptr) return;
  *top = node->below;
  KernelRelease(node);
}

void FreeTransformStack(TransformNode** top) {
  while (*top != nullptr) PopTransform(top);
}

}  // namespace svgflt
