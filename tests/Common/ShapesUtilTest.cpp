#include "Common/ShapesUtil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

KernelAccounting Accounting() {
  KernelAccounting now{};
  KernelGetAccounting(&now);
  return now;
}

std::string Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

// One segment as "<letter> <numbers> <flag>": the letter gives type and
// relative flag, the numbers follow the path grammar's parameter order.
std::string Describe(const PathSegment& s) {
  const bool rel = s.relative != 0;
  const PathSegmentParams& p = s.params;
  std::string out;
  switch (s.type) {
    case kSegmentMove:
      return std::string(rel ? "m " : "M ") + Number(p.move.x) + " " + Number(p.move.y);
    case kSegmentClose:
      out = rel ? "z" : "Z";
      if (p.line.x != 0 || p.line.y != 0) out += " " + Number(p.line.x) + " " + Number(p.line.y);
      return out;
    case kSegmentLine:
      out = std::string(rel ? "l " : "L ") + Number(p.line.x) + " " + Number(p.line.y);
      if (p.line.horizontal != 0) out += " H";
      if (p.line.vertical != 0) out += " V";
      return out;
    case kSegmentCubic:
      out = std::string(rel ? "c " : "C ") + Number(p.cubic.x1) + " " + Number(p.cubic.y1) + " " +
            Number(p.cubic.x2) + " " + Number(p.cubic.y2) + " " + Number(p.cubic.x) + " " +
            Number(p.cubic.y);
      if (p.cubic.smooth != 0) out += " S";
      return out;
    case kSegmentQuadratic:
      out = std::string(rel ? "q " : "Q ") + Number(p.quadratic.x1) + " " +
            Number(p.quadratic.y1) + " " + Number(p.quadratic.x) + " " + Number(p.quadratic.y);
      if (p.quadratic.smooth != 0) out += " T";
      return out;
    case kSegmentArc:
      return std::string(rel ? "a " : "A ") + Number(p.arc.rx) + " " + Number(p.arc.ry) + " " +
             Number(p.arc.rotation) + " " + std::to_string(p.arc.largeArc) + " " +
             std::to_string(p.arc.sweep) + " " + Number(p.arc.x) + " " + Number(p.arc.y);
    default:
      return "?";
  }
}

struct Path {
  PathSegmentList list{};
  ~Path() { FreePathData(&list); }
  std::string Text() const {
    std::string out;
    for (int32_t i = 0; i < list.count; ++i) {
      if (i > 0) out += "|";
      out += Describe(list.segments[i]);
    }
    return out;
  }
};

struct Points {
  PointList list{};
  ~Points() { FreePoints(&list); }
  std::string Text() const {
    std::string out;
    for (int32_t i = 0; i < list.count; ++i) {
      out += "(" + Number(list.points[i].x) + "," + Number(list.points[i].y) + ")";
    }
    return out;
  }
};

struct Case {
  const char* text;
  const char* segments;
};

// --- path data -----------------------------------------------------------

