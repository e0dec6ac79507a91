#include "Common/outstr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "ImagingKernel/ImagingKernel.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

// A fresh buffer per test, its text given back at the end.
class OutputBufferTest : public ::testing::Test {
 protected:
  void SetUp() override { InitOutputBuffer(&out_); }
  void TearDown() override { FreeOutputText(&out_); }
  std::string Text() const { return std::string(out_.text, out_.length); }

  OutputBuffer out_{};
};

TEST(FormatNumbers, MatchPrintfInTheCLocale) {
  char scratch[kScratchSize];
  char expected[512];
  for (const double v : {0.0, -1.0, 0.1234567, 123456.0, 1234567.0, 1e-5, 0.0001, 1e21,
                         -2.5e-12, 99999.95, std::numeric_limits<double>::infinity()}) {
    std::snprintf(expected, sizeof expected, "%g", v);
    EXPECT_EQ(std::string(scratch, FormatG(v, scratch)), expected);
    std::snprintf(expected, sizeof expected, "%f", v);
    EXPECT_EQ(std::string(scratch, FormatF(v, scratch)), expected);
  }
  // Beyond the scratch field the G form is used.
  EXPECT_EQ(std::string(scratch, FormatF(1e300, scratch)), "1e+300");
  EXPECT_EQ(std::string(scratch, FormatD(std::numeric_limits<std::int32_t>::min(), scratch)),
            "-2147483648");
}

constexpr std::int32_t kDashes[] = {5, 3, 2, 3};
constexpr double kNumbers[] = {0.5, 1e6, -3};

// Values, lists and tags: the rows the writer's golden files leave out
// (the tags at positive levels with indentation on are in every one of
// them); `level`/`indentOn` set before, `levelAfter` checked.
TEST_F(OutputBufferTest, ValuesListsAndTags) {
  struct Case { int32_t level, indentOn; Status (*write)(OutputBuffer*); std::string expected; int32_t levelAfter; };
  const Case cases[] = {
      // Red in the lowest byte; the fourth byte is ignored.
      {0, 1, [](OutputBuffer* o) { return Colour(o, 0xFF1234AB); }, "\"#AB3412\" ", 0},
      {0, 1, [](OutputBuffer* o) { return IntList(o, kDashes, 4); }, "5, 3, 2, 3", 0},
      {0, 1, [](OutputBuffer* o) { return IntList(o, kDashes, 0); }, "", 0},
      {0, 1, [](OutputBuffer* o) { return NumberList(o, kNumbers, 3); }, "0.5, 1e+06, -3", 0},
      // No tabs when indentation is off or the level not positive.
      {3, 0, [](OutputBuffer* o) { return Comment(o, "x"); }, "<!-- x -->\r\n", 3},
      {-2, 1, [](OutputBuffer* o) { return BeginEmptyElement(o, "a"); }, "<a ", -2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    out_.length = 0;
    out_.free = out_.initialSize;
    out_.indentLevel = c.level;
    out_.indentOn = c.indentOn;
    EXPECT_EQ(c.write(&out_), kOk);
    EXPECT_EQ(Text(), c.expected);
    EXPECT_EQ(out_.indentLevel, c.levelAfter);
  }
}

// Growth by 500 bytes as often as needed; after a failed growth the text is
// kept and later appends are refused, so no gap appears in it.
TEST_F(OutputBufferTest, GrowsByTheGrowthStepAndKeepsTheTextWhenGrowthFails) {
  const std::string block(1300, 'a');
  EXPECT_EQ(Append(&out_, block.c_str()), kOk);
  EXPECT_EQ(out_.length + out_.free, 1524u);
  EXPECT_EQ(Append(&out_, std::string(1800, 'b').c_str()), kOk);
  EXPECT_EQ(out_.length + out_.free, 3524u);  // 1524 + 4 x 500
  KernelFailAllocation(1);
  EXPECT_EQ(Append(&out_, std::string(2000, 'x').c_str()), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(Append(&out_, "later"), kErrNoMemory);  // it would fit
  EXPECT_EQ(Text(), block + std::string(1800, 'b'));
}

TEST(OutputBufferInit, WithoutMemoryTheBufferHoldsNoStorage) {
  OutputBuffer out{};
  KernelFailAllocation(1);
  InitOutputBuffer(&out);
  KernelFailAllocation(0);
  EXPECT_EQ(out.valid, 0);
  EXPECT_EQ(Append(&out, "x"), kErrNoMemory);
  EXPECT_EQ(Colour(&out, 0x000080FF), kErrNoStorage);
  EXPECT_EQ(out.length, 0u);
  FreeOutputText(&out);
}

}  // namespace
}  // namespace svgflt
