#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "common/core/color.h"
#include "common/core/font.h"
#include "skin/product.h"

namespace quorvant::shell {

inline constexpr std::wstring_view kProductName = QUORVANT_PRODUCT_NAME_W;
inline constexpr std::wstring_view kMakerName = QUORVANT_MANUFACTURER_W;
inline constexpr std::wstring_view kVersionText = L"v" QUORVANT_VERSION_TEXT_W;
// The maker's home page.
inline constexpr std::wstring_view kHomePage = L"https://www.morwick.example/";

// A label drawn with a transparent background. An empty colour means the system's
// button-text colour.
struct FixedText {
  std::wstring_view text;
  int leftTwips;
  int topTwips;
  std::wstring_view fontName;
  double fontSizePt;
  bool bold;
  bool underline;
  std::optional<Color> color;

  FontDesc Font() const {
    FontDesc font;
    font.name = fontName;
    font.sizePt = fontSizePt;
    font.bold = bold;
    font.underline = underline;
    return font;
  }
};

inline constexpr std::wstring_view kWindowFontName = L"Verdana";
inline constexpr double kWindowFontSizePt = 7.5;
inline constexpr Color kHeaderGrey = Rgb(64, 64, 64);
inline constexpr Color kHeadingOrange = Rgb(255, 128, 0);
inline constexpr Color kCaptionGrey = Rgb(128, 128, 128);
inline constexpr Color kLinkBlue = Rgb(0, 0, 255);
inline constexpr Color kNavLabelWhite = Rgb(255, 255, 255);

// Texts of the window frame, over the background.
inline constexpr std::array<FixedText, 4> kFrameTexts{{
    {kMakerName, 390, 105, L"Arial", 7.5, false, false, std::nullopt},
    {kMakerName, 1680, 720, L"Arial", 10.5, true, false, kHeaderGrey},
    {kProductName, 1680, 960, kWindowFontName, kWindowFontSizePt, false, false, kHeaderGrey},
    {kVersionText, 10800, 8040, kWindowFontName, kWindowFontSizePt, false, false, kHeaderGrey},
}};

inline constexpr std::array<FixedText, 2> kAboutPanelTexts{{
    {L"About", 360, 720, kWindowFontName, 9, true, false, kCaptionGrey},
    {kProductName, 360, 1080, kWindowFontName, 9, true, false, kHeadingOrange},
}};
// LabelHomepage, the link on the about panel.
inline constexpr FixedText kHomePageLabel{kHomePage, 360, 1320, kWindowFontName, 7.5, false, true,
                                          kLinkBlue};

inline constexpr std::array<FixedText, 1> kSettingPanelTexts{{
    {L"Settings", 1320, 240, kWindowFontName, 9, true, false, kHeadingOrange},
}};

}  // namespace quorvant::shell
