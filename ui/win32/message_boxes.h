// The program's message boxes, all owned by the application window and modal
// for every window of the program (ModalScope):
//   failure box   caption = application title, error icon, one OK button, the
//                 message with the "." rule of FailureBoxText;
//   plain message caption = application title, no icon, one "OK" button,
//                 centred on the screen;
//   delete confirmation  "レコードを削除してもよいですか？", caption "確認",
//                 question-mark icon, "OK" and "キャンセル", centred on the screen;
//   question      caption = application title, question-mark icon, "はい" and
//                 "いいえ", centred on the screen.
// Each runs the system's nested message loop, in which timer messages go on.
// A box opened while the program's windows are hidden comes above other
// programs' windows and takes the foreground when Windows lets it.
#pragma once

#include <windows.h>

#include <string>

#include "base/code_page.h"

namespace quillset {

class MessageBoxes {
 public:
  // `title` and `owner` may be set later; `code_page` must outlive this object.
  MessageBoxes(const CodePage& code_page, std::string title, HWND owner);

  void SetOwner(HWND owner) { owner_ = owner; }
  HWND Owner() const { return owner_; }
  const std::string& Title() const { return title_; }

  void ShowFailure(const std::string& message);
  void ShowPlainMessage(const std::string& text);
  // True when the user chose "OK"; "キャンセル", Esc and the close box keep it.
  bool ConfirmDelete();
  // True when the user chose "はい"; "いいえ", Esc and the close box say no.
  bool AskYesNo(const std::string& question);

  // A failure box of this object is open (possibly under others).
  bool FailureBoxOpen() const { return open_failure_boxes_ > 0; }

 private:
  const CodePage& code_page_;
  std::string title_;
  HWND owner_;
  int open_failure_boxes_ = 0;
};

// MessageBoxW, with the box moved to the centre of the primary screen as soon
// as it is laid out.
int CenteredMessageBox(HWND owner, const std::string& text, const std::string& caption,
                       UINT type);

// The user reached the program (a click on its tray icon, a restore) while
// one of this thread's boxes is open: the newest comes to the front and takes
// the foreground, which Windows allows right after such a click. True when a
// box was open.
bool BringOpenBoxToFront();

// The centre position of a window of `size` on the primary screen:
// (screen - size) / 2 in integers.
POINT ScreenCentredPosition(SIZE size);

}  // namespace quillset
