#include "Common/Stack.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

int64_t LiveBlocks() {
  KernelAccounting now{};
  KernelGetAccounting(&now);
  return now.liveBlocks;
}

// A parsed transform attribute, freed at the end.
struct Transform {
  TransformList list{};
  ~Transform() { FreeTransformList(&list); }
  std::vector<const TransformStep*> Steps() const {
    std::vector<const TransformStep*> steps;
    for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
      steps.push_back(step);
    }
    return steps;
  }
};

// The steps of a list as text: T tx,ty  S sx,sy  R angle@cx,cy  X/Y angle
// M a,b,c,d,e,f.
std::string Describe(const TransformList& list) {
  std::ostringstream out;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
    const TransformParams& p = step->params;
    if (step != list.first) out << ' ';
    switch (step->kind) {
      case kTransformTranslate: out << 'T' << p.translate.tx << ',' << p.translate.ty; break;
      case kTransformScale: out << 'S' << p.scale.sx << ',' << p.scale.sy; break;
      case kTransformRotate:
        out << 'R' << p.rotate.angle << '@' << p.rotate.cx << ',' << p.rotate.cy;
        break;
      case kTransformSkewX: out << 'X' << p.skew.angle; break;
      case kTransformSkewY: out << 'Y' << p.skew.angle; break;
      case kTransformMatrix:
        out << 'M' << p.matrix.a << ',' << p.matrix.b << ',' << p.matrix.c << ',' << p.matrix.d
            << ',' << p.matrix.e << ',' << p.matrix.f;
        break;
      default: out << '?' << step->kind;
    }
  }
  return out.str();
}

struct Stack {
  TransformNode* top = nullptr;
  ~Stack() { FreeTransformStack(&top); }
};

struct Point {
  double x;
  double y;
};
Point Map(const SvgMatrix& m, double x, double y) {
  return {m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f};
}

void ExpectMatrix(const SvgMatrix& m, const SvgMatrix& expected) {
  EXPECT_DOUBLE_EQ(m.a, expected.a);
  EXPECT_DOUBLE_EQ(m.b, expected.b);
  EXPECT_DOUBLE_EQ(m.c, expected.c);
  EXPECT_DOUBLE_EQ(m.d, expected.d);
  EXPECT_DOUBLE_EQ(m.e, expected.e);
  EXPECT_DOUBLE_EQ(m.f, expected.f);
}

// --- parsing -------------------------------------------------------------

TEST(ParseTransformList, ReadsStepsInWrittenOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"translate(5)", "T5,0"},
      {"translate( 10 20 )", "T10,20"},
      {"translate 10 20", "T10,20"},
      {"translate(1 2) foo", "T1,2"},
      {"translate(10px,1e1)", "T10,10"},
      {"scale(2)", "S2,2"},
      {"scale(-1 , .5 7)", "S-1,0.5"},
      // The angle is kept in single precision.
      {"rotate(45.1 10 20)", "R45.1@10,20"},
      {"matrix(1 0 0 1 10 20 99)", "M1,0,0,1,10,20"},
      {"matrix(2,3)", "M2,3,0,0,0,0"},
      // Skews keep the last number.
      {"skewX(10) skewX(20)", "X10 X20"},
      {"skewY(10 20)", "Y20"},
      {"translate(1),scale(2)rotate(3)skewX(4)skewY(5)matrix(6)",
       "T1,0 S2,2 R3@0,0 X4 Y5 M6,0,0,0,0,0"},
      // A name in other case is a number (0) of the current step.
      {"translate(7) Rotate(90)", "T7,0"},
      {"skewx(30)", ""},
      {"5 6 scale(3)", "S3,3"},
      {"", ""},
      {" ", ""},
      {"(,)\t\r\n", ""},
      {"12 34", ""},
  };
  for (const auto& [text, steps] : cases) {
    SCOPED_TRACE(text);
    Transform t;
    ASSERT_EQ(ParseTransformList(text, &t.list), kOk);
    EXPECT_EQ(Describe(t.list), steps);
  }
}

TEST(ParseTransformList, MissingArguments) {
  Transform t;
  EXPECT_EQ(ParseTransformList(nullptr, &t.list), kErrMissing);
  EXPECT_EQ(ParseTransformList("scale(2)", nullptr), kErrMissing);
}

