#include "Common/ShapesUtil.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

std::string Numbers(std::initializer_list<double> values) {
  std::ostringstream out;
  for (const double v : values) out << ' ' << v;
  return out.str();
}

// One segment as "<letter> <numbers> <flag>": the letter gives type and
// relative flag, the numbers follow the path grammar's parameter order.
std::string Describe(const PathSegment& s) {
  const PathSegmentParams& p = s.params;
  static_assert(kSegmentMove == 0 && kSegmentArc == 5, "the letters below");
  const char* letters = "MZLCQA";
  std::string out(1, s.relative != 0 ? static_cast<char>(letters[s.type] + 32) : letters[s.type]);
  switch (s.type) {
    case kSegmentMove: return out + Numbers({p.move.x, p.move.y});
    case kSegmentClose: return p.line.x != 0 || p.line.y != 0 ? out + Numbers({p.line.x, p.line.y}) : out;
    case kSegmentLine:
      return out + Numbers({p.line.x, p.line.y}) + (p.line.horizontal != 0 ? " H" : "") +
             (p.line.vertical != 0 ? " V" : "");
    case kSegmentCubic:
      return out + Numbers({p.cubic.x1, p.cubic.y1, p.cubic.x2, p.cubic.y2, p.cubic.x, p.cubic.y}) +
             (p.cubic.smooth != 0 ? " S" : "");
    case kSegmentQuadratic:
      return out + Numbers({p.quadratic.x1, p.quadratic.y1, p.quadratic.x, p.quadratic.y}) +
             (p.quadratic.smooth != 0 ? " T" : "");
    default:
      return out + Numbers({p.arc.rx, p.arc.ry, p.arc.rotation, static_cast<double>(p.arc.largeArc),
                            static_cast<double>(p.arc.sweep), p.arc.x, p.arc.y});
  }
}

struct Path {
  PathSegmentList list{};
  ~Path() { FreePathData(&list); }
  std::string Text() const {
    std::string out;
    for (int32_t i = 0; i < list.count; ++i) out += (i > 0 ? "|" : "") + Describe(list.segments[i]);
    return out;
  }
};

struct Points {
  PointList list{};
  ~Points() { FreePoints(&list); }
  std::string Text() const {
    std::string out;
    for (int32_t i = 0; i < list.count; ++i) out += Numbers({list.points[i].x, list.points[i].y});
    return out;
  }
};

struct Case { const char* text; Status status; const char* parsed; };  // parsed: kept, also after a failure

