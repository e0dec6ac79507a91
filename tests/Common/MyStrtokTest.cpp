#include "Common/MyStrtok.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "ImagingKernel/ImagingKernel.h"
#include "support/KernelLeakGuard.h"
#include "svgfilter/FilterStatus.h"

namespace svgflt {
namespace {

class MyStrtokTest : public ::testing::Test {
 protected:
  void SetUp() override { MyStrtokReset(); }
  void TearDown() override { MyStrtokReset(); }

  // Starts on `text` (null: continues) and joins the tokens of this level with '|'.
  static std::string Tokens(char* text, const char* delimiters) {
    std::string joined;
    for (char* token = MyStrtok(text, delimiters); token != nullptr;
         token = MyStrtok(nullptr, delimiters)) {
      joined += std::string(joined.empty() ? "" : "|") + token;
    }
    return joined;
  }
};

TEST_F(MyStrtokTest, ClosingANestedLevelResumesTheOuterOne) {
  char outer[] = "1;2;3", inner[] = "a b c";
  ASSERT_STREQ(MyStrtok(outer, ";"), "1");
  ASSERT_STREQ(MyStrtok(inner, " "), "a");
  EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);  // drops "b c"
  EXPECT_EQ(Tokens(nullptr, ";"), "2|3");
}

TEST_F(MyStrtokTest, DeepNestingGrowsTheSaveStackAndResetFreesIt) {
  const int64_t live = testing::KernelSnapshot().liveBlocks;
  constexpr int kLevels = 250;  // two growths of the save stack
  std::vector<std::string> texts;
  for (int i = 0; i < kLevels; ++i) texts.push_back(std::to_string(i) + " rest" + std::to_string(i));
  for (int i = 0; i < kLevels; ++i) ASSERT_EQ(MyStrtok(texts[i].data(), " "), std::to_string(i));
  for (int i = kLevels - 1; i >= 0; --i) {
    ASSERT_TRUE(Tokens(nullptr, " ") == "rest" + std::to_string(i) && MyStrtok(nullptr, nullptr) == nullptr) << i;
  }
  EXPECT_TRUE(MyStrtokStatus() == kOk && testing::KernelSnapshot().liveBlocks == live + 1);
  MyStrtokReset();
  EXPECT_EQ(testing::KernelSnapshot().liveBlocks, live);
}

TEST_F(MyStrtokTest, FailedNestedStartKeepsPushAndPopBalanced) {
  char outer[] = "x y", inner[] = "a;b";
  ASSERT_STREQ(MyStrtok(outer, " "), "x");
  // The outer start took the first of 100 entries; fill the other 99 so that
  // the next start must grow the save stack.
  std::vector<std::string> more(99, std::string("u"));
  for (std::string& text : more) ASSERT_NE(MyStrtok(text.data(), " "), nullptr);
  KernelFailAllocation(1);
  EXPECT_EQ(MyStrtok(inner, ";"), nullptr);
  KernelFailAllocation(0);
  EXPECT_TRUE(MyStrtokStatus() == kErrNoMemory && MyStrtok(nullptr, ";") == nullptr);
  for (std::size_t i = 0; i <= more.size(); ++i) EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);
  EXPECT_STREQ(MyStrtok(nullptr, " "), "y");
  MyStrtokReset();
  EXPECT_EQ(MyStrtokStatus(), kOk);
}

TEST_F(MyStrtokTest, EachThreadHasItsOwnState) {
  char text[] = "main1 main2";
  ASSERT_STREQ(MyStrtok(text, " "), "main1");
  std::string seen;
  std::thread other([&seen] {
    char own[] = "t1;t2";
    seen = Tokens(own, ";");
    MyStrtokReset();
  });
  other.join();
  EXPECT_EQ(seen, "t1|t2");
  EXPECT_STREQ(MyStrtok(nullptr, " "), "main2");
}

}  // namespace
}  // namespace svgflt
