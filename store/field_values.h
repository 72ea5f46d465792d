// The field objects through which the program reads and writes the values of
// the record store's active row, and the grid gets the text it shows.
//
// A field belongs to one TDataSet (TDataSet::AddField) and is bound to the
// engine column of the same name when the store opens. Reads take the value
// from the store's active row buffer (in Edit and Insert the row being edited);
// a closed store or no current row reads as null. Writes change the active row
// buffer only and need the store in Edit or Insert.
#pragma once

#include <cstdint>
#include <string>

#include "locale/calendar_dates.h"
#include "store/record_layout.h"
#include "store/time_stamp.h"

namespace quillset {

class TDataSet;

class TField {
 public:
  virtual ~TField() = default;
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  const std::string& FieldName() const { return field_name_; }
  // Capacity in bytes for strings; 0 for fields without a size.
  std::uint32_t Size() const { return size_; }
  ColumnKind DataType() const { return kind_; }
  // 0-based position in the store; -1 before TDataSet::AddField.
  int Index() const { return index_; }
  TDataSet* DataSet() const { return dataset_; }

  // True when the active row has no value for this field (also when there is
  // no active row).
  bool ValueIsNull() const;
  // The stored text (strings); empty when null.
  virtual std::string ReadText() const;
  // Stores text (strings: cut to Size bytes, trailing spaces dropped).
  virtual void WriteText(const std::string& text);
  // What the grid shows.
  virtual std::string GridText() const = 0;
  // What was typed into a grid cell.
  virtual void WriteGridText(const std::string& text) = 0;
  // Stores null.
  void Clear();
  // A read-only field refuses writes ("項目 '%s' は変更できません"); the
  // program's fields are all writable.
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only) { read_only_ = read_only; }

  // The engine column this field creates: name cut to 31 bytes, kind, width.
  ColumnDescription Describe() const;

 protected:
  TField(std::string field_name, ColumnKind kind, std::uint32_t size);
  // The active row image, or nullptr (closed store, no row).
  const std::uint8_t* ActiveImage() const;
  // The active image for a write: checks that the store is in Edit or Insert
  // (EDatabaseError "ClientDataSet1: データセットが編集または挿入モードではありません"
  // otherwise). After changing it the field calls FinishWrite, which sets
  // RowModified and sends FieldChanged.
  std::uint8_t* WritableImage();
  void FinishWrite();
  std::size_t Column() const { return column_; }
  const RecordLayout& Layout() const;

 private:
  friend class TDataSet;
  std::string field_name_;
  ColumnKind kind_;
  std::uint32_t size_;
  int index_ = -1;
  TDataSet* dataset_ = nullptr;
  std::size_t column_ = 0;  // engine column, set when the store opens
  bool read_only_ = false;
};

class TStringField : public TField {
 public:
  // 20 bytes when no size is given.
  explicit TStringField(std::string field_name, std::uint32_t size = 20);
  std::string GridText() const override { return ReadText(); }
  void WriteGridText(const std::string& text) override { WriteText(text); }
};

class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(std::string field_name);
  // 0.0 when null. Throws the time-stamp error for a stored day number <= 0.
  TDateTime ReadDateTime() const;
  // Throws the time-stamp error (nothing written) for a date before year 1.
  void WriteDateTime(TDateTime value);
  // Empty when null; otherwise FormatDateTimeText in the store's date settings.
  std::string GridText() const override;
  // Empty text stores null; otherwise ParseDateTimeText in the store's date
  // settings ("'%s' は日付または時刻ではありません"), then WriteDateTime.
  void WriteGridText(const std::string& text) override;
  // ReadText/WriteText of a date-time field: the grid text.
  std::string ReadText() const override { return GridText(); }
  void WriteText(const std::string& text) override { WriteGridText(text); }
};

}  // namespace quillset
