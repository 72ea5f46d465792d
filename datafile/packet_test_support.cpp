#include "datafile/packet_test_support.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace quillset {
namespace testing_support {

Bytes FromHex(const std::string& hex) {
  Bytes out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') {
      v = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      v = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      v = c - 'a' + 10;
    } else {
      continue;
    }
    if (high < 0) {
      high = v;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

namespace {

// The column part shared by every file of this program: the four columns of a
// backup entry and their WIDTH properties (bytes 24 to 143).
Bytes Columns() {
  Bytes b;
  Append(b, FromHex("14 83 6F 83 62 83 4E 83 41 83 62 83 76 83 74 83 40 83 43 83 8B"
                    "01 00 49 00 00 00 01 00 05 57 49 44 54 48 02 00 02 00 64 00"));
  Append(b, FromHex("08 95 DB 8A C7 8F EA 8F 8A 01 00 49 00 00 00 01 00"
                    "05 57 49 44 54 48 02 00 02 00 64 00"));
  Append(b, FromHex("04 8C 8B 89 CA 01 00 49 00 00 00 01 00 05 57 49 44 54 48 02 00 02 00 14 00"));
  Append(b, FromHex("10 83 6F 83 62 83 4E 83 41 83 62 83 76 93 FA 8E 9E 08 00 08 00 00 00 00 00"));
  return b;
}

Bytes Header(std::uint32_t rows, std::uint16_t first_row) {
  Bytes b = FromHex("96 19 E0 BD 01 00 00 00 18 00 00 00 04 00");
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(rows >> (8 * i)));
  Append(b, FromHex("03 00 00 00"));
  b.push_back(static_cast<std::uint8_t>(first_row));
  b.push_back(static_cast<std::uint8_t>(first_row >> 8));
  return b;
}

Bytes EntryTexts() {
  Bytes b{0x0D};
  Append(b, Ascii("C:\\data\\a.txt"));
  b.push_back(0x06);
  Append(b, Ascii("D:\\bak"));
  return b;
}

}  // namespace

Bytes EmptyListFile() {
  Bytes b = Header(0, 146);
  Append(b, Columns());
  Append(b, FromHex("00 00"));
  return b;
}

Bytes OneEntryFile() {
  Bytes b = Header(1, 177);
  Append(b, Columns());
  Append(b, FromHex("01 00 0A"));
  Append(b, Ascii("CHANGE_LOG"));
  Append(b, FromHex("04 00 82 00 03 00 00 00 01 00 00 00 00 00 00 00 04 00 00 00"));
  Append(b, FromHex("04 50"));
  Append(b, EntryTexts());
  return b;
}

Bytes AfterBackupRunFile() {
  Bytes b = Header(2, 189);
  Append(b, Columns());
  Append(b, FromHex("01 00 0A"));
  Append(b, Ascii("CHANGE_LOG"));
  Append(b, FromHex("04 00 82 00 06 00 00 00 01 00 00 00 00 00 00 00 04 00 00 00"
                    "02 00 00 00 01 00 00 00 08 00 00 00"));
  Append(b, FromHex("05 50"));
  Append(b, EntryTexts());
  Append(b, FromHex("0C 00"));
  Append(b, EntryTexts());
  // "バックアップ成功", 16 bytes, then the time stamp of 2026-12-06 13:40:00.
  Append(b, FromHex("10 83 6F 83 62 83 4E 83 41 83 62 83 76 90 AC 8C F7"));
  Append(b, FromHex("00 C0 35 74 B1 12 CD 42"));
  return b;
}

double BackupRunTime() { return 46362.0 + (13.0 * 60 + 40) / 1440.0; }

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExistsOnDisk(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return static_cast<bool>(in);
}

}  // namespace testing_support
}  // namespace quillset
