#include "ui/win32/window_font.h"

#include <cstring>

namespace quillset {

namespace {
constexpr char kFaceName[] = "ＭＳ Ｐゴシック";

int ScreenPixelsPerInch() {
  HDC dc = GetDC(nullptr);
  int ppi = dc ? GetDeviceCaps(dc, LOGPIXELSY) : WindowFont::kDesignPixelsPerInch;
  if (dc) ReleaseDC(nullptr, dc);
  return ppi > 0 ? ppi : WindowFont::kDesignPixelsPerInch;
}
}  // namespace

WindowFont::WindowFont() { Create(ScreenPixelsPerInch()); }

WindowFont::WindowFont(int pixels_per_inch) { Create(pixels_per_inch); }

WindowFont::~WindowFont() {
  if (font_) DeleteObject(font_);
}

void WindowFont::Create(int pixels_per_inch) {
  LOGFONTA lf = {};
  // A negative height asks for the character height (without internal leading).
  lf.lfHeight = -MulDiv(kDesignHeight, pixels_per_inch, kDesignPixelsPerInch);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::strncpy(lf.lfFaceName, kFaceName, sizeof(lf.lfFaceName) - 1);
  font_ = CreateFontIndirectA(&lf);
  if (!font_) font_ = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  HDC dc = GetDC(nullptr);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICA tm = {};
    if (GetTextMetricsA(dc, &tm) && tm.tmHeight > 0) text_height_ = tm.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
}

int WindowFont::Scale(int design_pixels) const {
  return MulDiv(design_pixels, text_height_, kDesignHeight);
}

}  // namespace quillset
