#include "ui/win32/window_font.h"

#include <cwchar>

#include "base/win32_text.h"

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

namespace {
// The font at `pixels_per_inch`; the stock GUI font when the face cannot be made.
HFONT MakeFont(int pixels_per_inch) {
  LOGFONTW lf = {};
  // A negative height asks for the character height (without internal leading).
  lf.lfHeight = -MulDiv(WindowFont::kDesignHeight, pixels_per_inch,
                        WindowFont::kDesignPixelsPerInch);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = SHIFTJIS_CHARSET;
  lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
  lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  lf.lfQuality = DEFAULT_QUALITY;
  lf.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
  std::wcsncpy(lf.lfFaceName, ShiftJisToUtf16ForDisplay(kFaceName).c_str(), LF_FACESIZE - 1);
  HFONT font = CreateFontIndirectW(&lf);
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

// tmHeight of `font`, or `fallback` when it cannot be measured.
int MeasureTextHeight(HFONT font, int fallback) {
  int height = fallback;
  HDC dc = GetDC(nullptr);
  if (dc) {
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW tm = {};
    if (GetTextMetricsW(dc, &tm) && tm.tmHeight > 0) height = tm.tmHeight;
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
  }
  return height;
}

void ReleaseFont(HFONT font) {
  if (font && font != static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))) DeleteObject(font);
}
}  // namespace

void WindowFont::Create(int pixels_per_inch) {
  font_ = MakeFont(pixels_per_inch);
  text_height_ = MeasureTextHeight(font_, kDesignHeight);
  if (pixels_per_inch == kDesignPixelsPerInch) {
    design_text_height_ = text_height_;
  } else {
    HFONT design_font = MakeFont(kDesignPixelsPerInch);
    design_text_height_ = MeasureTextHeight(design_font, kDesignHeight);
    ReleaseFont(design_font);
  }
}

// At 96 pixels per inch the window has its design size whatever the face's
// own leading; on another display every size follows the text height, as it
// grew from the design display's.
int WindowFont::Scale(int design_pixels) const {
  return MulDiv(design_pixels, text_height_, design_text_height_);
}

WindowFont::~WindowFont() { ReleaseFont(font_); }

}  // namespace quillset