TEST(ParsePathData, ReadsCommandsNumbersAndImplicitRepetition) {
  const Case cases[] = {
      {"M10 10L20 20z", "M 10 10|L 20 20|z"},
      {"M0 0 10 0 10 10", "M 0 0|L 10 0|L 10 10"},
      {"m1 2 3 4", "m 1 2|l 3 4"},
      {"M0,0 H10 V10 Z M20,20 L30,30 Z", "M 0 0|L 10 0 H|L 0 10 V|Z|M 20 20|L 30 30|Z"},
      {"h5 v6 H1 2", "l 5 0 H|l 0 6 V|L 1 0 H|L 2 0 H"},
      {"L1 2 3", "L 1 2|L 3 0"},
      {"C1 2 3 4 5 6 s7 8 9 10", "C 1 2 3 4 5 6|c 0 0 7 8 9 10 S"},
      {"Q1 2 3 4 5 6 7 8 t9 10 11 12", "Q 1 2 3 4|Q 5 6 7 8|q 0 0 9 10 T|q 0 0 11 12 T"},
      {"A25 25 -30 0 1 50 -25", "A 25 25 -30 0 1 50 -25"},
      {"a1 2 3 4 0.5 6 7 1 1 0 0 -0 8 9", "a 1 2 3 1 1 6 7|a 1 1 0 0 0 8 9"},
      {"M0 0 Z 1 2 3", "M 0 0|Z|Z 1 2|Z 3 0"},
      {"", ""},
      {" \t\r\n, ", ""},
      // Numbers without separators.
      {"M.5.5", "M 0.5 0.5"},
      {"M1e2 -3", "M 100 -3"},
      {"M1e+2,1e-1", "M 100 0.1"},
      {"M10-5", "M 10 -5"},
      {"M1.5.5-3", "M 1.5 0.5|L -3 0"},
      {"M1..2", "M 1 0.2"},
      {"M1.L2 3", "M 1 0|L 2 3"},
      // Unexpanded line-break references are passed over.
      {"M0 0&#xD;&#xD;L1 1&#xD;", "M 0 0|L 1 1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Path path;
    ASSERT_EQ(ParsePathData(c.text, &path.list), kOk);
    EXPECT_EQ(path.Text(), c.segments);
  }
}

TEST(ParsePathData, StopsAtMalformedDataKeepingEarlierSegments) {
  const Case cases[] = {
      {"M1e2-3", ""},                       // sign after the exponent's digits
      {"M1E2 0", "M 1 0"},                  // upper-case exponent is no part of a number
      {"M 0 0 &#xD; 5 5", "M 0 0"},         // numbers after the line-break reference
      {"5 5", ""},                          // number before the first command
      {"M1 2 B", "M 1 2"},
      {"M1 2 L3 4 /", "M 1 2|L 3 4"},
      {"M1+2", "M 1 0"},
      {"M-L1 2", ""},
      {"M.L1 2", ""},
      {"M1e 2", ""},
      {"M1e2e3", ""},
      {"M1 - 2", "M 1 0"},
      {"M1 2..", "M 1 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Path path;
    EXPECT_EQ(ParsePathData(c.text, &path.list), kErrMissing);
    EXPECT_EQ(path.Text(), c.segments);
  }
}

TEST(ParsePathData, CutsLongNumberTexts) {
  Path path;
  ASSERT_EQ(ParsePathData("M1234567890123456789012345678901234567890 0.125", &path.list), kOk);
  ASSERT_EQ(path.list.count, 1);
  EXPECT_DOUBLE_EQ(path.list.segments[0].params.move.x, 1234567890123456789012345678901.0);
  EXPECT_EQ(path.list.segments[0].params.move.y, 0.125);
}

TEST(ParsePathData, MissingArguments) {
  Path path;
  EXPECT_EQ(ParsePathData(nullptr, &path.list), kErrMissing);
  EXPECT_EQ(ParsePathData("M0 0", nullptr), kErrMissing);
}

std::string Lines(int count) {
  std::string text = "M0 0";
  for (int i = 1; i < count; ++i) text += " L" + std::to_string(i) + " " + std::to_string(i);
  return text;
}

TEST(ParsePathData, GrowsBy20After15) {
  struct Growth {
    int segments;
    int64_t allocations;
  };
  for (const Growth g : {Growth{15, 1}, Growth{16, 2}, Growth{35, 2}, Growth{36, 3},
                         Growth{100, 6}}) {
    SCOPED_TRACE(g.segments);
    Path path;
    const std::string text = Lines(g.segments);
    const int64_t before = Accounting().totalAllocations;
    ASSERT_EQ(ParsePathData(text.c_str(), &path.list), kOk);
    EXPECT_EQ(Accounting().totalAllocations - before, g.allocations);
    ASSERT_EQ(path.list.count, g.segments);
    EXPECT_EQ(path.list.segments[g.segments - 1].params.line.x, g.segments - 1);
  }
}

TEST(ParsePathData, FailedGrowthKeepsTheStoredSegments) {
  const std::string text = Lines(40);
  const int64_t live = Accounting().liveBlocks;
  const int32_t kept[] = {0, 15, 35};
  for (int64_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    Path path;
    KernelFailAllocation(n);
    EXPECT_EQ(ParsePathData(text.c_str(), &path.list), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(path.list.count, kept[n - 1]);
    FreePathData(&path.list);
    EXPECT_EQ(Accounting().liveBlocks, live);
  }
}

TEST(ParsePathData, ReplacingAListFreesTheOldOne) {
  Path path;
  ASSERT_EQ(ParsePathData(Lines(20).c_str(), &path.list), kOk);
  const int64_t live = Accounting().liveBlocks;
  ASSERT_EQ(ParsePathData("M1 1", &path.list), kOk);
  EXPECT_EQ(Accounting().liveBlocks, live);
  EXPECT_EQ(path.Text(), "M 1 1");
}

// --- points --------------------------------------------------------------

TEST(ParsePoints, ReadsPairs) {
  const Case cases[] = {
      {"0,0 10-20", "(0,0)(10,-20)"},
      {"1,2 3,4,", "(1,2)(3,4)"},
      {" 1\t2\n3\r4 ", "(1,2)(3,4)"},
      {"-1-2 .5,-.5", "(-1,-2)(0.5,-0.5)"},
      {"0 0&#xD;1 1&#xA;2 2", "(0,0)(1,1)(2,2)"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Points points;
    ASSERT_EQ(ParsePoints(c.text, &points.list), kOk);
    EXPECT_EQ(points.Text(), c.segments);
  }
}

TEST(ParsePoints, RejectsMisplacedCommasUntouched) {
  for (const char* text : {",0 0", "1,,2", "1, ,2", "1 2,\t,3 4"}) {
    SCOPED_TRACE(text);
    Points points;
    ASSERT_EQ(ParsePoints("7 8", &points.list), kOk);
    EXPECT_EQ(ParsePoints(text, &points.list), kErrMisplacedComma);
    EXPECT_EQ(points.Text(), "(7,8)");
  }
}

TEST(ParsePoints, OddCountKeepsNoPoints) {
  for (const char* text : {"0 0 1", "5", "1,2,3,4,5,"}) {
    SCOPED_TRACE(text);
    Points points;
    EXPECT_EQ(ParsePoints(text, &points.list), kErrOddPointCount);
    EXPECT_EQ(points.list.count, 0);
    EXPECT_EQ(points.list.points, nullptr);
  }
}

TEST(ParsePoints, BadNumbersEndTheListKeepingEarlierPoints) {
  const Case cases[] = {
      {"1 2 3e5 4", "(1,2)"}, {"1 2 3 4a", "(1,2)"},   {"1 2 +3 4", "(1,2)"},
      {"1 2 10-20-30", "(1,2)"}, {"1 2 3 -", "(1,2)"}, {"1.2.3 4", ""},
      {"1 -2-3", ""},  // a y item is taken whole
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Points points;
    EXPECT_EQ(ParsePoints(c.text, &points.list), kErrBadValue);
    EXPECT_EQ(points.Text(), c.segments);
  }
  Points points;
  EXPECT_EQ(ParsePoints(nullptr, &points.list), kErrMissing);
  EXPECT_EQ(ParsePoints("1 2", nullptr), kErrMissing);
}

std::string Pairs(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + "," + std::to_string(-i) + " ";
  return text;
}

TEST(ParsePoints, GrowsByFive) {
  struct Growth {
    int points;
    int64_t allocations;
  };
  for (const Growth g : {Growth{5, 1}, Growth{6, 2}, Growth{10, 2}, Growth{11, 3}}) {
    SCOPED_TRACE(g.points);
    Points points;
    const std::string text = Pairs(g.points);
    const int64_t before = Accounting().totalAllocations;
    ASSERT_EQ(ParsePoints(text.c_str(), &points.list), kOk);
    EXPECT_EQ(Accounting().totalAllocations - before, g.allocations);
    ASSERT_EQ(points.list.count, g.points);
    EXPECT_EQ(points.list.points[g.points - 1].y, -(g.points - 1));
  }
}

TEST(ParsePoints, FailedGrowthKeepsTheStoredPoints) {
  const std::string text = Pairs(12);
  const int64_t live = Accounting().liveBlocks;
  const int32_t kept[] = {0, 5, 10};
  for (int64_t n = 1; n <= 3; ++n) {
    SCOPED_TRACE(n);
    Points points;
    KernelFailAllocation(n);
    EXPECT_EQ(ParsePoints(text.c_str(), &points.list), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(points.list.count, kept[n - 1]);
    FreePoints(&points.list);
    EXPECT_EQ(Accounting().liveBlocks, live);
  }
}

TEST(ParsePathData, ArraysCarryTheFileTag) {
  const int64_t before = KernelLiveBlocksTagged(u"Common/ShapesUtil");
  Path path;
  Points points;
  ASSERT_EQ(ParsePathData("M0 0", &path.list), kOk);
  ASSERT_EQ(ParsePoints("0 0", &points.list), kOk);
  EXPECT_EQ(KernelLiveBlocksTagged(u"Common/ShapesUtil"), before + 2);
}

}  // namespace
}  // namespace svgflt
