#include "monitor/core/format_filesize.h"

#include <gtest/gtest.h>

namespace quorvant {
namespace {

TEST(FormatFilesizeTest, PicksTheUnitByRange) {
  const NumberSymbols comma;
  const struct {
    double value;
    const wchar_t* text;
  } cases[] = {
      {0, L"0 B"},
      {1024, L"1,024 B"},
      {1025, L"1 K"},
      {3000, L"3 K"},
      {1048575, L"1,024 K"},
      {1048576, L"1.00 MB"},
      {5242880, L"5.00 MB"},
      {1073741823, L"1,024.00 MB"},
      {1073741824, L"1.00 GB"},
      {5497558138880.0, L"5,120.00 GB"},
      {-5000, L"-5,000 B"},
      {-0.4, L"0 B"},
      {2.5, L"2 B"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatFilesize(c.value, comma), c.text) << c.value;
}

TEST(FormatFilesizeTest, UsesTheUsersSeparators) {
  const NumberSymbols german{L".", L","};
  EXPECT_EQ(FormatFilesize(1234567890.0, german), L"1,15 GB");
  EXPECT_EQ(FormatFilesize(std::int64_t{-1234567}, german), L"-1.234.567 B");
  const NumberSymbols swiss{L"'", L"."};
  EXPECT_EQ(FormatFilesize(1099511627776.0 * 2, swiss), L"2'048.00 GB");
}

TEST(FormatFilesizeTest, IntegralAmountsKeepEveryDigitInBytes) {
  const NumberSymbols comma;
  EXPECT_EQ(FormatFilesize(std::int64_t{-9007199254740993}, comma), L"-9,007,199,254,740,993 B");
  EXPECT_EQ(FormatFilesize(std::int64_t{5242880}, comma), L"5.00 MB");
}

}  // namespace
}  // namespace quorvant
