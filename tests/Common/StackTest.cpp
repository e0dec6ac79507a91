#include "Common/Stack.h"

#include <gtest/gtest.h>

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

TEST(ParseTransformList, ReadsTwoNumberFunctions) {
  struct Case {
    const char* text;
    int32_t kind;
    double first;
    double second;
  };
  const Case cases[] = {
      {"translate(5)", kTransformTranslate, 5, 0},
      {"translate(10,20)", kTransformTranslate, 10, 20},
      {"translate( 10 20 )", kTransformTranslate, 10, 20},
      {"translate 10 20", kTransformTranslate, 10, 20},
      {"translate(1 2) foo", kTransformTranslate, 1, 2},
      {"translate(10px,1e1)", kTransformTranslate, 10, 10},
      {"scale(2)", kTransformScale, 2, 2},
      {"scale(2,3)", kTransformScale, 2, 3},
      {"scale(-1 , .5 7)", kTransformScale, -1, 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Transform t;
    ASSERT_EQ(ParseTransformList(c.text, &t.list), kOk);
    const auto steps = t.Steps();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0]->kind, c.kind);
    const TransformParams& p = steps[0]->params;
    if (c.kind == kTransformTranslate) {
      EXPECT_DOUBLE_EQ(p.translate.tx, c.first);
      EXPECT_DOUBLE_EQ(p.translate.ty, c.second);
    } else {
      EXPECT_DOUBLE_EQ(p.scale.sx, c.first);
      EXPECT_DOUBLE_EQ(p.scale.sy, c.second);
    }
  }
}

TEST(ParseTransformList, RotateKeepsSinglePrecisionAngleAndCentre) {
  Transform t;
  ASSERT_EQ(ParseTransformList("rotate(45.1 10 20)", &t.list), kOk);
  const auto steps = t.Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, kTransformRotate);
  EXPECT_EQ(steps[0]->params.rotate.angle, 45.1f);
  EXPECT_EQ(steps[0]->params.rotate.cx, 10);
  EXPECT_EQ(steps[0]->params.rotate.cy, 20);
}

TEST(ParseTransformList, MatrixTakesSixNumbers) {
  Transform t;
  ASSERT_EQ(ParseTransformList("matrix(1 0 0 1 10 20 99)", &t.list), kOk);
  const auto steps = t.Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, kTransformMatrix);
  ExpectMatrix(steps[0]->params.matrix, SvgMatrix{1, 0, 0, 1, 10, 20});
  Transform short_;
  ASSERT_EQ(ParseTransformList("matrix(2,3)", &short_.list), kOk);
  ExpectMatrix(short_.Steps()[0]->params.matrix, SvgMatrix{2, 3, 0, 0, 0, 0});
}

TEST(ParseTransformList, SkewKeepsTheLastNumber) {
  Transform two;
  ASSERT_EQ(ParseTransformList("skewX(10) skewX(20)", &two.list), kOk);
  auto steps = two.Steps();
  ASSERT_EQ(steps.size(), 2u);
  EXPECT_EQ(steps[0]->params.skew.angle, 10);
  EXPECT_EQ(steps[1]->params.skew.angle, 20);
  Transform one;
  ASSERT_EQ(ParseTransformList("skewY(10 20)", &one.list), kOk);
  steps = one.Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->kind, kTransformSkewY);
  EXPECT_EQ(steps[0]->params.skew.angle, 20);
}

TEST(ParseTransformList, KeepsWrittenOrder) {
  Transform t;
  ASSERT_EQ(ParseTransformList("translate(1),scale(2)rotate(3)skewX(4)skewY(5)matrix(6)", &t.list),
            kOk);
  std::vector<int32_t> kinds;
  for (const TransformStep* step : t.Steps()) kinds.push_back(step->kind);
  EXPECT_EQ(kinds, (std::vector<int32_t>{kTransformTranslate, kTransformScale, kTransformRotate,
                                         kTransformSkewX, kTransformSkewY, kTransformMatrix}));
}

