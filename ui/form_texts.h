// The texts of the main window, in one place (the end-to-end tests read them
// here too).
#pragma once

namespace quillset {
namespace form_texts {
inline constexpr char kApplicationTitle[] = "ファイルバックアップツール";
inline constexpr char kDesignCaption[] = "右クリックでメニューが出ます。";
// Asked when the window is closed during a backup run.
inline constexpr char kStopRunQuestion[] = "バックアップ中です。\r\nバックアップを中止して終了しますか？";
}  // namespace form_texts
}  // namespace quillset
