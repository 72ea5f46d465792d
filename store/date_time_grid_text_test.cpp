// Date-time text typed into the grid, read with the user's date settings of
// the host OS services (a Japanese Windows by default: yyyy/MM/dd, 24 hours).
#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/host_os_services.h"
#include "store/record_store.h"
#include "store/testing/test_packet_codec.h"

namespace quillset {
namespace {

TEST(DateTimeGridTextTest, TypedDatesAndTimesAreParsedAndBadTextKeepsTheValue) {
  HostOsServices os;
  SystemTime now;
  now.year = 2026;
  now.month = 12;
  now.day = 7;
  os.SetLocalTime(now);
  const LocaleDateSettings settings = LocaleDateSettings::FromOs(os);
  TestPacketCodec codec;
  std::unique_ptr<TClientDataSet> store = MakeBackupEntryStore(&codec);
  store->SetDateTextContext(&settings, &os);
  store->CreateEmpty();
  store->InsertRow();
  auto& time = static_cast<TDateTimeField&>(store->FieldAt(3));

  time.WriteGridText("2026/12/06 10:20:30");
  EXPECT_EQ(EncodeDate(2026, 12, 6) + EncodeTime(10, 20, 30, 0), time.ReadDateTime());
  EXPECT_EQ(time.GridText(), FormatDateTimeText(time.ReadDateTime(), settings));
  time.WriteGridText("12/24");  // day and month only: this year
  EXPECT_EQ(EncodeDate(2026, 12, 24), time.ReadDateTime());
  EXPECT_EQ("2026/12/24", time.GridText());

  for (const char* bad : {"abc", "2026/02/30", "2026/12/06 25:00:00"}) {
    try {
      time.WriteGridText(bad);
      ADD_FAILURE() << bad << " was accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string("'") + bad + "' は日付または時刻ではありません", e.Message());
    }
    EXPECT_EQ(EncodeDate(2026, 12, 24), time.ReadDateTime());
  }
}

}  // namespace
}  // namespace quillset
