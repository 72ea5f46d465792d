// The random sequences of ui/testing/grid_sequences.h through the real
// control: keys, characters and clicks as window messages to the grid over
// the real store. Shorter than the native run; more by hand with
// QUILLSET_GRID_SEQUENCES and QUILLSET_GRID_SEED.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/testing/grid_sequences.h"
#include "ui/win32/data_grid.h"
#include "ui/win32/win32_ui_test_support.h"

namespace quillset {
namespace testing_support {
namespace {

class ControlGridDriver : public GridDriver {
 public:
  ControlGridDriver(GridWorld& world, HWND host, const WindowFont& font, int client_height) {
    DataGrid::Callbacks callbacks;
    callbacks.show_failure = [this](const std::string& m) { failures_.push_back(m); };
    callbacks.confirm_delete = [this] { return answer_; };
    grid_ = std::make_unique<DataGrid>(host, font, *world.source, std::move(callbacks));
    RECT frame = {0, 0, 421, client_height};
    AdjustWindowRectEx(&frame, WS_HSCROLL | WS_VSCROLL, FALSE, WS_EX_CLIENTEDGE);
    MoveWindow(grid_->Handle(), 0, 0, frame.right - frame.left + GetSystemMetrics(SM_CXVSCROLL),
               frame.bottom - frame.top + GetSystemMetrics(SM_CYHSCROLL), TRUE);
    SetFocus(grid_->Handle());
  }
  void Key(GridKey key, bool ctrl, bool shift) override {
    static const UINT keys[] = {VK_UP,    VK_DOWN, VK_PRIOR,  VK_NEXT,   VK_HOME,
                                VK_END,   VK_LEFT, VK_RIGHT,  VK_TAB,    VK_ESCAPE,
                                VK_F2,    VK_RETURN, VK_INSERT, VK_DELETE};
    std::vector<int> held;
    if (ctrl) held.push_back(VK_CONTROL);
    if (shift) held.push_back(VK_SHIFT);
    testing_win32::HeldKeys keys_held(held);
    const bool in_editor = grid_->EditorOpen() && GetFocus() == grid_->Editor();
    SendMessageA(in_editor ? grid_->Editor() : grid_->Handle(), WM_KEYDOWN,
                 keys[static_cast<int>(key)], 0);
  }
  void Type(const std::string& text) override {
    for (unsigned char ch : text) SendMessageA(grid_->Handle(), WM_CHAR, ch, 0);
  }
  void Click(int x, int y) override {
    SendMessageA(grid_->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageA(grid_->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  const GridLayout& Layout() override { return grid_->Layout(); }
  void SetReadOnly(bool read_only) override { grid_->SetReadOnly(read_only); }
  int Column() override { return grid_->CurrentColumn(); }
  bool EditorChanged() override { return grid_->EditorOpen() && grid_->EditorChanged(); }
  std::string EditorText() override { return testing_win32::WindowText(grid_->Editor()); }
  void AnswerDeleteWith(bool ok) override { answer_ = ok; }
  std::vector<std::string>& Failures() override { return failures_; }

 private:
  std::unique_ptr<DataGrid> grid_;
  std::vector<std::string> failures_;
  bool answer_ = true;
};

int EnvOr(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

TEST(DataGridSequenceTest, RandomSequencesThroughTheRealControlKeepTheList) {
  HWND host = CreateWindowExA(0, "STATIC", "grid host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50,
                              50, 600, 400, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(host, nullptr);
  ShowWindow(host, SW_SHOW);
  SetForegroundWindow(host);
  WindowFont font(96);
  auto play = [&](const GridSequence& sequence) {
    GridWorld world;
    ControlGridDriver driver(world, host, font, sequence.client_height);
    return PlaySequence(sequence, world, driver);
  };
  const auto seed = static_cast<std::uint32_t>(EnvOr("QUILLSET_GRID_SEED", 20261208));
  const std::string broken =
      PlayRandomSequences(seed, EnvOr("QUILLSET_GRID_SEQUENCES", 12), 30, play);
  if (!broken.empty()) ADD_FAILURE() << broken;
  DestroyWindow(host);
  testing_win32::Pump();
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
