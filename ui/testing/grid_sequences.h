// Random sequences of what a user does with the backup list, played against
// the grid and the real store of a main window over the in-memory OS, with
// invariants checked after every step against the committed rows as they
// stood before it:
//   - a click on a row, Up and Down make current the entry the user saw in
//     that row, above or below;
//   - "削除" and Ctrl+Delete remove exactly the current entry, or nothing
//     (at the end of the list, a pending new row, "キャンセル");
//   - no committed text changes except by committing the pending row with
//     what the sequence typed, and a run writes results only (and commits
//     every entry it leaves);
//   - the rows the grid shows are the store's rows, in order.
// A sequence that breaks one is shrunk to the fewest steps that still break
// one and printed a step a line. The same sequences drive the portable logic
// natively and the real control under Wine (GridDriver).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "backup/backup_run.h"
#include "base/testing/in_memory_os.h"
#include "store/testing/refusing_packet_codec.h"
#include "ui/failure_guard.h"
#include "ui/grid_layout.h"
#include "ui/grid_navigation.h"
#include "ui/main_form.h"
#include "ui/store_grid_source.h"
#include "ui/testing/fake_form_view.h"
#include "ui/testing/fake_shell_services.h"
#include "ui/testing/ui_timed_os.h"

namespace quillset {
namespace testing_support {

enum class StepKind { Key, Type, Click, Edit1, Delete1, Copy1, Add };

struct GridStep {
  StepKind kind = StepKind::Key;
  GridKey key = GridKey::Up;
  bool ctrl = false;
  bool shift = false;
  bool answer = true;  // Ctrl+Delete: "OK"
  int row = 0;         // Click: a row shown (modulo the rows shown)
  int column = -1;     // Click: -1 the indicator, else a cell's column
  int number = 0;      // Type, Add: makes the text unique
  bool bad = false;    // Type in the date-time column: no date
};

struct GridSequence {
  int entries = 0;        // committed entries at the start
  int client_height = 95;  // of the grid: how many rows it shows
  std::vector<GridStep> steps;
};

inline const char* KeyName(GridKey key) {
  static const char* const names[] = {"Up",  "Down", "PgUp", "PgDn", "Home", "End", "Left",
                                      "Right", "Tab", "Esc", "F2", "Enter", "Insert", "Delete"};
  return names[static_cast<int>(key)];
}

inline std::string Describe(const GridStep& step) {
  switch (step.kind) {
    case StepKind::Key:
      return std::string(step.ctrl ? "Ctrl+" : "") + (step.shift ? "Shift+" : "") +
             KeyName(step.key) +
             (step.key == GridKey::Delete && step.ctrl ? (step.answer ? " (OK)" : " (cancel)") : "");
    case StepKind::Type:
      return "type text " + std::to_string(step.number) + (step.bad ? " (no date)" : "");
    case StepKind::Click:
      return "click row " + std::to_string(step.row) +
             (step.column < 0 ? " indicator" : " column " + std::to_string(step.column));
    case StepKind::Edit1: return "Edit1Click";
    case StepKind::Delete1: return "Delete1Click";
    case StepKind::Copy1: return "Copy1Click";
    case StepKind::Add: return "bakup1Click (entry " + std::to_string(step.number) + ")";
  }
  return "?";
}

inline std::string Describe(const GridSequence& sequence) {
  std::ostringstream out;
  out << sequence.entries << " entries, grid " << sequence.client_height << " pixels high:\n";
  for (std::size_t i = 0; i < sequence.steps.size(); ++i)
    out << "  " << i + 1 << ". " << Describe(sequence.steps[i]) << "\n";
  return out.str();
}

inline GridSequence RandomSequence(std::mt19937& random, int length) {
  auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  GridSequence sequence;
  sequence.entries = pick(9);
  static const int heights[] = {34, 63, 95, 200};
  sequence.client_height = heights[pick(4)];
  if (pick(10) < 8) sequence.steps.push_back(GridStep{StepKind::Edit1});
  static const GridKey keys[] = {GridKey::Up,    GridKey::Down,  GridKey::Up,     GridKey::Down,
                                 GridKey::Home,  GridKey::End,   GridKey::PageUp, GridKey::PageDown,
                                 GridKey::Insert, GridKey::Escape, GridKey::F2,   GridKey::Enter,
                                 GridKey::Tab,   GridKey::Left,  GridKey::Right,  GridKey::Delete};
  for (int i = 0; i < length; ++i) {
    GridStep step;
    step.number = i + 1;
    const int roll = pick(100);
    if (roll < 50) {
      step.key = keys[pick(16)];
      const bool ctrl_matters = step.key == GridKey::Home || step.key == GridKey::End;
      step.ctrl = step.key == GridKey::Delete || (ctrl_matters && pick(2) == 0);
      step.shift = step.key == GridKey::Tab && pick(2) == 0;
      step.answer = pick(3) != 0;
    } else if (roll < 63) {
      step.kind = StepKind::Type;
      step.bad = pick(4) == 0;
    } else if (roll < 83) {
      step.kind = StepKind::Click;
      step.row = pick(12);
      step.column = pick(5) - 1;
    } else if (roll < 87) {
      step.kind = StepKind::Edit1;
    } else if (roll < 92) {
      step.kind = StepKind::Delete1;
    } else if (roll < 95) {
      step.kind = StepKind::Copy1;
    } else {
      step.kind = StepKind::Add;
    }
    sequence.steps.push_back(step);
  }
  return sequence;
}

// What plays the grid: the portable logic over a view in memory, or the
// real control through window messages.
class GridDriver {
 public:
  virtual ~GridDriver() = default;
  virtual void Key(GridKey key, bool ctrl, bool shift) = 0;
  virtual void Type(const std::string& text) = 0;
  // A left click at a point of the grid's client area.
  virtual void Click(int x, int y) = 0;
  virtual const GridLayout& Layout() = 0;
  virtual void SetReadOnly(bool read_only) = 0;
  virtual int Column() = 0;
  // The editor holds typed text not yet written, and what it holds.
  virtual bool EditorChanged() = 0;
  virtual std::string EditorText() = 0;
  virtual void AnswerDeleteWith(bool ok) = 0;
  // The failures shown so far, in order (the menu's are added here).
  virtual std::vector<std::string>& Failures() = 0;
};

// The main window with its store and the grid's binding, over the in-memory
// OS: files that exist and one that does not, a backup folder that exists
// and one that does not.
struct GridWorld {
  GridWorld() {
    os.AddFolder("C:\\Quillset");
    os.AddFolder("C:\\data");
    os.AddFolder("D:\\backup");
    os.SetClock(2026, 12, 13, 10, 0);
    form = std::make_unique<TForm1>(os, view, shell, codec);
    form->ClientDataSet1().CreateEmpty();
    form->ScheduleMode = 1;
    source = std::make_unique<StoreGridSource>(form->ClientDataSet1());
  }
  TClientDataSet& Store() { return form->ClientDataSet1(); }
  static std::string FileOf(int number) { return "C:\\data\\f" + std::to_string(number) + ".txt"; }
  void AddEntries(int count) {
    for (int n = 1; n <= count; ++n) {
      if (n % 2 == 0) os.AddFile(FileOf(n), "data");
      Store().AppendRow();
      Store().FieldAt(0).WriteText(FileOf(n));
      Store().FieldAt(1).WriteText(n % 3 == 0 ? "E:\\gone" : "D:\\backup");
      Store().CommitRow();
    }
    Store().MoveFirst();
  }

