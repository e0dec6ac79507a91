#include "Common/Stack.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

struct Transform {
  TransformList list{};
  ~Transform() { FreeTransformList(&list); }
};
struct Stack {
  TransformNode* top = nullptr;
  ~Stack() { FreeTransformStack(&top); }
};

// The steps of a list as text: T tx,ty  S sx,sy  R angle@cx,cy  X/Y angle
// M a,b,c,d,e,f.
std::string Describe(const TransformList& list) {
  std::ostringstream out;
  for (const TransformStep* step = list.first; step != nullptr; step = step->next) {
    const TransformParams& p = step->params;
    out << (step == list.first ? "" : " ");
    switch (step->kind) {
      case kTransformTranslate: out << 'T' << p.translate.tx << ',' << p.translate.ty; break;
      case kTransformScale: out << 'S' << p.scale.sx << ',' << p.scale.sy; break;
      case kTransformRotate: out << 'R' << p.rotate.angle << '@' << p.rotate.cx << ',' << p.rotate.cy; break;
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

TEST(ParseTransformList, ReadsStepsInWrittenOrder) {
  const std::pair<const char*, const char*> cases[] = {
      {"translate 10 20", "T10,20"}, {"translate(10px,1e1)", "T10,10"},
      {"scale(-1 , .5 7)", "S-1,0.5"}, {"rotate(45.1 10 20)", "R45.1@10,20"},
      {"matrix(2,3)", "M2,3,0,0,0,0"}, {"skewY(10 20)", "Y20"},  // skews keep the last number
      {"translate(1),scale(2)rotate(3)skewX(4)skewY(5)matrix(1 0 0 1 10 20 99)",
       "T1,0 S2,2 R3@0,0 X4 Y5 M1,0,0,1,10,20"},
      // A name in other case is no function: a number (0) of the current step.
      {"translate(7) Rotate(90)", "T7,0"},
      {"5 6 scale(3)", "S3,3"}, {"(,)\t\r\n", ""},
  };
  for (const auto& [text, steps] : cases) {
    SCOPED_TRACE(text);
    Transform t;
    ASSERT_EQ(ParseTransformList(text, &t.list), kOk);
    EXPECT_EQ(Describe(t.list), steps);
  }
  Transform t;
  EXPECT_EQ(ParseTransformList(nullptr, &t.list), kErrMissing);
  EXPECT_EQ(ParseTransformList("scale(2)", nullptr), kErrMissing);
  EXPECT_EQ(PushTransform(nullptr, nullptr, 0), kErrMissing);
}

TEST(ParseTransformList, ReplacesTheOldListOnlyOnSuccess) {
  const int64_t tagged = KernelLiveBlocksTagged(u"Common/Stack");
  Transform t;
  ASSERT_EQ(ParseTransformList("scale(9) scale(3)", &t.list), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Stack"), tagged + 2);
  for (int64_t n = 1; n <= 3; ++n) {  // the first, a middle and the last step
    KernelFailAllocation(n);
    EXPECT_EQ(ParseTransformList("scale(2) translate(1,2) rotate(3)", &t.list), kErrNoMemory) << n;
    KernelFailAllocation(0);
    EXPECT_EQ(Describe(t.list), "S9,9 S3,3") << n;
  }
  ASSERT_EQ(ParseTransformList("translate(1)", &t.list), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Stack"), tagged + 1);
}

TEST(PushTransform, CentresAndSkewsActAsSvgDraws) {
  // A point (x, y) and where the list puts it; the steps fold in written order.
  const struct { const char* text; double x, y, mappedX, mappedY; } cases[] = {
      {"rotate(90 100 50)", 110, 50, 100, 60}, {"skewX(45)", 10, 20, 30, 20}, {"skewY(45)", 10, 20, 10, 30},
      {"translate(10,0) scale(2)", 1, 0, 12, 0}, {"matrix(1 2 3 4 10 20)", 1, 2, 17, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Transform t;
    ASSERT_EQ(ParseTransformList(c.text, &t.list), kOk);
    Stack stack;
    ASSERT_EQ(PushTransform(&stack.top, &t.list, 3), kOk);
    const SvgMatrix& m = stack.top->matrix;
    EXPECT_NEAR(m.a * c.x + m.c * c.y + m.e, c.mappedX, 1e-5);
    EXPECT_NEAR(m.b * c.x + m.d * c.y + m.f, c.mappedY, 1e-5);
    // Angles are folded in single precision: cos 90 degrees is -4.37e-8.
    EXPECT_TRUE(std::strncmp(c.text, "rotate(90", 9) != 0 || std::fabs(m.a + 4.37e-8) < 1e-10) << m.a;
  }
}

TEST(PushTransform, NestsOnTheTopMatrixAndPops) {
  Transform outer, inner;
  ASSERT_EQ(ParseTransformList("translate(5,5)", &outer.list), kOk);
  ASSERT_EQ(ParseTransformList("scale(3)", &inner.list), kOk);
  Stack stack;
  const int64_t live = KernelLiveBlocksTagged(u"Common/Stack");
  ASSERT_EQ(PushTransform(&stack.top, &outer.list, 2), kOk);
  ASSERT_EQ(PushTransform(&stack.top, &inner.list, 3), kOk);
  const SvgMatrix& m = stack.top->matrix;
  EXPECT_DOUBLE_EQ(m.a + m.c + m.e, 8);  // (1, 1) scaled, then moved
  EXPECT_DOUBLE_EQ(m.b + m.d + m.f, 8);
  TransformNode* const before = stack.top;
  KernelFailAllocation(1);
  EXPECT_EQ(PushTransform(&stack.top, nullptr, 4), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(stack.top, before);
  PopTransform(&stack.top);
  EXPECT_EQ(stack.top->count, 2);
  PopTransform(&stack.top);
  PopTransform(&stack.top);  // an empty stack is left alone
  EXPECT_EQ(stack.top, nullptr);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/Stack"), live);
}

}  // namespace
}  // namespace svgflt
