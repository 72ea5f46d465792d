// The text (XML) form: written in both encodings from the program's table and
// read back to the same table; hand-written documents; documents the reader
// refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "store/testing/place_image.h"
#include "datafile/packet_reader.h"
#include "datafile/packet_test_support.h"
#include "datafile/table_packet.h"
#include "datafile/text_encoding.h"
#include "datafile/text_packet_reader.h"

namespace quillset {
namespace {

using testing_support::Bytes;
using testing_support::ToHex;

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Binary -> table -> text form -> table -> binary.
Bytes ThroughTextForm(const Bytes& binary, PacketForm form, std::string* text = nullptr) {
  DSBASE first;
  EXPECT_EQ(AppendPacket(first, binary.data(), binary.size()), kStatusOk);
  Bytes document;
  EXPECT_EQ(StreamPacket(first, form, document), kStatusOk);
  if (text) *text = AsText(document);
  DSBASE second;
  EXPECT_EQ(AppendPacket(second, document.data(), document.size()), kStatusOk);
  Bytes again;
  EXPECT_EQ(StreamPacket(second, PacketForm::kBinary, again), kStatusOk);
  return again;
}

TEST(TextPacketTest, BothFormsCarryTheProgramsFileWithoutLoss) {
  for (const Bytes& file : {testing_support::EmptyListFile(), testing_support::OneEntryFile(),
                            testing_support::AfterBackupRunFile()}) {
    std::string shift_jis, utf8;
    EXPECT_EQ(ToHex(ThroughTextForm(file, PacketForm::kText, &shift_jis)), ToHex(file));
    EXPECT_EQ(ToHex(ThroughTextForm(file, PacketForm::kTextUtf8, &utf8)), ToHex(file));
    EXPECT_NE(shift_jis.find("encoding=\"Shift_JIS\""), std::string::npos);
    EXPECT_NE(utf8.find("encoding=\"UTF-8\""), std::string::npos);
    EXPECT_NE(utf8.find("<DATAPACKET Version=\"2.0\">"), std::string::npos);
    // The Shift-JIS document holds the column name's bytes as they are.
    EXPECT_NE(shift_jis.find("attrname=\"保管場所\""), std::string::npos);
    // The UTF-8 document is valid UTF-8 throughout.
    std::size_t at = 0;
    std::uint32_t cp = 0;
    while (at < utf8.size()) ASSERT_TRUE(DecodeUtf8(utf8, at, cp)) << "at " << at;
  }
  std::string text;
  ThroughTextForm(testing_support::AfterBackupRunFile(), PacketForm::kText, &text);
  EXPECT_NE(text.find("RowState=\"12\""), std::string::npos);
  EXPECT_NE(text.find("Value=\"1 0 4 2 1 8\""), std::string::npos);
  EXPECT_NE(text.find("2026-12-06T13:40:00.000"), std::string::npos);
  EXPECT_NE(text.find("=\"C:\\data\\a.txt\""), std::string::npos);
}

TEST(TextPacketTest, AnEmptyTextThatIsNotNullSurvivesTheTextForm) {
  std::vector<ColumnDescription> columns(2);
  columns[0].name = "a";
  columns[0].width = 10;
  columns[1].name = "b";
  columns[1].width = 10;
  DSBASE table;
  ASSERT_EQ(table.Create(columns), kStatusOk);
  std::vector<std::uint8_t> image = table.Layout().NewImage();
  table.Layout().WriteString(image.data(), 0, "");  // present, empty; column b stays null
  ASSERT_EQ(PlaceImage(table, image, RowStatusUnmodified), kStatusOk);
  ASSERT_EQ(table.BuildView(), kStatusOk);
  Bytes binary;
  ASSERT_EQ(StreamPacket(table, PacketForm::kBinary, binary), kStatusOk);
  for (PacketForm form : {PacketForm::kText, PacketForm::kTextUtf8}) {
    std::string text;
    EXPECT_EQ(ToHex(ThroughTextForm(binary, form, &text)), ToHex(binary));
    EXPECT_NE(text.find(" a=\"\""), std::string::npos) << text;
  }
}

TEST(TextPacketTest, AHandWrittenDocumentLoads) {
  const std::string document =
      "<?xml version=\"1.0\" standalone=\"yes\"?>\n"
      "<!-- a list written by hand -->\n"
      "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
      "<FIELD attrname=\"path\" fieldtype=\"string\" WIDTH=\"10\"/>"
      "<FIELD attrname=\"when\" fieldtype=\"dateTime\"/>"
      "<FIELD attrname=\"n\" fieldtype=\"i4\" readonly=\"true\"/>"
      "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA>"
      "<ROWDATA><ROW RowState=\"4\" path=\"a &amp; b &lt;c&gt; longer than ten\" "
      "when=\"2026-12-06T13:40:00\" n=\"-7\"/>"
      "<ROW RowState=\"4\" path=\"&#x41;\"></ROW></ROWDATA></DATAPACKET>";
  DSBASE table;
  ASSERT_EQ(AppendPacket(table, reinterpret_cast<const std::uint8_t*>(document.data()),
                         document.size()),
            kStatusOk);
  ASSERT_EQ(table.Columns().size(), 3u);
  EXPECT_EQ(table.Columns()[0].width, 10u);
  EXPECT_EQ(table.Columns()[2].attributes, 0x0002);
  ASSERT_EQ(table.LastSlot(), 2u);
  EXPECT_EQ(table.SlotStatus(1), 0x04);
  std::vector<std::uint8_t> image;
  ASSERT_EQ(table.ReadSlot(1, image), kStatusOk);
  EXPECT_EQ(table.Layout().ReadString(image.data(), 0), "a & b <c> ");
  double stamp = 0;
  std::memcpy(&stamp, image.data() + table.Layout().AreaOffset(1), 8);
  EXPECT_EQ(stamp, 63932247600000.0);
  ASSERT_EQ(table.ReadSlot(2, image), kStatusOk);
  EXPECT_EQ(table.Layout().ReadString(image.data(), 0), "A");
  EXPECT_EQ(table.Layout().FieldStatus(image.data(), 1), FieldNull);
  ASSERT_EQ(table.ChangeLog().size(), 2u);
}

TEST(TextPacketTest, UnicodeWithoutACodePageFormIsRefusedNotGuessed) {
  // U+5199 (a kanji) has no table-free form; U+FF71 (half-width katakana) has.
  // A path must never load with a "?" for a character: in a UTF-8 text, as a
  // character reference, in a value or in a column name.
  const auto load = [](const std::string& name, const std::string& text) {
    const std::string document =
        "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"" + name +
        "\" fieldtype=\"string\" WIDTH=\"20\"/></FIELDS></METADATA><ROWDATA><ROW " + name +
        "=\"" + text + "\"/></ROWDATA></DATAPACKET>";
    DSBASE table;
    const Status s = AppendPacket(table, reinterpret_cast<const std::uint8_t*>(document.data()),
                                  document.size());
    std::vector<std::uint8_t> image;
    if (s == kStatusOk && table.ReadSlot(1, image) == kStatusOk) {
      EXPECT_EQ(table.Layout().ReadString(image.data(), 0), "\xB1x");
    }
    return s;
  };
  EXPECT_EQ(load("t", "\xEF\xBD\xB1x"), kStatusOk);
  EXPECT_EQ(load("t", "C:\\\xE5\x86\x99.jpg"), kStatusBadPacket);
  EXPECT_EQ(load("t", "&#x5199;"), kStatusBadPacket);
  EXPECT_EQ(load("\xE5\x86\x99", "x"), kStatusBadPacket);
}

TEST(TextPacketTest, DocumentsThatAreRefused) {
  auto load = [](const std::string& text) {
    DSBASE table;
    return AppendPacket(table, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  };
  // The first element must be METADATA or ROWDATA (after an optional DATAPACKET).
  EXPECT_EQ(load("<DATAPACKET><FOO/></DATAPACKET>"), kStatusBadPacket);
  EXPECT_EQ(load("<FIELDS/>"), kStatusBadPacket);
  EXPECT_EQ(load("<DATAPACKET Version=\"2.0\"></DATAPACKET>"), kStatusBadPacket);
  // Rows without metadata: the table cannot be built.
  EXPECT_EQ(load("<DATAPACKET><ROWDATA/></DATAPACKET>"), kStatusNoMetadata);
  // Metadata without fields.
  EXPECT_EQ(load("<METADATA><FIELDS/></METADATA>"), kStatusBadPacket);
  // Malformed or not XML at all.
  EXPECT_EQ(load("hello"), kStatusBadPacket);
  EXPECT_EQ(load(""), kStatusBadPacket);
  EXPECT_EQ(load("<METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"i4\"/></FIELDS>"), kStatusBadPacket);
  EXPECT_EQ(load("<?xml version=\"1.0\" encoding=\"EBCDIC\"?><METADATA/>"), kStatusBadPacket);
  // An unknown field type, a value that is not a number, a row naming no column.
  const std::string head = "<METADATA><FIELDS><FIELD attrname=\"a\" fieldtype=\"";
  EXPECT_EQ(load(head + "i3\"/></FIELDS></METADATA>"), kStatusBadType);
  EXPECT_EQ(load(head + "i4\"/></FIELDS></METADATA><ROWDATA><ROW a=\"x\"/></ROWDATA>"), kStatusBadPacket);
  EXPECT_EQ(load(head + "i4\"/></FIELDS></METADATA><ROWDATA><ROW b=\"1\"/></ROWDATA>"), kStatusBadPacket);
  EXPECT_EQ(load(head + "i1\"/></FIELDS></METADATA><ROWDATA><ROW a=\"300\"/></ROWDATA>"), kStatusBadPacket);
  EXPECT_EQ(load(head + "string\"/></FIELDS></METADATA>"), kStatusInvalidArgument);  // no WIDTH
}

TEST(TextPacketTest, ManyEmptyRowsOfManyColumnsAreRefusedNotAllocated) {
  std::string document = "<METADATA><FIELDS>";
  for (int c = 0; c < 2000; ++c)
    document += "<FIELD attrname=\"c" + std::to_string(c) + "\" fieldtype=\"i4\"/>";
  document += "</FIELDS></METADATA><ROWDATA>";
  for (int r = 0; r < 20000; ++r) document += "<ROW/>";
  document += "</ROWDATA>";
  DSBASE table;
  EXPECT_EQ(AppendPacket(table, reinterpret_cast<const std::uint8_t*>(document.data()),
                         document.size()),
            kStatusOutOfMemory);
}

TEST(TextPacketTest, EveryCutOfATextFormIsRefusedOrLoadsCleanly) {
  DSBASE first;
  const Bytes file = testing_support::AfterBackupRunFile();
  ASSERT_EQ(AppendPacket(first, file.data(), file.size()), kStatusOk);
  Bytes document;
  ASSERT_EQ(StreamPacket(first, PacketForm::kTextUtf8, document), kStatusOk);
  for (std::size_t cut = 0; cut + 1 < document.size(); ++cut) {
    const Bytes part(document.begin(), document.begin() + cut);
    DSBASE table;
    // Only the trailing newline may go; everything else is needed.
    EXPECT_NE(AppendPacket(table, part.data(), part.size()), kStatusOk) << "cut at " << cut;
  }
}

TEST(TextEncodingTest, CodePageTextSurvivesTheUtf8FormByteForByte) {
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  all += "\x83\x5C\x95\x5C\x81";  // ソ, 表 (trail byte 0x5C), a lone lead byte at the end
  std::string bytes;
  ASSERT_TRUE(CodePointsToCodePage(CodePageToCodePoints(all), bytes));
  EXPECT_EQ(bytes, all);
  const std::string utf8 = CodePageToUtf8(all);
  std::u32string back;
  std::size_t at = 0;
  std::uint32_t cp = 0;
  while (at < utf8.size()) {
    ASSERT_TRUE(DecodeUtf8(utf8, at, cp));
    back += static_cast<char32_t>(cp);
  }
  ASSERT_TRUE(CodePointsToCodePage(back, bytes));
  EXPECT_EQ(bytes, all);
}

}  // namespace
}  // namespace quillset
