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

// The panels' headings: the window font at 9 pt, bold.
inline FontDesc HeadingFont() {
  FontDesc font;
  font.sizePt = 9;
  font.bold = true;
  return font;
}

}  // namespace quorvant
