// The main window's font and the scale derived from it. The layout is made for
// 96 pixels per inch and a text height of 12 pixels: the font's character
// height is 12 pixels scaled by the display's pixels per inch / 96, and every
// size of the window and the grid is scaled by the resulting text height over
// the text height of the same face at 96 pixels per inch (1 on such a display).
#pragma once

#include <windows.h>

namespace quillset {

class WindowFont {
 public:
  // Character set Shift-JIS, regular, face "ＭＳ Ｐゴシック".
  static constexpr int kDesignHeight = 12;
  static constexpr int kDesignPixelsPerInch = 96;

  // Creates the font for the screen's pixels per inch.
  WindowFont();
  // Creates the font for `pixels_per_inch` (tests).
  explicit WindowFont(int pixels_per_inch);
  ~WindowFont();
  WindowFont(const WindowFont&) = delete;
  WindowFont& operator=(const WindowFont&) = delete;

  HFONT Handle() const { return font_; }
  // tmHeight of the font.
  int TextHeight() const { return text_height_; }
  // `design_pixels` scaled by TextHeight() / the text height at 96 pixels per inch.
  int Scale(int design_pixels) const;

 private:
  void Create(int pixels_per_inch);

  HFONT font_ = nullptr;
  int text_height_ = kDesignHeight;
  int design_text_height_ = kDesignHeight;
};

}  // namespace quillset
