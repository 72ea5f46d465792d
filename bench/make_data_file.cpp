// make_data_file PATH VERSIONS [ENTRIES]: writes a data file as years of
// backup runs leave it: ENTRIES entries (default 20), then one new version of
// each per run, every version kept with its change-log entry, VERSIONS row
// versions in all. For the whole-program benchmark (scripts/bench).
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "datafile/table_packet.h"
#include "store/place_image_for_tests.h"
#include "store/record_store.h"

namespace {

using namespace quillset;

class StdioSink : public PacketSink {
 public:
  explicit StdioSink(std::FILE* file) : file_(file) {}
  Status Write(const std::uint8_t* bytes, std::size_t length) override {
    return std::fwrite(bytes, 1, length, file_) == length ? kStatusOk : kStatusWriteFailed;
  }

 private:
  std::FILE* file_;
};

int Fail(const char* what) {
  std::fprintf(stderr, "make_data_file: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Fail("usage: make_data_file PATH VERSIONS [ENTRIES]");
  const std::uint32_t versions = static_cast<std::uint32_t>(std::strtoul(argv[2], nullptr, 10));
  const std::uint32_t entries =
      argc > 3 ? static_cast<std::uint32_t>(std::strtoul(argv[3], nullptr, 10)) : 20;
  if (versions == 0 || entries == 0 || entries > versions) return Fail("bad counts");

  BinaryPacketCodec codec;
  auto store = MakeBackupEntryStore(&codec);
  std::vector<ColumnDescription> columns;
  for (int i = 0; i < store->FieldCount(); ++i) columns.push_back(store->FieldAt(i).Describe());
  DSBASE table;
  if (table.Create(columns)) return Fail("no table");
  const RecordLayout& layout = table.Layout();
  std::vector<std::uint8_t> image = layout.NewImage();
  std::vector<ChangeLogEntry> log;
  log.reserve(versions);
  const double first_run = 63932247600000.0;  // 2026-12-06 13:40:00
  for (std::uint32_t slot = 1; slot <= versions; ++slot) {
    const std::uint32_t entry = (slot - 1) % entries;
    const std::uint32_t version = (slot - 1) / entries;
    const bool last = slot + entries > versions;
    layout.InitImage(image.data());
    layout.WriteString(image.data(), 0,
                       "C:\\Users\\user\\Documents\\report" + std::to_string(entry) + ".xlsx");
    layout.WriteString(image.data(), 1, "D:\\backup\\documents");
    std::uint8_t status;
    if (version == 0) {
      status = last ? 0x04 : 0x05;
      log.push_back({slot, 0, kChangeInsert});
    } else {
      layout.WriteString(image.data(), 2, "バックアップ成功");
      const double when = first_run + version * 600000.0;  // every ten minutes
      layout.WriteBytes(image.data(), 3, &when, 8);
      status = version == 1 ? (last ? 0x0C : 0x0D) : (last ? 0x08 : 0x09);
      log.push_back({slot, slot - entries, kChangeModify});
    }
    if (PlaceImage(table, image, status)) return Fail("row not placed");
  }
  table.SetChangeLog(std::move(log));
  if (table.BuildView()) return Fail("no view");

  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return Fail("cannot create the file");
  StdioSink sink(file);
  const Status written = StreamPacketTo(table, sink, 16 * 1024 * 1024);
  if (std::fclose(file) != 0 || written) return Fail("cannot write the file");
  return 0;
}