  UiTimedOs<InMemoryOs> os;
  FakeShellServices shell;
  FakeFormView view;
  RefusingPacketCodec codec;
  std::unique_ptr<TForm1> form;
  std::unique_ptr<StoreGridSource> source;
};

namespace grid_sequences_detail {

struct Row {
  std::string file, folder, result, time;
  bool has_time = false;
  bool operator==(const Row& o) const {
    return file == o.file && folder == o.folder && result == o.result && time == o.time &&
           has_time == o.has_time;
  }
};

// The committed rows in view order, read from the engine: the store's
// current row and window stay as they are.
inline std::vector<Row> CommittedRows(TClientDataSet& store) {
  std::vector<Row> rows;
  if (!store.Active()) return rows;
  DSBASE& base = *store.Table();
  const RecordLayout& layout = base.Layout();
  std::vector<std::uint8_t> image;
  for (std::uint32_t p = 1; p <= base.DefaultOrder().Count(); ++p) {
    if (base.ReadSlot(base.DefaultOrder().SlotAt(p), image) != kStatusOk) return {};
    Row row;
    row.file = layout.ReadString(image.data(), 0);
    row.folder = layout.ReadString(image.data(), 1);
    row.result = layout.ReadString(image.data(), 2);
    row.has_time = layout.FieldStatus(image.data(), 3) != FieldNull;
    const auto* area = layout.Area(image.data(), 3);
    row.time.assign(reinterpret_cast<const char*>(area), layout.AreaSize(3));
    rows.push_back(row);
  }
  return rows;
}

struct Snapshot {
  std::vector<Row> committed;
  StoreState state = StoreState::Browse;
  bool changed = false;  // the row was written to, or the editor holds typed text
  bool at_end = false;
  bool appended = false;
  int row_number = 0;
  int active = -1;
  int window_rows = 0;
  int inserted_before = 0;  // a pending inserted row: the position of the row below it
  std::vector<TDataSet::RowMark> marks;
  std::vector<std::string> pending;  // the pending row's texts as typed
  std::size_t failures = 0;
  int column = 0;
};

inline Snapshot Take(GridWorld& world, GridDriver& driver) {
  TClientDataSet& store = world.Store();
  Snapshot s;
  s.committed = CommittedRows(store);
  s.state = store.State();
  const bool typed = driver.EditorChanged();
  s.changed = store.RowModified() || typed;
  s.at_end = store.AtEnd();
  s.appended = world.source->NewRowAppended();
  s.row_number = store.Active() ? store.RowNumber() : 0;
  s.active = store.ActiveWindowIndex();
  s.window_rows = store.WindowRowCount();
  for (int i = 0; i < s.window_rows; ++i) s.marks.push_back(store.MarkWindowRow(i));
  if (s.state == StoreState::Insert && s.active + 1 < s.window_rows)
    s.inserted_before = store.WindowRow(s.active + 1).row_number;
  if (s.state != StoreState::Browse) {
    for (int c = 0; c < 3; ++c) s.pending.push_back(store.WindowGridText(s.active, c));
    const int column = driver.Column();
    if (typed && column < 3)
      s.pending[column] = driver.EditorText().substr(0, store.FieldAt(column).Size());
  }
  s.failures = driver.Failures().size();
  s.column = driver.Column();
  return s;
}

inline std::vector<Row> Without(std::vector<Row> rows, int index) {
  rows.erase(rows.begin() + index);
  return rows;
}

// The pending row committed with what was typed: the one change a step that
// is no delete and no run may make to the committed rows.
inline std::string CheckCommitOnly(const Snapshot& before, const std::vector<Row>& after) {
  const std::vector<Row>& rows = before.committed;
  if (after == rows) return "";
  auto texts_typed = [&](const Row& row) {
    return before.pending.size() == 3 && row.file == before.pending[0] &&
           row.folder == before.pending[1] && row.result == before.pending[2];
  };
  if (before.state == StoreState::Edit && before.changed && after.size() == rows.size() &&
      before.row_number >= 1) {
    const int k = before.row_number - 1;
    std::vector<Row> others = after;
    others[k] = rows[k];
    if (others == rows && texts_typed(after[k])) return "";
    return "a committed row changed other than by the edit made";
  }
  if (before.state == StoreState::Insert && before.changed && after.size() == rows.size() + 1) {
    const int expected = before.appended ? static_cast<int>(rows.size())
                         : before.inserted_before > 0 ? before.inserted_before - 1 : -1;
    for (int q = 0; q <= static_cast<int>(rows.size()); ++q) {
      if ((expected < 0 || q == expected) && Without(after, q) == rows && texts_typed(after[q]))
        return "";
    }
    return "the new row was not stored where it stood, or other rows changed";
  }
  return "the committed rows changed without an edit that explains it";
}

inline std::string CheckShown(GridWorld& world, const std::vector<Row>& rows) {
  TClientDataSet& store = world.Store();
  const int active = store.ActiveWindowIndex();
  int previous = 0;
  for (int i = 0; i < store.WindowRowCount(); ++i) {
    if (i == active && store.State() == StoreState::Insert) {
      if (!world.source->IsNewRow(i)) return "the pending new row is not shown as new";
      continue;
    }
    const int number = store.WindowRow(i).row_number;
    if (number < 1 || number > static_cast<int>(rows.size()))
      return "a row shown is not in the list";
    if (previous != 0 && number != previous + 1) return "the rows shown are not in the list's order";
    previous = number;
    if (i == active && store.State() == StoreState::Edit) continue;  // shows the edit
    const Row& row = rows[number - 1];
    if (world.source->CellText(i, 0) != row.file || world.source->CellText(i, 1) != row.folder ||
        world.source->CellText(i, 2) != row.result ||
        store.WindowValueIsNull(i, 3) == row.has_time)
      return "a row shown differs from the stored row";
  }
  return "";
}

inline bool IsRunResult(const std::string& text) {
  return text == backup_texts::kCopied || text == backup_texts::kCopyFailed ||
         text == std::string(backup_texts::kFolderMissing).substr(0, 20);
}

}  // namespace grid_sequences_detail

// Plays `sequence`; returns "" or the broken invariant with the step.
inline std::string PlaySequence(const GridSequence& sequence, GridWorld& world,
                                GridDriver& driver) {
  using namespace grid_sequences_detail;
  world.AddEntries(sequence.entries);
  TClientDataSet& store = world.Store();
  int step_number = 0;
  auto menu = [&](const std::function<void()>& command) {
    RunShowingFailure([&](const std::string& m) { driver.Failures().push_back(m); }, command);
  };
  for (const GridStep& step : sequence.steps) {
    ++step_number;
    const Snapshot before = Take(world, driver);
    std::string broken;
    auto fail = [&](const std::string& why) {
      if (broken.empty()) broken = why;
    };
    bool commit_only = true;
    switch (step.kind) {
      case StepKind::Key:
        if (step.key == GridKey::Delete) driver.AnswerDeleteWith(step.answer);
        driver.Key(step.key, step.ctrl, step.shift);
        break;
      case StepKind::Type: {
        std::string text = "t" + std::to_string(step.number);
        if (driver.Column() == 3)
          text = step.bad ? "x" : "2026/12/13 10:" + std::to_string(10 + step.number % 50);
        driver.Type(text);
        break;
      }
      case StepKind::Click: {
        const GridLayout& layout = driver.Layout();
        if (before.window_rows == 0) break;
        const int row = step.row % before.window_rows;
        if (layout.RowTop(row) >= layout.client_height) break;  // not shown
        int x = layout.indicator_width / 2;
        if (step.column >= 0) {
          x = std::max(layout.ColumnLeft(step.column), layout.DataLeft()) + 2;
          if (x >= std::min(layout.client_width, layout.ColumnLeft(step.column) +
                                                     layout.column_widths[step.column]))
            break;  // the column is scrolled out of view
        }
        driver.Click(x, layout.RowTop(row) + 2);
        if (driver.Failures().size() != before.failures) break;
        if (row != before.active &&
            (store.State() == StoreState::Insert ||
             store.MarkedRowNumber(before.marks[row]) != store.RowNumber()))
          fail("a click did not make the entry in the row clicked current");
        break;
      }
      case StepKind::Edit1:
        menu([&] { world.form->Edit1Click(); });
        driver.SetReadOnly(world.view.GridReadOnly());
        break;
      case StepKind::Delete1: {
        commit_only = false;
        menu([&] { world.form->Delete1Click(); });
        const std::vector<Row> after = CommittedRows(store);
        if (before.at_end || before.state == StoreState::Insert) {
          if (after != before.committed) fail("削除 deleted where it must delete nothing");
        } else if (after != Without(before.committed, before.row_number - 1)) {
          fail("削除 did not delete exactly the current entry");
        }
        break;
      }
      case StepKind::Copy1: {
        commit_only = false;
        menu([&] { world.form->Copy1Click(); });
        if (driver.Failures().size() != before.failures) break;  // a typed date refused
        const std::vector<Row> after = CommittedRows(store);
        if (store.State() != StoreState::Browse) fail("the run left an entry uncommitted");
        for (const Row& row : after) {
          if (!IsRunResult(row.result) || !row.has_time) fail("an entry lacks its result");
        }
        if (after.size() < before.committed.size()) fail("the run lost an entry");
        break;
      }
      case StepKind::Add:
        world.shell.open_file_ok = true;
        world.shell.open_file_path = "C:\\data\\a" + std::to_string(step.number) + ".txt";
        world.shell.folder_result = PickResult::kChosen;
        world.shell.folder_path = "D:\\backup";
        menu([&] { world.form->bakup1Click(); });
        break;
    }
    const std::size_t new_failures = driver.Failures().size() - before.failures;
    for (std::size_t f = before.failures; f < driver.Failures().size(); ++f) {
      if (driver.Failures()[f].find("日付または時刻") == std::string::npos)
        fail("failure shown: " + driver.Failures()[f]);
    }
    const std::vector<Row> after = CommittedRows(store);
    if (step.kind == StepKind::Key && step.key == GridKey::Delete && step.ctrl && step.answer &&
        !world.view.GridReadOnly() && before.window_rows > 0) {
      commit_only = false;
      const bool nothing = before.state == StoreState::Insert;
      if (after != (nothing ? before.committed : Without(before.committed, before.row_number - 1)))
        fail("Ctrl+Delete did not delete exactly the current entry");
    }
    if (commit_only) fail(CheckCommitOnly(before, after));
    // Up and Down (Shift+Tab on the first column, Tab on the last) land on
    // the entry shown above or below.
    if (step.kind == StepKind::Key && new_failures == 0) {
      const bool up = step.key == GridKey::Up ||
                      (step.key == GridKey::Tab && step.shift && before.column == 0);
      const bool down = step.key == GridKey::Down ||
                        (step.key == GridKey::Tab && !step.shift && before.column == 3);
      const int target = up ? before.active - 1 : down ? before.active + 1 : -1;
      if ((up || down) && target >= 0 && target < before.window_rows &&
          (store.State() == StoreState::Insert ||
           store.MarkedRowNumber(before.marks[target]) != store.RowNumber()))
        fail(std::string(up ? "Up" : "Down") + " did not land on the entry shown there");
    }
    fail(CheckShown(world, after));
    if (!broken.empty()) return "step " + std::to_string(step_number) + ": " + broken;
  }
  return "";
}

// Removes steps (and starting entries) as long as the sequence still breaks
// an invariant; returns the shortest found with what it breaks.
inline GridSequence Shrink(GridSequence sequence,
                           const std::function<std::string(const GridSequence&)>& play) {
  bool shorter = true;
  while (shorter) {
    shorter = false;
    for (std::size_t i = sequence.steps.size(); i-- > 0;) {
      GridSequence candidate = sequence;
      candidate.steps.erase(candidate.steps.begin() + static_cast<std::ptrdiff_t>(i));
      if (!play(candidate).empty()) {
        sequence = candidate;
        shorter = true;
      }
    }
    while (sequence.entries > 0) {
      GridSequence candidate = sequence;
      --candidate.entries;
      if (play(candidate).empty()) break;
      sequence = candidate;
      shorter = true;
    }
  }
  return sequence;
}

// Plays `count` random sequences from `seed`; "" or the first failing one,
// shrunk and described.
inline std::string PlayRandomSequences(
    std::uint32_t seed, int count, int length,
    const std::function<std::string(const GridSequence&)>& play) {
  std::mt19937 random(seed);
  for (int i = 0; i < count; ++i) {
    const GridSequence sequence = RandomSequence(random, length);
    if (play(sequence).empty()) continue;
    const GridSequence shrunk = Shrink(sequence, play);
    return "sequence " + std::to_string(i) + " of seed " + std::to_string(seed) + ", shrunk to " +
           Describe(shrunk) + play(shrunk);
  }
  return "";
}

}  // namespace testing_support
}  // namespace quillset