TEST(ParsePathData, CommandsNumbersAndWhereMalformedDataStops) {
  const Case cases[] = {
      {"M10 10L20 20z", kOk, "M 10 10|L 20 20|z"}, {"M0 0 10 0", kOk, "M 0 0|L 10 0"},
      {"m1 2 3 4", kOk, "m 1 2|l 3 4"}, {"h5 v6 H1 2", kOk, "l 5 0 H|l 0 6 V|L 1 0 H|L 2 0 H"},
      {"C1 2 3 4 5 6 s7 8 9 10", kOk, "C 1 2 3 4 5 6|c 0 0 7 8 9 10 S"},
      {"Q1 2 3 4 t9 10", kOk, "Q 1 2 3 4|q 0 0 9 10 T"},
      {"a1 2 3 4 0.5 6 7 1 1 0 0 -0 8 9", kOk, "a 1 2 3 1 1 6 7|a 1 1 0 0 0 8 9"},
      {"M0 0 Z 1 2 3", kOk, "M 0 0|Z|Z 1 2|Z 3 0"}, {" \t\r\n, ", kOk, ""},
      {"M.5.5-3", kOk, "M 0.5 0.5|L -3 0"}, {"M1e+2,1e-1", kOk, "M 100 0.1"},
      // Unexpanded line-break references are passed over, up to the next command.
      {"M0 0&#xD;&#xD;L1 1&#xD;", kOk, "M 0 0|L 1 1"},
      {"M 0 0 &#xD; 5 5", kErrMissing, "M 0 0"},
      {"M1e2-3", kErrMissing, ""},   // sign after the exponent's digits
      {"M1E2 0", kErrMissing, "M 1 0"},  // upper-case exponent is no part of a number
      {"5 5", kErrMissing, ""}, {"M1 2 L3 4 /", kErrMissing, "M 1 2|L 3 4"},
      {"M1e2e3", kErrMissing, ""}, {"M1 2..", kErrMissing, "M 1 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Path path;
    ASSERT_EQ(ParsePathData("M9 9", &path.list), kOk);  // replaced, so freed
    EXPECT_EQ(ParsePathData(c.text, &path.list), c.status);
    EXPECT_EQ(path.Text(), c.parsed);
  }
  // Long number texts are cut.
  Path path;
  ASSERT_EQ(ParsePathData("M1234567890123456789012345678901234567890 0.125", &path.list), kOk);
  EXPECT_DOUBLE_EQ(path.list.segments[0].params.move.x, 1234567890123456789012345678901.0);
  EXPECT_EQ(ParsePathData(nullptr, &path.list), kErrMissing);
  EXPECT_EQ(ParsePathData("M0 0", nullptr), kErrMissing);
}

TEST(ParsePoints, PairsAndTheirFaults) {
  const Case cases[] = {
      {"0,0 10-20", kOk, " 0 0 10 -20"}, {" 1\t2\n3\r4, ", kOk, " 1 2 3 4"},
      {"-1-2 .5,-.5", kOk, " -1 -2 0.5 -0.5"}, {"0 0&#xD;1 1&#xA;2 2", kOk, " 0 0 1 1 2 2"},
      {",0 0", kErrMisplacedComma, " 7 8"},  // the list held stays
      {"1 2,\t,3 4", kErrMisplacedComma, " 7 8"}, {"0 0 1", kErrOddPointCount, ""},
      {"1 2 3e5 4", kErrBadValue, " 1 2"}, {"1.2.3 4", kErrBadValue, ""},
      {"1 -2-3", kErrBadValue, ""},  // a y item is taken whole
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Points points;
    ASSERT_EQ(ParsePoints("7 8", &points.list), kOk);
    EXPECT_EQ(ParsePoints(c.text, &points.list), c.status);
    EXPECT_EQ(points.Text(), c.parsed);
  }
  Points points;
  EXPECT_EQ(ParsePoints(nullptr, &points.list), kErrMissing);
  EXPECT_EQ(ParsePoints("1 2", nullptr), kErrMissing);
}

// "0,0 1,-1 2,-2 ...": `count` points, or segments after an "M".
std::string Pairs(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += std::to_string(i) + "," + std::to_string(-i) + " ";
  return text;
}

// Path segments grow 15, then 20 at a time; points 5 at a time. A failed
// growth keeps what is stored; nothing stays live once the list is freed.
TEST(ParsePathData, ArraysGrowInStepsAndKeepWhatIsStoredOnFailure) {
  const struct { bool points; int items; int64_t allocations; } cases[] = {
      {false, 15, 1}, {false, 36, 3}, {true, 5, 1}, {true, 11, 3}};
  for (const auto& g : cases) {
    SCOPED_TRACE(::testing::Message() << g.points << " " << g.items);
    const std::string text = g.points ? Pairs(g.items) : "M" + Pairs(g.items);
    const int64_t tagged = KernelLiveBlocksTagged(u"Common/ShapesUtil");
    const auto parse = [&](Path* path, Points* points) {
      return g.points ? ParsePoints(text.c_str(), &points->list) : ParsePathData(text.c_str(), &path->list);
    };
    for (int64_t n = 1; n <= g.allocations; ++n) {
      Path path;
      Points points;
      KernelFailAllocation(n);
      EXPECT_EQ(parse(&path, &points), kErrNoMemory) << n;
      KernelFailAllocation(0);
      const int32_t kept = g.points ? points.list.count : path.list.count;
      EXPECT_EQ(kept, n == 1 ? 0 : g.points ? 5 * (n - 1) : 15 + 20 * (n - 2)) << n;
    }
    Path path;
    Points points;
    KernelFailAllocation(g.allocations + 1);  // one more allocation would be refused
    ASSERT_EQ(parse(&path, &points), kOk);
    KernelFailAllocation(0);
    EXPECT_EQ(g.points ? points.list.count : path.list.count, g.items);
    EXPECT_EQ(KernelLiveBlocksTagged(u"Common/ShapesUtil"), tagged + 1);
  }
}

}  // namespace
}  // namespace svgflt
