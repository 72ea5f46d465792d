// The packet a store saves, caught in memory.
#pragma once

#include <cstdint>
#include <vector>

#include "store/packet_codec.h"
#include "store/record_store.h"

namespace quillset {
namespace testing_support {

// Keeps every byte written to it, and counts the writes.
class BytesSink : public PacketSink {
 public:
  Status Write(const std::uint8_t* data, std::size_t length) override {
    bytes.insert(bytes.end(), data, data + length);
    ++writes;
    return kStatusOk;
  }
  std::vector<std::uint8_t> bytes;
  int writes = 0;
};

// What `store.SaveTo` hands out (its pending row edit is ended first).
inline std::vector<std::uint8_t> SavedPacket(TClientDataSet& store,
                                             const PacketSaving& how = PacketSaving()) {
  BytesSink sink;
  store.SaveTo(sink, how);
  return sink.bytes;
}

}  // namespace testing_support
}  // namespace quillset
