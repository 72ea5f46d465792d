// make_data_file PATH VERSIONS [ENTRIES]: writes a data file as years of
// backup runs leave it: ENTRIES entries (default 20), then one new version of
// each per run, every version kept with its change-log entry, VERSIONS row
// versions in all. For the whole-program benchmark (scripts/bench).
#include <cstdio>
#include <cstdlib>

#include "datafile/table_packet.h"
#include "store/testing/backup_history.h"

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

  DSBASE table;
  if (BuildBackupHistory(table, versions, entries, 600000.0)) return Fail("no table");  // ten minutes

  std::FILE* file = std::fopen(argv[1], "wb");
  if (file == nullptr) return Fail("cannot create the file");
  StdioSink sink(file);
  const Status written = StreamPacketTo(table, sink, PacketSaving());
  if (std::fclose(file) != 0 || written) return Fail("cannot write the file");
  return 0;
}