TEST(ParseTransformList, ReplacingAListFreesTheOldOne) {
  const int64_t tagged = KernelLiveBlocksTagged(u"Common/Stack");
  Transform t;
  ASSERT_EQ(ParseTransformList("scale(2) scale(3)", &t.list), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Stack"), tagged + 2);
  const int64_t live = LiveBlocks();
  ASSERT_EQ(ParseTransformList("translate(1) translate(2)", &t.list), kOk);
  EXPECT_EQ(LiveBlocks(), live);
  EXPECT_EQ(t.list.first->kind, kTransformTranslate);
}

TEST(ParseTransformList, FailedAllocationFreesThePartialList) {
  const char* text = "scale(2) translate(1,2) rotate(3)";
  for (int64_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    Transform t;
    ASSERT_EQ(ParseTransformList("scale(9)", &t.list), kOk);
    const int64_t live = LiveBlocks();
    KernelFailAllocation(n);
    EXPECT_EQ(ParseTransformList(text, &t.list), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(LiveBlocks(), live);
    ASSERT_NE(t.list.first, nullptr);  // the old list stays
    EXPECT_EQ(t.list.first->params.scale.sx, 9);
  }
}

// --- folding -------------------------------------------------------------

TEST(MultiplyMatrix, AppliesTheRightOperandFirst) {
  const SvgMatrix translate{1, 0, 0, 1, 10, 0};
  const SvgMatrix scale{2, 0, 0, 2, 0, 0};
  const Point p = Map(MultiplyMatrix(translate, scale), 1, 0);
  EXPECT_DOUBLE_EQ(p.x, 12);
  EXPECT_DOUBLE_EQ(p.y, 0);
  const Point q = Map(MultiplyMatrix(scale, translate), 1, 0);
  EXPECT_DOUBLE_EQ(q.x, 22);
}

TEST(PushTransform, RotationIsFoldedInSinglePrecision) {
  Transform t;
  ASSERT_EQ(ParseTransformList("rotate(90)", &t.list), kOk);
  Stack stack;
  ASSERT_EQ(PushTransform(&stack.top, &t.list, 0), kOk);
  const SvgMatrix& m = stack.top->matrix;
  EXPECT_NEAR(m.a, -4.37e-8, 0.01e-8);
  EXPECT_EQ(m.a, static_cast<double>(static_cast<float>(m.a)));
  EXPECT_EQ(m.b, 1.0);
  EXPECT_EQ(m.c, -1.0);
  EXPECT_EQ(m.d, m.a);
  EXPECT_EQ(m.e, 0);
}

TEST(PushTransform, CentresAndSkewsActAsSvgDraws) {
  struct Case {
    const char* text;
    double x, y;            // a point
    double mappedX, mappedY;  // where the list puts it
  };
  const Case cases[] = {
      {"rotate(90 100 50)", 100, 50, 100, 50},   // the centre stays
      {"rotate(90 100 50)", 110, 50, 100, 60},
      {"rotate(180 10 10)", 0, 0, 20, 20},
      {"skewX(45)", 10, 20, 30, 20},
      {"skewY(45)", 10, 20, 10, 30},
      {"translate(5) skewX(45)", 0, 10, 15, 10},
      {"translate(10,0) scale(2)", 1, 0, 12, 0},  // the steps fold in written order
      {"matrix(1 0 0 1 10 20 99)", 1, 2, 11, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Transform t;
    ASSERT_EQ(ParseTransformList(c.text, &t.list), kOk);
    Stack stack;
    ASSERT_EQ(PushTransform(&stack.top, &t.list, 3), kOk);
    EXPECT_EQ(stack.top->count, 3);
    const SvgMatrix& m = stack.top->matrix;
    EXPECT_NEAR(m.a * c.x + m.c * c.y + m.e, c.mappedX, 1e-5);
    EXPECT_NEAR(m.b * c.x + m.d * c.y + m.f, c.mappedY, 1e-5);
  }
}

TEST(PushTransform, NestsOnTheTopMatrixAndPops) {
  Transform outer;
  ASSERT_EQ(ParseTransformList("translate(5,5)", &outer.list), kOk);
  Transform inner;
  ASSERT_EQ(ParseTransformList("scale(3)", &inner.list), kOk);
  Stack stack;
  const int64_t live = LiveBlocks();
  ASSERT_EQ(PushTransform(&stack.top, nullptr, 1), kOk);
  ExpectMatrix(stack.top->matrix, kIdentityMatrix);
  ASSERT_EQ(PushTransform(&stack.top, &outer.list, 2), kOk);
  ASSERT_EQ(PushTransform(&stack.top, &inner.list, 3), kOk);
  // Pushing the same list twice (two uses of one element) gives the same matrix.
  const SvgMatrix first = stack.top->matrix;
  PopTransform(&stack.top);
  ASSERT_EQ(PushTransform(&stack.top, &inner.list, 3), kOk);
  ExpectMatrix(stack.top->matrix, first);
  const Point p = Map(stack.top->matrix, 1, 1);
  EXPECT_DOUBLE_EQ(p.x, 8);
  EXPECT_DOUBLE_EQ(p.y, 8);
  EXPECT_EQ(LiveBlocks(), live + 3);
  PopTransform(&stack.top);
  EXPECT_EQ(stack.top->count, 2);
  PopTransform(&stack.top);
  PopTransform(&stack.top);
  EXPECT_EQ(stack.top, nullptr);
  PopTransform(&stack.top);  // an empty stack is left alone
  EXPECT_EQ(LiveBlocks(), live);
}

TEST(PushTransform, FailedAllocationLeavesTheStack) {
  Stack stack;
  ASSERT_EQ(PushTransform(&stack.top, nullptr, 1), kOk);
  TransformNode* before = stack.top;
  KernelFailAllocation(1);
  EXPECT_EQ(PushTransform(&stack.top, nullptr, 2), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(stack.top, before);
  EXPECT_EQ(PushTransform(nullptr, nullptr, 0), kErrMissing);
}

}  // namespace
}  // namespace svgflt
