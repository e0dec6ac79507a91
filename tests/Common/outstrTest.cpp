#include "Common/outstr.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
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
  void SetUp() override {
    InitOutputBuffer(&out_);
    ASSERT_EQ(out_.valid, 1);
  }
  void TearDown() override {
    KernelFailAllocation(0);
    FreeOutputText(&out_);
  }
  std::string Text() const { return std::string(out_.text, out_.length); }
  std::uint32_t Capacity() const { return out_.length + out_.free; }

  OutputBuffer out_{};
};

std::string Printf(const char* format, double v) {
  char text[512];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

// Runs `body` with LC_NUMERIC set to a locale whose decimal separator is a
// comma; false when the system has none.
template <typename Body>
bool WithCommaLocale(Body body) {
  const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      body();
      std::setlocale(LC_NUMERIC, previous.c_str());
      return true;
    }
  }
  return false;
}

constexpr double kSamples[] = {0.0,       1.0,     -1.0,     0.1234567, 0.5,    123456.0,
                               1234567.0, 1e-5,    0.0001,   1e-7,      1e21,   -2.5e-12,
                               870.0 / 2000, 3.0 * 0.435, 99999.95, 0.000123456789, 1e300,
                               std::numeric_limits<double>::infinity()};

TEST(FormatNumbers, GMatchesPrintfInTheCLocale) {
  for (const double v : kSamples) {
    SCOPED_TRACE(v);
    char scratch[kScratchSize];
    const std::size_t n = FormatG(v, scratch);
    EXPECT_EQ(std::string(scratch, n), Printf("%g", v));
  }
}

TEST(FormatNumbers, FMatchesPrintfInTheCLocale) {
  for (const double v : {0.0, 12.0, 40.5, -3.25, 1e-7, 123456789.125}) {
    SCOPED_TRACE(v);
    char scratch[kScratchSize];
    const std::size_t n = FormatF(v, scratch);
    EXPECT_EQ(std::string(scratch, n), Printf("%f", v));
  }
  // Beyond the scratch field the G form is used.
  char scratch[kScratchSize];
  EXPECT_EQ(std::string(scratch, FormatF(1e300, scratch)), "1e+300");
}

TEST(FormatNumbers, IgnoreTheProcessLocale) {
  const bool ran = WithCommaLocale([] {
    char scratch[kScratchSize];
    EXPECT_EQ(std::string(scratch, FormatG(0.5, scratch)), "0.5");
    EXPECT_EQ(std::string(scratch, FormatF(40.5, scratch)), "40.500000");
  });
  if (!ran) GTEST_SKIP() << "no locale with a decimal comma installed";
}

TEST(FormatNumbers, DPrintsIntegersWithSign) {
  char scratch[kScratchSize];
  EXPECT_EQ(std::string(scratch, FormatD(0, scratch)), "0");
  EXPECT_EQ(std::string(scratch, FormatD(-45, scratch)), "-45");
  EXPECT_EQ(std::string(scratch, FormatD(std::numeric_limits<std::int32_t>::min(), scratch)),
            "-2147483648");
}

constexpr std::int32_t kDashes[] = {5, 3, 2, 3};
constexpr double kNumbers[] = {0.5, 1e6, -3};

