// The list commands of the grid's menu: adding an entry through the file-open
// dialog and the folder browser, deleting the current entry, and switching
// editing in the grid.
#include <string>

#include "base/code_page.h"
#include "base/errors.h"
#include "locale/whole_number_text.h"
#include "ui/main_form.h"
#include "ui/unwritable_text.h"

namespace quillset {
namespace {

const char kFolderPromptSuffix[] = "バックアップ保存するディレクトリを選択して下さい";
// A path that the 100-byte field would cut is refused instead of stored cut:
// a cut path names another file or folder, and every run would report a
// failure the user cannot see the cause of. The limit is told in characters a
// user can count: a full-width character takes two bytes, a half-width one.
const char kPathTooLongMessage[] = "全角 %s 文字（半角 %s 文字）を超えるパスは登録できません。\r\n%s";

constexpr int kFilePathField = 0;
constexpr int kFolderField = 1;

// True when `path` fits `field` whole; otherwise the user is told why nothing
// is added.
bool PathFitsField(const std::string& path, const TField& field, FormView& view) {
  if (path.size() <= field.Size()) return true;
  const auto bytes = static_cast<std::int32_t>(field.Size());
  view.ShowPlainMessage(
      FormatMessageText(kPathTooLongMessage, {IntToText(bytes / 2), IntToText(bytes), path}));
  return false;
}

}  // namespace

void TForm1::bakup1Click() {
  TClientDataSet& store = ClientDataSet1();
  TField& file_field = store.FieldAt(kFilePathField);
  TField& folder_field = store.FieldAt(kFolderField);
  const PickedPath file = shell_.ShowOpenFileDialog(view_.ApplicationWindow(), view_.MainWindow());
  // Refused before the folder is asked for: the user need not pick one in vain.
  if (file.result == PickResult::kNotShiftJis) {
    view_.ShowPlainMessage(UnwritableFileNameMessage(file.unwritable, file.path));
    return;
  }
  if (file.result != PickResult::kChosen) return;
  const std::string& source = file.path;
  if (!PathFitsField(source, file_field, view_)) return;
  const std::string prompt = FileNamePart(source, os_) + kFolderPromptSuffix;
  const PickedPath chosen_folder = shell_.BrowseForFolder(view_.ApplicationWindow(), prompt);
  if (chosen_folder.result == PickResult::kNotShiftJis) {
    view_.ShowPlainMessage(UnwritableFolderNameMessage(chosen_folder.unwritable, chosen_folder.path));
    return;
  }
  if (chosen_folder.result != PickResult::kChosen) return;
  const std::string& folder = chosen_folder.path;
  if (!PathFitsField(folder, folder_field, view_)) return;
  store.MoveLast();
  store.InsertRow();
  file_field.WriteText(source);
  folder_field.WriteText(folder);
  // The new entry stays pending: the next row change, run or save commits it.
}

void TForm1::Delete1Click() {
  TClientDataSet& store = ClientDataSet1();
  if (store.AtEnd()) return;
  store.DeleteRow();
}

// A tick while the menu was open may have run a backup, which leaves the last
// row current and the end flag clear: the row deleted is the one the user saw
// current, by the same rules, and a list that stood at its end keeps its rows.
void TForm1::DeleteSeenRow(const ListSeen& seen) {
  if (seen.at_end) return;
  // No row could be marked (the list is not open): as the list stands now.
  if (!seen.row.valid) {
    Delete1Click();
    return;
  }
  TClientDataSet& store = ClientDataSet1();
  if (!store.GoToMarkedRow(seen.row)) return;  // gone meanwhile: nothing to delete
  store.DeleteRow();
}

void TForm1::Edit1Click() {
  const bool editing = !view_.MenuChecked(MenuItemId::Edit1);
  view_.SetMenuChecked(MenuItemId::Edit1, editing);
  view_.SetGridReadOnly(!editing);
}

}  // namespace quillset
