#include "monitor/core/format_filesize.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace quorvant {

namespace {

constexpr double kKilobyte = 1024.0;
constexpr double kMegabyte = 1048576.0;
constexpr double kGigabyte = 1073741824.0;
constexpr int kGroupSize = 3;

struct Unit {
  double divisor;
  int decimals;
  std::wstring_view suffix;
};

constexpr Unit kBytes{1.0, 0, L" B"};
constexpr Unit kKilobytes{kKilobyte, 0, L" K"};
constexpr Unit kMegabytes{kMegabyte, 2, L" MB"};
constexpr Unit kGigabytes{kGigabyte, 2, L" GB"};

// Inserts the group separator into plain digits such as "-1234567.50".
std::wstring Group(std::string_view plain, const NumberSymbols& symbols) {
  std::string_view sign;
  if (!plain.empty() && plain.front() == '-') {
    sign = plain.substr(0, 1);
    plain.remove_prefix(1);
  }
  const auto point = plain.find('.');
  const std::string_view whole = plain.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : plain.substr(point + 1);

  // Rounding can leave nothing but zeros behind a minus sign; that is plain zero.
  if (plain.find_first_not_of("0.") == std::string_view::npos) sign = {};

  std::wstring out(sign.begin(), sign.end());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (i != 0 && (whole.size() - i) % kGroupSize == 0) out += symbols.groupSeparator;
    out += static_cast<wchar_t>(whole[i]);
  }
  if (!fraction.empty()) {
    out += symbols.decimalSeparator;
    out.append(fraction.begin(), fraction.end());
  }
  return out;
}

std::wstring Format(double value, const Unit& unit, const NumberSymbols& symbols) {
  char buffer[400];
  // to_chars rounds the exact binary value to nearest, ties to even.
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value / unit.divisor,
                                    std::chars_format::fixed, unit.decimals);
  if (result.ec != std::errc{}) return {};
  return Group(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), symbols) +
         std::wstring(unit.suffix);
}

}  // namespace

std::wstring FormatFilesize(double nValue, const NumberSymbols& symbols) {
  if (nValue <= kKilobyte) return Format(nValue, kBytes, symbols);
  if (nValue < kMegabyte) return Format(nValue, kKilobytes, symbols);
  // Exactly one megabyte reads better as 1.00 MB than as 1,024 K.
  if (nValue < kGigabyte) return Format(nValue, kMegabytes, symbols);
  if (nValue >= kGigabyte) return Format(nValue, kGigabytes, symbols);
  return {};  // not a number
}

std::wstring FormatFilesize(std::int64_t nValue, const NumberSymbols& symbols) {
  if (nValue > static_cast<std::int64_t>(kKilobyte)) {
    return FormatFilesize(static_cast<double>(nValue), symbols);
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, nValue);
  return Group(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)), symbols) +
         std::wstring(kBytes.suffix);
}

}  // namespace quorvant
