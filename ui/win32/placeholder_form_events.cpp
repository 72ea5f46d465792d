#include "ui/win32/placeholder_form_events.h"

namespace quillset {

namespace {
const char* const kTitles[4] = {"バックアップファイル", "保管場所", "結果", "バックアップ日時"};
const int kWidths[4] = {100, 100, 20, 18};
}  // namespace

std::string PlaceholderGridSource::ColumnTitle(int column) const { return kTitles[column]; }

int PlaceholderGridSource::DisplayWidth(int column) const { return kWidths[column]; }

}  // namespace quillset
