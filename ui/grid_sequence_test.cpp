// Random sequences of keys, clicks, typing and the list's menu commands,
// played against the grid's logic and the real store natively, with the
// invariants of ui/testing/grid_sequences.h after every step. A fixed seed
// runs in every test run; a longer run by hand:
//   QUILLSET_GRID_SEQUENCES=200000 QUILLSET_GRID_SEED=7 ui_core_test
//     --gtest_filter='GridSequenceTest.*'
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ui/testing/grid_sequences.h"
#include "ui/testing/memory_grid_view.h"

namespace quillset {
namespace testing_support {
namespace {

// The grid's logic over a view in memory.
class NativeGridDriver : public GridDriver {
 public:
  NativeGridDriver(GridWorld& world, int client_height)
      : source_(*world.source), view_(421, client_height), nav_(source_, view_) {
    view_.Attach(nav_);
    source_.SetWindowRows(view_.VisibleRows());
  }
  void Key(GridKey key, bool ctrl, bool shift) override {
    Guarded([&] { nav_.KeyDown(key, ctrl, shift); });
  }
  void Type(const std::string& text) override {
    Guarded([&] { view_.Type(text); });
  }
  void Click(int x, int y) override {
    Guarded([&] { nav_.Click(view_.layout.HitTest(x, y, source_.WindowRowCount()), false); });
  }
  const GridLayout& Layout() override { return view_.layout; }
  void SetReadOnly(bool read_only) override { nav_.SetReadOnly(read_only); }
  int Column() override { return nav_.Column(); }
  bool EditorChanged() override { return nav_.EditorOpen() && nav_.EditorChanged(); }
  std::string EditorText() override { return view_.editor_text; }
  void AnswerDeleteWith(bool ok) override { view_.confirm_answer = ok; }
  std::vector<std::string>& Failures() override { return view_.failures; }

 private:
  // As the control's window procedure: a failure is shown, nothing thrown.
  template <class Action>
  void Guarded(Action&& action) {
    RunShowingFailure([this](const std::string& m) { nav_.ShowFailure(m); }, action);
  }
  StoreGridSource& source_;
  MemoryGridView view_;
  GridNavigation nav_;
};

std::string PlayNatively(const GridSequence& sequence) {
  GridWorld world;
  NativeGridDriver driver(world, sequence.client_height);
  return PlaySequence(sequence, world, driver);
}

int EnvOr(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value ? std::atoi(value) : fallback;
}

TEST(GridSequenceTest, RandomSequencesKeepTheListAsTheUserSeesIt) {
#ifdef _WIN32
  const int count = EnvOr("QUILLSET_GRID_SEQUENCES", 300);
#else
  const int count = EnvOr("QUILLSET_GRID_SEQUENCES", 1000);
#endif
  const auto seed = static_cast<std::uint32_t>(EnvOr("QUILLSET_GRID_SEED", 20261208));
  const std::string broken = PlayRandomSequences(seed, count, 40, PlayNatively);
  if (!broken.empty()) ADD_FAILURE() << broken;
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
