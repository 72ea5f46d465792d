// Field values: text cuts and trailing spaces, nulls, the time-stamp encoding
// of date-time values and the grid's texts.
#include "store/field_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/errors.h"
#include "store/record_store.h"
#include "store/testing/test_packet_codec.h"

namespace quillset {
namespace {

class FieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    store = MakeBackupEntryStore(&codec);
    settings.ShortDatePattern = "yyyy/mm/dd";
    settings.DateSeparatorChar = '/';
    settings.LongTimeFormat = "h:mm:ss";
    store->SetDateTextContext(&settings, nullptr);
    store->CreateEmpty();
    store->InsertRow();
  }
  TStringField& Text(int i) { return static_cast<TStringField&>(store->FieldAt(i)); }
  TDateTimeField& Time() { return static_cast<TDateTimeField&>(store->FieldAt(3)); }
  double StoredStamp() {
    store->CommitRow();
    std::vector<std::uint8_t> image;
    EXPECT_EQ(kStatusOk, store->Table()->ReadSlot(store->Table()->LastSlot(), image));
    double stamp;
    std::memcpy(&stamp, image.data() + store->Table()->Layout().AreaOffset(3), sizeof stamp);
    return stamp;
  }

  TestPacketCodec codec;
  LocaleDateSettings settings;
  std::unique_ptr<TClientDataSet> store;
};

TEST_F(FieldTest, TheFieldObjectsOfABackupEntry) {
  ASSERT_EQ(4, store->FieldCount());
  EXPECT_EQ("バックアップファイル", store->FieldAt(0).FieldName());
  EXPECT_EQ(100u, store->FieldAt(0).Size());
  EXPECT_EQ("保管場所", store->FieldAt(1).FieldName());
  EXPECT_EQ(100u, store->FieldAt(1).Size());
  EXPECT_EQ("結果", store->FieldAt(2).FieldName());
  EXPECT_EQ(20u, store->FieldAt(2).Size());
  EXPECT_EQ("バックアップ日時", store->FieldAt(3).FieldName());
  EXPECT_EQ(ColumnKind::kDateTime, store->FieldAt(3).DataType());
  EXPECT_EQ(235u, store->Table()->Layout().ImageSize());
  EXPECT_EQ(&store->FieldAt(2), store->FindField("結果"));
}

TEST_F(FieldTest, LongTextIsCutAtTheByteCountKeepingALoneLeadByte) {
  const std::string exact(100, 'p');
  Text(0).WriteText(exact);
  EXPECT_EQ(exact, Text(0).ReadText());
  // Byte 100 is the first byte of 表 (95 5C): only that byte stays.
  const std::string straddling = std::string(99, 'p') + "表" + "tail";
  ASSERT_EQ(std::string("\x95\x5C"), std::string("表"));
  Text(1).WriteText(straddling);
  EXPECT_EQ(std::string(99, 'p') + "\x95", Text(1).ReadText());
  // The 26-byte folder message keeps its first 20 bytes, ten characters.
  Text(2).WriteText("フォルダーが見つかりません");
  EXPECT_EQ("フォルダーが見つかり", Text(2).ReadText());
  Text(2).WriteText("バックアップ成功");
  EXPECT_EQ("バックアップ成功", Text(2).ReadText());
  // Text stops at a zero byte.
  Text(2).WriteText(std::string("ab\0cd", 5));
  EXPECT_EQ("ab", Text(2).ReadText());
  store->CommitRow();
  EXPECT_EQ(std::string(99, 'p') + "\x95", Text(1).ReadText());
}

TEST_F(FieldTest, TrailingSpacesAreDroppedAndEmptyTextIsNotNull) {
  EXPECT_TRUE(Text(0).ValueIsNull());
  EXPECT_EQ("", Text(0).ReadText());
  Text(0).WriteText("abc  ");
  EXPECT_EQ("abc", Text(0).ReadText());
  Text(1).WriteText("   ");
  EXPECT_EQ("", Text(1).ReadText());
  EXPECT_FALSE(Text(1).ValueIsNull());
  Text(2).WriteText("");
  EXPECT_FALSE(Text(2).ValueIsNull());
  Text(2).Clear();
  EXPECT_TRUE(Text(2).ValueIsNull());
  store->CommitRow();
  EXPECT_EQ("abc", Text(0).GridText());
  EXPECT_FALSE(Text(1).ValueIsNull());
  EXPECT_TRUE(Time().ValueIsNull());
}