TEST_F(OutputBufferTest, ValuesAndLists) {
  struct Case {
    const char* name;
    Status (*write)(OutputBuffer*);
    const char* expected;
  };
  const Case cases[] = {
      {"number 1.0", [](OutputBuffer* o) { return QuotedNumber(o, 1.0); }, "\"1\" "},
      {"number 0.1234567", [](OutputBuffer* o) { return QuotedNumber(o, 0.1234567); }, "\"0.123457\" "},
      {"number 1e-7", [](OutputBuffer* o) { return QuotedNumber(o, 1e-7); }, "\"1e-07\" "},
      {"int -12", [](OutputBuffer* o) { return QuotedInt(o, -12); }, "\"-12\" "},
      {"string", [](OutputBuffer* o) { return QuotedString(o, "butt"); }, "\"butt\" "},
      {"orange", [](OutputBuffer* o) { return Colour(o, 0x000080FF); }, "\"#FF8000\" "},
      {"colour ignores the fourth byte", [](OutputBuffer* o) { return Colour(o, 0xFF123456); },
       "\"#563412\" "},
      {"xy", [](OutputBuffer* o) { return XYPair(o, 1.5, -2); }, "x=\"1.5\" y=\"-2\" "},
      {"size", [](OutputBuffer* o) { return SizePair(o, 870, 435); },
       "width=\"870\" height=\"435\" "},
      // Lists separate their values with a comma and a blank.
      {"one int", [](OutputBuffer* o) { return IntList(o, kDashes, 1); }, "5"},
      {"ints", [](OutputBuffer* o) { return IntList(o, kDashes, 4); }, "5, 3, 2, 3"},
      {"no ints", [](OutputBuffer* o) { return IntList(o, kDashes, 0); }, ""},
      {"numbers", [](OutputBuffer* o) { return NumberList(o, kNumbers, 3); }, "0.5, 1e+06, -3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    out_.length = 0;
    out_.free = out_.initialSize;
    EXPECT_EQ(c.write(&out_), kOk);
    EXPECT_EQ(Text(), c.expected);
  }
}

TEST_F(OutputBufferTest, ColourOfABufferWithoutStorageAppendsNothing) {
  FreeOutputText(&out_);
  EXPECT_EQ(Colour(&out_, 0x000080FF), kErrNoStorage);
  EXPECT_EQ(out_.length, 0u);
}

TEST_F(OutputBufferTest, TagsFollowTheIndentationLevel) {
  struct Case {
    int32_t level;
    int32_t indentOn;
    Status (*write)(OutputBuffer*);
    std::string expected;
    int32_t levelAfter;
  } cases[] = {
      {1, 1,
       [](OutputBuffer* o) {
         Status s = BeginElement(o, "g", 1);
         if (s == kOk) s = BeginEmptyElement(o, "rect");
         if (s == kOk) s = Append(o, "/>\r\n");
         return s == kOk ? BeginElement(o, "text", 0) : s;
       },
       "\t<g>\r\n\t\t<rect />\r\n\t\t<text ", 2},
      // An empty line before the closing tag.
      {2, 1, [](OutputBuffer* o) { return EndElement(o, "g"); }, "\r\n\t</g>\r\n", 1},
      // No tabs when indentation is off or the level not positive.
      {3, 0, [](OutputBuffer* o) { return Comment(o, "x"); }, "<!-- x -->\r\n", 3},
      {-2, 1, [](OutputBuffer* o) { return BeginEmptyElement(o, "a"); }, "<a ", -2},
      {40, 1, [](OutputBuffer* o) { return Comment(o, "deep"); },
       std::string(40, '\t') + "<!-- deep -->\r\n", 40},
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

TEST_F(OutputBufferTest, GrowsByTheGrowthStepAsOftenAsNeeded) {
  const std::string block(1300, 'a');
  EXPECT_EQ(Append(&out_, block.c_str()), kOk);
  EXPECT_EQ(Capacity(), 1524u);
  EXPECT_EQ(out_.free, 224u);
  EXPECT_GE(out_.allocated, Capacity());
  const std::string more(1800, 'b');
  EXPECT_EQ(Append(&out_, more.c_str()), kOk);
  // 3100 bytes: 1524 + 4 × 500.
  EXPECT_EQ(Capacity(), 3524u);
  EXPECT_EQ(Text(), block + more);
}

TEST_F(OutputBufferTest, FailedGrowthKeepsTheTextAndRefusesLaterAppends) {
  EXPECT_EQ(Append(&out_, "kept"), kOk);
  const std::string block(2000, 'x');
  KernelFailAllocation(1);
  EXPECT_EQ(Append(&out_, block.c_str()), kErrNoMemory);
  KernelFailAllocation(0);
  EXPECT_EQ(out_.overflow, 1);
  EXPECT_EQ(out_.valid, 1);
  // A short append would fit, but a gap in the text must not appear.
  EXPECT_EQ(Append(&out_, "later"), kErrNoMemory);
  EXPECT_EQ(Text(), "kept");
}

TEST(OutputBufferInit, WithoutMemoryTheBufferHoldsNoStorage) {
  OutputBuffer out{};
  KernelFailAllocation(1);
  InitOutputBuffer(&out);
  KernelFailAllocation(0);
  EXPECT_EQ(out.valid, 0);
  EXPECT_EQ(out.text, nullptr);
  EXPECT_EQ(out.file, -1);
  EXPECT_EQ(Append(&out, "x"), kErrNoMemory);
  FreeOutputText(&out);
}

}  // namespace
}  // namespace svgflt