TEST(ParseTransformList, OtherCaseNamesAreNumbersOfTheCurrentStep) {
  Transform t;
  ASSERT_EQ(ParseTransformList("translate(7) Rotate(90)", &t.list), kOk);
  const auto steps = t.Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->params.translate.tx, 7);
  EXPECT_EQ(steps[0]->params.translate.ty, 0);  // "Rotate" stored as 0, 90 dropped
  Transform skew;
  ASSERT_EQ(ParseTransformList("skewx(30)", &skew.list), kOk);
  EXPECT_TRUE(skew.Steps().empty());
}

TEST(ParseTransformList, DropsNumbersBeforeTheFirstFunction) {
  Transform t;
  ASSERT_EQ(ParseTransformList("5 6 scale(3)", &t.list), kOk);
  const auto steps = t.Steps();
  ASSERT_EQ(steps.size(), 1u);
  EXPECT_EQ(steps[0]->params.scale.sx, 3);
}

TEST(ParseTransformList, EmptyTextsGiveAnEmptyList) {
  for (const char* text : {"", " ", "(,)\t\r\n", "12 34"}) {
    SCOPED_TRACE(text);
    Transform t;
    ASSERT_EQ(ParseTransformList(text, &t.list), kOk);
    EXPECT_EQ(t.list.first, nullptr);
  }
}

TEST(ParseTransformList, MissingArguments) {
  Transform t;
  EXPECT_EQ(ParseTransformList(nullptr, &t.list), kErrMissing);
  EXPECT_EQ(ParseTransformList("scale(2)", nullptr), kErrMissing);
}

TEST(ParseTransformList, ReplacingAListFreesTheOldOne) {
  Transform t;
  ASSERT_EQ(ParseTransformList("scale(2) scale(3)", &t.list), kOk);
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

TEST(PushTransform, FoldsStepsInWrittenOrder) {
  Transform t;
  ASSERT_EQ(ParseTransformList("translate(10,0) scale(2)", &t.list), kOk);
  Stack stack;
  ASSERT_EQ(PushTransform(&stack.top, &t.list, 3), kOk);
  EXPECT_EQ(stack.top->count, 3);
  const Point p = Map(stack.top->matrix, 1, 0);
  EXPECT_DOUBLE_EQ(p.x, 12);
  EXPECT_DOUBLE_EQ(p.y, 0);
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Transform t;
    ASSERT_EQ(ParseTransformList(c.text, &t.list), kOk);
    Stack stack;
    ASSERT_EQ(PushTransform(&stack.top, &t.list, 0), kOk);
    const SvgMatrix& m = stack.top->matrix;
    EXPECT_NEAR(m.a * c.x + m.c * c.y + m.e, c.mappedX, 1e-5);
    EXPECT_NEAR(m.b * c.x + m.d * c.y + m.f, c.mappedY, 1e-5);
  }
}

TEST(PushTransform, MatrixEqualsTheSameTranslation) {
  Transform matrix;
  ASSERT_EQ(ParseTransformList("matrix(1 0 0 1 10 20 99)", &matrix.list), kOk);
  Transform translate;
  ASSERT_EQ(ParseTransformList("translate(10,20)", &translate.list), kOk);
  Stack a;
  Stack b;
  ASSERT_EQ(PushTransform(&a.top, &matrix.list, 0), kOk);
  ASSERT_EQ(PushTransform(&b.top, &translate.list, 0), kOk);
  ExpectMatrix(a.top->matrix, b.top->matrix);
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

TEST(ParseTransformList, StepsCarryTheFileTag) {
  const int64_t before = KernelLiveBlocksTagged(u"Common/Stack");
  Transform t;
  ASSERT_EQ(ParseTransformList("scale(1) scale(2)", &t.list), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Stack"), before + 2);
}

}  // namespace
}  // namespace svgflt
