#include "engine/core/public_function.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace quorvant
