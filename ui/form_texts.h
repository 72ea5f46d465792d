// The texts of the main window, in one place (the end-to-end tests read them
// here too).
#pragma once

namespace quillset {
namespace form_texts {
inline constexpr char kApplicationTitle[] = "ファイルバックアップツール";
inline constexpr char kDesignCaption[] = "右クリックでメニューが出ます。";
// Why the session should wait, while a backup run goes on.
inline constexpr char kBackupRunningReason[] = "バックアップ中です";
}  // namespace form_texts
}  // namespace quillset
