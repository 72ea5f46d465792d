// The one fixture the main window's handler tests over real files build a
// TForm1 with: the headless FakeFormView and FakeShellServices, OS services on
// the real file system with simulated time (FormTestOs), the program's
// retries over them (`retrying_`), and the program's executable (and so its
// settings and data files) in a fresh temporary folder. Shell services
// (timer, tray icon, dialogs) are only recorded: there is no real window
// behind the fake view. `Codec` is the data file's: RefusingPacketCodec for
// tests that never load or save it (FormFixture), BinaryPacketCodec for those
// that do. The in-memory twin for schedule and tray tests is
// ui/testing/schedule_fixture.h.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/retrying_os_services.h"
#include "base/testing/real_files_test_os.h"
#include "store/testing/refusing_packet_codec.h"
#include "ui/main_form.h"
#include "ui/testing/fake_form_view.h"
#include "ui/testing/fake_shell_services.h"
#include "ui/testing/ui_timed_os.h"

namespace quillset {
namespace testing_support {

// Real files, with simulated time charged to the simulated UI thread.
class FormTestOs : public UiTimedOs<RealFilesTestOs> {};

template <class Codec>
class FormFixtureWith : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Valid());
    os_.SetExecutablePath(temp_ / "Quillset.exe");
    settings_path_ = temp_ / "Quillset.ini";
    data_path_ = temp_ / "Quillset.cds";
    form_ = NewForm(view_);
  }

  // A TForm1 over this fixture's services and `view` (`retrying`: through
  // the program's retries, as the real program runs).
  std::unique_ptr<TForm1> NewForm(FakeFormView& view, bool retrying = false) {
    OsServices& os = retrying ? static_cast<OsServices&>(retrying_) : os_;
    return std::make_unique<TForm1>(os, view, shell_, codec_);
  }

  // The store as FormCreate leaves it without a data file: empty and open.
  void OpenEmptyStore() { form_->ClientDataSet1().CreateEmpty(); }

  void AddCommittedEntry(const std::string& file_path, const std::string& folder) {
    TClientDataSet& store = form_->ClientDataSet1();
    store.AppendRow();
    store.FieldAt(0).WriteText(file_path);
    store.FieldAt(1).WriteText(folder);
    store.CommitRow();
  }

  // A field of the entry at `position` (1-based) as text. Moving there ends
  // a pending row edit first, as any row change does.
  std::string FieldOfRow(int position, int field) {
    TClientDataSet& store = form_->ClientDataSet1();
    store.SetRowNumber(position);
    return store.FieldAt(field).ReadText();
  }

  void PrepareDialogs(const std::string& file, const std::string& folder) {
    shell_.open_file_ok = true;
    shell_.open_file_path = file;
    shell_.folder_result = PickResult::kChosen;
    shell_.folder_path = folder;
  }

  TempFolder temp_;
  FormTestOs os_;
  RetryingOsServices retrying_{os_};
  FakeShellServices shell_;
  Codec codec_;
  FakeFormView view_;
  std::unique_ptr<TForm1> form_;
  std::string settings_path_;
  std::string data_path_;
};

using FormFixture = FormFixtureWith<RefusingPacketCodec>;

}  // namespace testing_support
}  // namespace quillset
