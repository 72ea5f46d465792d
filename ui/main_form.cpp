// Construction and the lifecycle of the main window: creation, first
// activation, close, the end of the Windows session, and the menu's dispatch.
#include "ui/main_form.h"

#include <exception>

#include "base/code_page.h"
#include "base/errors.h"
#include "datafile/data_file.h"

namespace quillset {

TForm1::TForm1(OsServices& os, FormView& view, ShellServices& shell, PacketCodec& codec)
    : os_(os),
      view_(view),
      shell_(shell),
      codec_(codec),
      store_(MakeBackupEntryStore(&codec)),
      timer_(shell, [this] { return view_.TimerWindow(); }),
      tray_icon_retry_(shell, [this] { return view_.TimerWindow(); }),
      journal_(os) {
  date_settings_.Load(os_);
  store_->SetDateTextContext(&date_settings_, &os_);
  // Commits in the grid reach the journal from the message loop.
  store_->SetAfterTableChange([this] { JournalChangesLater(); });
}

TForm1::~TForm1() = default;

TStringField& TForm1::ClientDataSet1Field() {
  return static_cast<TStringField&>(store_->FieldAt(0));
}
TStringField& TForm1::ClientDataSet1Field1() {
  return static_cast<TStringField&>(store_->FieldAt(1));
}
TStringField& TForm1::ClientDataSet1Field2() {
  return static_cast<TStringField&>(store_->FieldAt(2));
}
TDateTimeField& TForm1::ClientDataSet1Field3() {
  return static_cast<TDateTimeField&>(store_->FieldAt(3));
}

void TForm1::FormCreate() {
  LoadOrCreateStore();
  ReadSettingsAtStart();
}

void TForm1::LoadOrCreateStore() {
  const std::string path = DataFilePathFor(os_);
  if (os_.FileExists(path)) {
    LoadDataFile(path);
  } else {
    store_->CreateEmpty();
  }
  TakeUpJournal(path);
  DataFilePath = path;
}

// Refused bytes are remembered by the load: the first activation does not
// read them again and show the same failure twice. A file that could not be
// opened (another program held it) is tried again then.
void TForm1::LoadDataFile(const std::string& path) { LoadFile(*store_, os_, path, &data_file_); }

// The list is read again at the first activation only when the data file
// changed on disk since this process last loaded (or tried to load) or saved
// it: results of runs made while the window was hidden in the tray, and
// entries added since the start, are kept.
void TForm1::FormActivate() {
  // A load now would replace the list under the run: after it.
  if (runs_.Running()) {
    runs_.ActivationWaits();
    return;
  }
  const std::string path = DataFilePathFor(os_);
  if (os_.FileExists(path) && data_file_.DataFileChangedSinceLastLoadOrSave(os_, path)) {
    LoadDataFile(path);
    TakeUpJournal(path);
  }
  DataFilePath = path;
}

void TForm1::SaveStore() {
  if (!store_->Active()) return;  // a list that could not be loaded is not written over
  SaveFile(*store_, os_, DataFilePath, &data_file_);
}

// Closing during a run asks whether to stop it and quit. On yes the copy in
// progress is cancelled (its older backup stays) and the window closes when
// the run has ended, saving the results so far; on no the run goes on.
bool TForm1::FormCloseQuery() {
  if (!runs_.Running()) return true;
  if (runs_.QuitRequested()) return false;  // asked already: the close comes
  if (view_.AskYesNo(form_texts::kStopRunQuestion) && runs_.Running()) {
    runs_.QuitAfterRun();
    StopBackupRun();
  }
  return false;
}

void TForm1::FormClose() {
  SaveStoreAndRemoveJournal();
  RemoveTrayIcon();
}

// Windows wants an answer at once, and another program may still cancel the
// end of the session, so the program stays as the user left it and a run
// goes on: only what changed is appended to the journal (the list is saved
// whole only without one), with the results so far. Nobody can answer a box
// now, so a failure is dropped; the old data file stays whole. The window
// answers yes: Windows does not wait for a run (a program that says yes is
// closed whatever reason it gave), and a run cut short costs nothing, since it
// leaves the due date as it was and the next check copies the whole list again.
void TForm1::QueryEndSession() {
  saved_at_session_query_.reset();
  try {
    if (!JournalAtSessionEnd()) {
      SaveStore();
      DropJournalAfterSave();
    }
    saved_at_session_query_ = CurrentListVersion();
  } catch (const std::exception&) {
  }
}

// Cancelled: nothing was changed, and a run going on ends as it would have.
// Ending: the process may be ended at any moment after this returns. A run
// ends now (the copy in progress is cancelled, its older backup stays), no
// run may start any more, and the list is saved only when it changed since
// the save at the question (a run's results, a tick between the two): a
// large list takes seconds to write, and Windows waits about 5 s in all.
void TForm1::EndSession(bool ending) {
  if (!ending) return;
  runs_.SessionEnded();
  StopBackupRun();
  try {
    timer_.SetInterval(0);
  } catch (const std::exception&) {
  }
  if (saved_at_session_query_ && store_->Active()) {
    TClientDataSet& store = *store_;
    const bool pending = (store.State() == StoreState::Edit ||
                          store.State() == StoreState::Insert) && store.RowModified();
    if (!pending && CurrentListVersion() == *saved_at_session_query_) return;
  }
  QueryEndSession();
}

TForm1::ListVersion TForm1::CurrentListVersion() {
  DSBASE* table = store_->Table();
  if (table == nullptr) return ListVersion{};
  return ListVersion{table, table->LastSlot(), table->ChangeLog().size(), table->VisibleCount()};
}

void TForm1::SettingChange() { date_settings_.Reload(os_); }

void TForm1::MenuClick(MenuItemId item) {
  // During a run the other commands are greyed out; one that comes all the
  // same (posted before the run began) is dropped, not run later.
  if (runs_.Running() && !ActsDuringRun(item)) return;
  switch (item) {
    case MenuItemId::bakup1: bakup1Click(); break;
    case MenuItemId::Delete1: Delete1Click(); break;
    case MenuItemId::Copy1: Copy1Click(); break;
    case MenuItemId::Edit1: Edit1Click(); break;
    case MenuItemId::TimerSet: TimerSetClick(); break;
    case MenuItemId::Wee: WeeClick(); break;
    case MenuItemId::Mon: MonClick(); break;
    case MenuItemId::N1: N1Click(); break;
    case MenuItemId::Exit1: Exit1Click(); break;
  }
  JournalChanges();
}

void TForm1::PopupMenuOpening() {
  TClientDataSet& store = ClientDataSet1();
  list_seen_by_menu_ = ListSeen{store.MarkCurrentRow(), store.AtEnd()};
}

void TForm1::PopupMenuClosed(std::optional<MenuItemId> chosen) {
  const std::optional<ListSeen> seen = list_seen_by_menu_;
  list_seen_by_menu_.reset();
  if (!chosen) return;
  if (runs_.Running() && !ActsDuringRun(*chosen)) return;
  if (*chosen == MenuItemId::Delete1 && seen) {
    DeleteSeenRow(*seen);
    JournalChanges();
    return;
  }
  MenuClick(*chosen);
}

void TForm1::N1Click() { HideToTray(); }

void TForm1::Exit1Click() { view_.CloseWindow(); }

}  // namespace quillset
