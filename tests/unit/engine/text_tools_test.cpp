#include "engine/core/text_tools.h"

#include <gtest/gtest.h>

#include <set>

namespace quorvant {
namespace {

TEST(TrimNullTest, CutsAtFirstNulAndTrimsSpaces) {
  struct Case {
    std::wstring_view in;
    std::wstring_view out;
  };
  using namespace std::literals;
  const Case cases[] = {
      {L"High"sv, L"High"},
      {L"  1  "sv, L"1"},
      {L"5 minute\0garbage left in the buffer"sv, L"5 minute"},
      {L" Above Normal \0\0\0"sv, L"Above Normal"},
      {L"\0abc"sv, L""},
      {L""sv, L""},
      {L"   "sv, L""},
      {L"\tx\t"sv, L"\tx\t"},  // only spaces are blanks
  };
  for (const auto& c : cases) EXPECT_EQ(TrimNull(c.in), c.out) << "input size " << c.in.size();
}

TEST(RandomDigitsTest, GivesCountDigitsFromTwoToEight) {
  struct Case {
    int count;
    double draw;
    std::wstring_view out;
  };
  const Case cases[] = {
      {1, 0.0, L"2"},   {1, 0.999999, L"8"}, {1, 0.5, L"5"},  // 0.5 * 7 + 2 = 5.5
      {3, 0.2, L"333"}, {0, 0.5, L""},       {-2, 0.5, L""},
      {1, 1.0, L"8"},  // a source that reaches 1 still yields no 9
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RandomDigits(c.count, [&] { return c.draw; }), c.out)
        << "count " << c.count << " draw " << c.draw;
  }
}

TEST(RandomDigitsTest, ProgramSourceReachesEveryDigitAndNoOther) {
  const std::wstring digits = RandomDigits(2000);
  ASSERT_EQ(digits.size(), 2000u);
  const std::set<wchar_t> seen(digits.begin(), digits.end());
  EXPECT_EQ(seen, (std::set<wchar_t>{L'2', L'3', L'4', L'5', L'6', L'7', L'8'}));
}

}  // namespace
}  // namespace quorvant
