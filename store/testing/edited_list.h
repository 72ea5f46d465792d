// For the data file's damage tests and the fuzzers' seeds: a backup list as
// the program leaves it after a few edits and backup runs. Entries are added
// (some inserted before others), each run writes a result text and a time,
// one entry is edited, one deleted. Paths hold Shift-JIS characters spelt
// as bytes (写真, 表 with its 0x5C trail byte), so that every compiler keeps
// them as the program does.
#pragma once

#include <string>

#include "store/record_store.h"

namespace quillset {

// `store` open (CreateEmpty or loaded) with the program's four fields.
inline void EditBackupList(TClientDataSet& store, int entries, int runs) {
  auto& when = static_cast<TDateTimeField&>(store.FieldAt(3));
  for (int i = 0; i < entries; ++i) {
    if (i % 3 == 2) {
      store.MoveFirst();
      store.InsertRow();
    } else {
      store.AppendRow();
    }
    store.FieldAt(0).WriteText("C:\\Users\\taro\\\x8E\xCA\x90\x5E\\\x95\x5C" + std::to_string(i) +
                               "-report-2026-final.docx");
    store.FieldAt(1).WriteText(i % 2 ? "D:\\backup" : "E:\\\x95\x5C\\copies");
    store.CommitRow();
  }
  for (int run = 0; run < runs; ++run) {
    store.MoveFirst();
    for (int i = 0; i < store.RowCount(); ++i) {
      store.EditRow();
      // "バックアップ成功" and, now and then, the 26-byte not-found text cut to 20.
      store.FieldAt(2).WriteText(i % 4 == 3 ? "\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x8C\xA9"
                                              "\x82\xC2\x82\xA9\x82\xE8\x82\xDC\x82\xB9\x82\xF1"
                                            : "\x83\x6F\x83\x62\x83\x4E\x83\x41\x83\x62\x83\x76"
                                              "\x90\xAC\x8C\xF7");
      when.WriteDateTime(46362.5 + run + i / 86400.0);  // 2026-12-06 12:00 on
      store.CommitRow();
      store.MoveRows(1);
    }
  }
  if (store.RowCount() > 2) {
    store.MoveFirst();
    store.MoveRows(1);
    store.EditRow();
    store.FieldAt(1).WriteText("F:\\moved");
    store.CommitRow();
    store.MoveRows(1);
    store.DeleteRow();
  }
}

}  // namespace quillset
