// The texts of the main window, in one place (the end-to-end tests read them
// here too).
#pragma once

namespace quillset {
namespace form_texts {
inline constexpr char kApplicationTitle[] = "ファイルバックアップツール";
inline constexpr char kDesignCaption[] = "右クリックでメニューが出ます。";
// Asked when the window is closed during a backup run.
inline constexpr char kStopRunQuestion[] = "バックアップ中です。\r\nバックアップを中止して終了しますか？";
// The balloon of the notification icon after a run the timer started in which
// an entry did not succeed: the entries that have a result, how many of them
// failed, the first one's file name and its result in full.
inline constexpr char kFailureBalloonTitle[] = "バックアップに失敗したファイルがあります";
inline constexpr char kFailureBalloonText[] = "%s 件中 %s 件: %s（%s）";
// The tip's second line, after the schedule's text, when both fit its 63
// bytes: the day of the last attempt (month/day) and how the run went.
inline constexpr char kTipLastRunFailed[] = "前回 %s 失敗 %s 件";
inline constexpr char kTipLastRunSucceeded[] = "前回 %s 成功";
inline constexpr char kTipDatePattern[] = "mm/dd";
}  // namespace form_texts
}  // namespace quillset