TEST_F(FieldTest, DateTimeValuesAreStoredAsMillisecondTimeStamps) {
  Time().WriteDateTime(0.0);
  EXPECT_EQ(59926521600000.0, StoredStamp());
  EXPECT_EQ(0.0, Time().ReadDateTime());
  EXPECT_FALSE(Time().ValueIsNull());
  // 2026-12-06 13:40:00 in the data file's example.
  EXPECT_EQ(63932247600000.0, EncodeTimeStamp(EncodeDate(2026, 12, 6) + EncodeTime(13, 40, 0, 0)));
}

TEST_F(FieldTest, TimeStampsRoundHalfMillisecondsToEven) {
  // 2^-11 days is exactly 42187.5 ms, 3 * 2^-11 exactly 126562.5 ms.
  EXPECT_EQ(59926521600000.0 + 42188.0, EncodeTimeStamp(1.0 / 2048));
  EXPECT_EQ(59926521600000.0 + 126562.0, EncodeTimeStamp(3.0 / 2048));
}

TEST_F(FieldTest, AClockValueReadsBackToTheMillisecond) {
  const TDateTime value = EncodeDate(2026, 12, 31) + EncodeTime(23, 59, 59, 999);
  Time().WriteDateTime(value);
  store->CommitRow();
  const TDateTime read = Time().ReadDateTime();
  int year, month, day, hour, minute, second, ms;
  ASSERT_TRUE(DecodeDate(read, year, month, day));
  DecodeTime(read, hour, minute, second, ms);
  EXPECT_EQ(2026, year);
  EXPECT_EQ(12, month);
  EXPECT_EQ(31, day);
  EXPECT_EQ(23, hour);
  EXPECT_EQ(59, minute);
  EXPECT_EQ(59, second);
  EXPECT_EQ(999, ms);
  EXPECT_NEAR(value, read, 0.4 / 86400000.0);
  // Before 30 December 1899 the time of day still counts forward.
  EXPECT_EQ(-1.25, DecodeTimeStamp(EncodeTimeStamp(-1.25)));
}

TEST_F(FieldTest, DatesBeforeYearOneAreRefusedAndNothingIsWritten) {
  const std::string expected = "'0.0' は正しいタイムスタンプではありません";
  try {
    Time().WriteDateTime(-693594.0);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(expected, e.Message());
  }
  EXPECT_TRUE(Time().ValueIsNull());
  EXPECT_FALSE(store->RowModified());
  EXPECT_THROW(DecodeTimeStamp(86399999.0), EConvertError);
  EXPECT_THROW(EncodeTimeStamp(std::nan("")), EConvertError);
  // Day 1 (1 January of year 1) is the first valid day.
  EXPECT_EQ(86400000.0, EncodeTimeStamp(-693593.0));
}

TEST_F(FieldTest, TheGridShowsTheDateAloneAtMidnight) {
  EXPECT_EQ("", Time().GridText());
  EXPECT_EQ(0.0, Time().ReadDateTime());
  const TDateTime day = EncodeDate(2026, 12, 6);
  Time().WriteDateTime(day);
  EXPECT_EQ("2026/12/06", Time().GridText());
  Time().WriteDateTime(day + EncodeTime(0, 0, 0, 500));
  EXPECT_EQ("2026/12/06", Time().GridText());
  Time().WriteDateTime(day + EncodeTime(10, 0, 0, 500));
  EXPECT_EQ("2026/12/06 10:00:00", Time().GridText());
}

TEST_F(FieldTest, GridTextForTheDateTimeField) {
  Time().WriteDateTime(1.0);
  Time().WriteGridText("");
  EXPECT_TRUE(Time().ValueIsNull());
  // Without the OS services no typed date is accepted; the value stays.
  Time().WriteDateTime(1.0);
  try {
    Time().WriteGridText("2026/12/06");
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ("'2026/12/06' は日付または時刻ではありません", e.Message());
  }
  EXPECT_EQ(1.0, Time().ReadDateTime());
}

TEST_F(FieldTest, WritesNeedEditOrInsertAndReadsOfAClosedStoreAreNull) {
  Text(0).WriteText("file");
  store->CommitRow();
  EXPECT_THROW(Text(0).WriteText("x"), EDatabaseError);
  EXPECT_EQ("file", Text(0).ReadText());
  store->Close();
  EXPECT_EQ("", Text(0).ReadText());
  EXPECT_TRUE(Text(0).ValueIsNull());
  EXPECT_EQ(0.0, Time().ReadDateTime());
  EXPECT_EQ("", Time().GridText());
}

}  // namespace
}  // namespace quillset
