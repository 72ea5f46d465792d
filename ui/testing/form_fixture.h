// Shared fixture of the main window's handler tests: a TForm1 over the
// headless FakeFormView and FakeShellServices and OS services on the real file
// system, with the program's executable (and so its settings and data files)
// in a fresh temporary folder. Shell services (timer, tray icon, dialogs) are
// only recorded: there is no real window behind the fake view.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

class FormFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp_.Valid());
    os_.SetExecutablePath(temp_ / "Quillset.exe");
    settings_path_ = temp_ / "Quillset.ini";
    form_ = std::make_unique<TForm1>(os_, view_, shell_, codec_);
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
  FakeShellServices shell_;
  FakeFormView view_;
  RefusingPacketCodec codec_;
  std::unique_ptr<TForm1> form_;
  std::string settings_path_;
};

}  // namespace testing_support
}  // namespace quillset
