#include "store/field_values.h"

#include <cmath>
#include <cstring>

#include "base/errors.h"
#include "store/record_store.h"

namespace quillset {
// --- TField ------------------------------------------------------------------

TField::TField(std::string field_name, ColumnKind kind, std::uint32_t size)
    : field_name_(std::move(field_name)), kind_(kind), size_(size) {}

const std::uint8_t* TField::ActiveImage() const {
  return dataset_ ? dataset_->ActiveImage() : nullptr;
}

const RecordLayout& TField::Layout() const { return dataset_->base_->Layout(); }

std::uint8_t* TField::WritableImage() {
  if (dataset_ == nullptr) {
    throw EDatabaseError(FormatMessageText("%s: %s", {std::string(), "データセットが編集または挿入モードではありません"}));
  }
  std::uint8_t* image = dataset_->EditImage();
  if (read_only_) {
    throw EDatabaseError(FormatMessageText("項目 '%s' は変更できません", {field_name_}));
  }
  return image;
}

void TField::FinishWrite() { dataset_->FieldWritten(index_); }

bool TField::ValueIsNull() const {
  const std::uint8_t* image = ActiveImage();
  return image == nullptr || Layout().FieldStatus(image, column_) == FieldNull;
}

std::string TField::ReadText() const {
  const std::uint8_t* image = ActiveImage();
  if (image == nullptr) return std::string();
  return Layout().ReadString(image, column_);
}

void TField::WriteText(const std::string& text) {
  // The field's own cut comes first: Size bytes, or up to a zero byte. A
  // double-byte character across the limit keeps its first byte.
  std::size_t length = 0;
  while (length < size_ && length < text.size() && text[length] != '\0') ++length;
  const std::string cut = text.substr(0, length);
  std::uint8_t* image = WritableImage();
  Layout().WriteString(image, column_, cut);
  FinishWrite();
}

void TField::Clear() {
  std::uint8_t* image = WritableImage();
  Layout().WriteNull(image, column_);
  FinishWrite();
}

ColumnDescription TField::Describe() const {
  ColumnDescription column;
  column.name = CutColumnName(field_name_);
  column.kind = kind_;
  column.width = size_;
  return column;
}

TStringField::TStringField(std::string field_name, std::uint32_t size)
    : TField(std::move(field_name), ColumnKind::kString, size) {}

TDateTimeField::TDateTimeField(std::string field_name)
    : TField(std::move(field_name), ColumnKind::kDateTime, 0) {}

TDateTime TDateTimeField::ReadDateTime() const {
  const std::uint8_t* image = ActiveImage();
  if (image == nullptr || Layout().FieldStatus(image, Column()) != FieldValuePresent) return 0.0;
  double stamp;
  std::memcpy(&stamp, image + Layout().AreaOffset(Column()), sizeof stamp);
  return DecodeTimeStamp(stamp);
}

void TDateTimeField::WriteDateTime(TDateTime value) {
  const double stamp = EncodeTimeStamp(value);  // converted before the state check
  std::uint8_t* image = WritableImage();
  Layout().WriteBytes(image, Column(), &stamp, sizeof stamp);
  FinishWrite();
}

std::string TDateTimeField::GridText() const {
  if (ValueIsNull()) return std::string();
  return FormatDateTimeText(ReadDateTime(), DataSet()->DateSettings());
}

void TDateTimeField::WriteGridText(const std::string& text) {
  if (text.empty()) {
    Clear();
    return;
  }
  TDateTime value = 0;
  OsServices* os = DataSet() ? DataSet()->DateOs() : nullptr;
  if (os == nullptr || DataSet() == nullptr ||
      !TryParseDateTimeText(text, DataSet()->DateSettings(), *os, value)) {
    throw EConvertError(FormatMessageText("'%s' は日付または時刻ではありません", {text}));
  }
  WriteDateTime(value);
}

}  // namespace quillset
