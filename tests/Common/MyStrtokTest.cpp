#include "Common/MyStrtok.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
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

// Every test starts and ends with an empty tokenizer state.
class MyStrtokTest : public ::testing::Test {
 protected:
  void SetUp() override { MyStrtokReset(); }
  void TearDown() override { MyStrtokReset(); }

  // The remaining tokens of the current level.
  static std::vector<std::string> Rest(const char* delimiters) {
    std::vector<std::string> tokens;
    for (char* token = MyStrtok(nullptr, delimiters); token != nullptr;
         token = MyStrtok(nullptr, delimiters)) {
      tokens.emplace_back(token);
    }
    return tokens;
  }
};

TEST_F(MyStrtokTest, SplitsLikeStrtok) {
  char text[] = ";;fill:red;; stroke:blue;";
  char* first = MyStrtok(text, ";");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first, "fill:red");
  EXPECT_EQ(Rest(";"), (std::vector<std::string>{" stroke:blue"}));
  EXPECT_EQ(MyStrtok(nullptr, ";"), nullptr);  // stays finished
}

TEST_F(MyStrtokTest, EmptyAndDelimiterOnlyTextsGiveNoToken) {
  char empty[] = "";
  EXPECT_EQ(MyStrtok(empty, ";"), nullptr);
  char delimiters[] = ";;;";
  EXPECT_EQ(MyStrtok(delimiters, ";"), nullptr);
  EXPECT_EQ(MyStrtok(nullptr, ";"), nullptr);
}

TEST_F(MyStrtokTest, NestedLevelResumesTheOuterOne) {
  char outer[] = "x y";
  char inner[] = "a;b";
  ASSERT_STREQ(MyStrtok(outer, " "), "x");
  ASSERT_STREQ(MyStrtok(inner, ";"), "a");
  EXPECT_STREQ(MyStrtok(nullptr, ";"), "b");
  EXPECT_EQ(MyStrtok(nullptr, ";"), nullptr);
  EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);  // closes the inner level
  EXPECT_STREQ(MyStrtok(nullptr, " "), "y");
  EXPECT_EQ(MyStrtok(nullptr, " "), nullptr);
}

TEST_F(MyStrtokTest, ClosingEarlyDropsTheRestOfTheInnerLevel) {
  char outer[] = "1;2;3";
  char inner[] = "a b c";
  ASSERT_STREQ(MyStrtok(outer, ";"), "1");
  ASSERT_STREQ(MyStrtok(inner, " "), "a");
  EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);
  EXPECT_EQ(Rest(";"), (std::vector<std::string>{"2", "3"}));
}

TEST_F(MyStrtokTest, DeepNestingGrowsTheSaveStack) {
  // 250 levels take the save stack through two growths.
  constexpr int kLevels = 250;
  std::vector<std::string> texts;
  for (int i = 0; i < kLevels; ++i) texts.push_back(std::to_string(i) + " rest" + std::to_string(i));
  for (int i = 0; i < kLevels; ++i) {
    char* token = MyStrtok(texts[i].data(), " ");
    ASSERT_NE(token, nullptr);
    ASSERT_EQ(std::string(token), std::to_string(i));
  }
  for (int i = kLevels - 1; i >= 0; --i) {
    SCOPED_TRACE(i);
    char* token = MyStrtok(nullptr, " ");
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(std::string(token), "rest" + std::to_string(i));
    EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);
  }
  EXPECT_EQ(MyStrtokStatus(), kOk);
}

TEST_F(MyStrtokTest, ResetFreesTheSaveStack) {
  const int64_t live = LiveBlocks();
  char text[] = "a b";
  ASSERT_STREQ(MyStrtok(text, " "), "a");
  EXPECT_EQ(LiveBlocks(), live + 1);
  MyStrtokReset();
  EXPECT_EQ(LiveBlocks(), live);
  EXPECT_EQ(MyStrtok(nullptr, " "), nullptr);
}

TEST_F(MyStrtokTest, FailedNestedStartKeepsPushAndPopBalanced) {
  char outer[] = "x y";
  char inner[] = "a;b";
  ASSERT_STREQ(MyStrtok(outer, " "), "x");
  // The outer start took the first of 100 entries; fill the other 99 so that
  // the next start must grow the save stack.
  std::vector<std::string> more(99, std::string("u"));
  for (std::string& text : more) ASSERT_NE(MyStrtok(text.data(), " "), nullptr);
  KernelFailAllocation(1);
  EXPECT_EQ(MyStrtok(inner, ";"), nullptr);  // the save stack cannot grow
  KernelFailAllocation(0);
  EXPECT_EQ(MyStrtokStatus(), kErrNoMemory);
  EXPECT_EQ(MyStrtok(nullptr, ";"), nullptr);
  EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);
  for (std::size_t i = 0; i < more.size(); ++i) EXPECT_EQ(MyStrtok(nullptr, nullptr), nullptr);
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
    for (char* token = MyStrtok(own, ";"); token != nullptr; token = MyStrtok(nullptr, ";")) {
      seen += token;
    }
    MyStrtokReset();
  });
  other.join();
  EXPECT_EQ(seen, "t1t2");
  EXPECT_STREQ(MyStrtok(nullptr, " "), "main2");
}

}  // namespace
}  // namespace svgflt
