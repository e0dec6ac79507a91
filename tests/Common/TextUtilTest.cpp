#include "Common/TextUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/SvgDocument.h"
#include "ImagingKernel/ImagingKernel.h"
#include "SvgSnippetLoad.h"
#include "svgfilter/FilterStatus.h"
#include "support/KernelLeakGuard.h"

namespace svgflt {
namespace {

// Frees the lists it holds at the end of the test, before the leak check.
struct Lists {
  LengthList lengths{};
  NumberList numbers{};
  ~Lists() {
    FreeLengthList(&lengths);
    FreeNumberList(&numbers);
  }
};

std::vector<double> Values(const LengthList& list) {
  std::vector<double> values;
  for (int32_t i = 0; i < list.count; ++i) values.push_back(list.items[i].value);
  return values;
}

std::vector<double> Values(const NumberList& list) {
  return std::vector<double>(list.items, list.items + list.count);
}

// --- ParseLengthList -----------------------------------------------------------

TEST(ParseLengthList, SplitsAtCommasAndWhitespace) {
  struct Case {
    const char* text;
    std::vector<double> values;
  };
  const Case cases[] = {
      {"10, 20 30", {10, 20, 30}},
      {"  ,,1\t\n2\r3 ,", {1, 2, 3}},
      {"5", {5}},
      {"", {}},
      {" , \t", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Lists lists;
    ASSERT_EQ(ParseLengthList(c.text, kElemTspan, &lists.lengths), kOk);
    EXPECT_EQ(Values(lists.lengths), c.values);
  }
}

TEST(ParseLengthList, KeepsEachUnit) {
  Lists lists;
  ASSERT_EQ(ParseLengthList("1px 2% 3mm 4", kElemText, &lists.lengths), kOk);
  ASSERT_EQ(lists.lengths.count, 4);
  EXPECT_EQ(lists.lengths.items[0].unit, kUnitPx);
  EXPECT_EQ(lists.lengths.items[1].unit, kUnitNone);
  EXPECT_EQ(lists.lengths.items[1].isPercent, 1);
  EXPECT_EQ(lists.lengths.items[2].unit, kUnitMm);
  EXPECT_EQ(lists.lengths.items[3].unit, kUnitNone);
  EXPECT_EQ(lists.lengths.items[3].isPercent, 0);
}

TEST(ParseLengthList, MalformedItemIsCountedAndEndsTheList) {
  struct Case {
    const char* text;
    int32_t count;
  };
  for (const Case c : {Case{"1 2q 3", 2}, Case{"abc 1", 1}, Case{"1 2 1e3", 3}, Case{"4 5 px", 3}}) {
    SCOPED_TRACE(c.text);
    Lists lists;
    EXPECT_EQ(ParseLengthList(c.text, kElemAltGlyph, &lists.lengths), kOk);
    ASSERT_EQ(lists.lengths.count, c.count);
    // The malformed item stands as 0 user units.
    const SvgLength& last = lists.lengths.items[c.count - 1];
    EXPECT_EQ(last.value, 0.0);
    EXPECT_EQ(last.unit, kUnitNone);
  }
}

TEST(ParseLengthList, GrowsByTenAfterFive) {
  struct Case {
    int entries;
    int32_t capacity;
  };
  for (const Case c : {Case{1, 5}, Case{5, 5}, Case{6, 15}, Case{15, 15}, Case{16, 25},
                       Case{20, 25}}) {
    SCOPED_TRACE(c.entries);
    std::string text;
    for (int i = 0; i < c.entries; ++i) text += std::to_string(i) + " ";
    Lists lists;
    ASSERT_EQ(ParseLengthList(text.c_str(), kElemTref, &lists.lengths), kOk);
    EXPECT_EQ(lists.lengths.count, c.entries);
    EXPECT_EQ(lists.lengths.capacity, c.capacity);
    EXPECT_EQ(lists.lengths.items[c.entries - 1].value, c.entries - 1);
  }
}

TEST(ParseLengthList, ReplacesTheListItHolds) {
  Lists lists;
  ASSERT_EQ(ParseLengthList("1 2 3", kElemText, &lists.lengths), kOk);
  ASSERT_EQ(ParseLengthList("7", kElemText, &lists.lengths), kOk);
  EXPECT_EQ(Values(lists.lengths), std::vector<double>{7});
  EXPECT_EQ(lists.lengths.capacity, 5);
}

TEST(ParseLengthList, RefusesMissingArgumentsAndKindsWithoutLists) {
  Lists lists;
  EXPECT_EQ(ParseLengthList(nullptr, kElemText, &lists.lengths), kErrMissing);
  EXPECT_EQ(ParseLengthList("1", kElemText, nullptr), kErrMissing);
  for (const int32_t kind : {kElemTextPath, kElemGlyphRef, kElemRect}) {
    SCOPED_TRACE(kind);
    EXPECT_EQ(ParseLengthList("1", kind, &lists.lengths), kErrMissing);
    EXPECT_EQ(lists.lengths.count, 0);
  }
}

TEST(ParseLengthList, FailedAllocationLeavesTheListEmpty) {
  // Allocation 1 is the working copy, 2 the first block, 3 the growth.
  for (int64_t n : {1, 2, 3}) {
    SCOPED_TRACE(n);
    Lists lists;
    KernelFailAllocation(n);
    EXPECT_EQ(ParseLengthList("1 2 3 4 5 6", kElemText, &lists.lengths), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(lists.lengths.count, 0);
    EXPECT_EQ(lists.lengths.items, nullptr);
  }
}

// --- ParseNumberList -----------------------------------------------------------

TEST(ParseNumberList, StopsBeforeTheFirstItemThatIsNoNumber) {
  struct Case {
    const char* text;
    std::vector<double> values;
  };
  const Case cases[] = {
      {"15 abc 30", {15}},
      {"-90, 45.5\t0", {-90, 45.5, 0}},
      {"1 +2 3", {1}},
      {"1 1e2", {1}},
      {"5deg", {}},
      {"", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Lists lists;
    EXPECT_EQ(ParseNumberList(c.text, kElemTspan, &lists.numbers), kOk);
    EXPECT_EQ(Values(lists.numbers), c.values);
  }
}

TEST(ParseNumberList, GrowsByTenAfterFive) {
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::to_string(i * 10) + ",";
  Lists lists;
  ASSERT_EQ(ParseNumberList(text.c_str(), kElemText, &lists.numbers), kOk);
  EXPECT_EQ(lists.numbers.count, 20);
  EXPECT_EQ(lists.numbers.capacity, 25);
  EXPECT_EQ(lists.numbers.items[19], 190.0);
}

TEST(ParseNumberList, FailedAllocationLeavesTheListEmpty) {
  for (int64_t n : {1, 2, 3}) {
    SCOPED_TRACE(n);
    Lists lists;
    KernelFailAllocation(n);
    EXPECT_EQ(ParseNumberList("1 2 3 4 5 6", kElemText, &lists.numbers), kErrNoMemory);
    KernelFailAllocation(0);
    EXPECT_EQ(lists.numbers.count, 0);
    EXPECT_EQ(lists.numbers.items, nullptr);
  }
}

}  // namespace
}  // namespace svgflt
