#pragma once

#include <string>

namespace quorvant {

// A font as a control persists it; the platform turns it into a real font.
struct FontDesc {
  std::wstring name = L"Verdana";
  double sizePt = 7.5;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikethrough = false;

  friend bool operator==(const FontDesc&, const FontDesc&) = default;
};

}  // namespace quorvant
