// The window font follows the display's pixels per inch, and the layout scales
// with the text height it gives.
#include "ui/win32/window_font.h"

#include <gtest/gtest.h>

namespace quillset {
namespace {

// The face itself is the system's choice for "ＭＳ Ｐゴシック" (a replacement
// under Wine); what matters is a Shift-JIS font.
void ExpectShiftJis(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA tm = {};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  EXPECT_EQ(tm.tmCharSet, SHIFTJIS_CHARSET);
}

TEST(WindowFontTest, ShiftJisGothicWhoseHeightFollowsThePixelsPerInch) {
  WindowFont design(96);
  WindowFont large(144);
  ExpectShiftJis(design.Handle());
  EXPECT_GE(design.TextHeight(), 12);
  EXPECT_LE(design.TextHeight(), 14);
  // 12 pixels at 96 dpi are 18 at 144 dpi; the text height grows alike.
  EXPECT_GE(large.TextHeight(), 18);
  EXPECT_LE(large.TextHeight(), 21);
}

TEST(WindowFontTest, TheDesignDisplayKeepsTheDesignSizesAndOthersFollowTheTextHeight) {
  WindowFont design(96);
  EXPECT_EQ(design.Scale(429), 429);
  EXPECT_EQ(design.Scale(122), 122);
  WindowFont large(144);
  EXPECT_EQ(large.Scale(421), MulDiv(421, large.TextHeight(), design.TextHeight()));
  EXPECT_GT(large.Scale(421), 421 * 4 / 3);
}

}  // namespace
}  // namespace quillset
