// A packet codec for tests that neither load nor save the data file: every
// call fails, so that a test that reaches the data file by mistake shows it.
#pragma once

#include <cstdint>
#include <vector>

#include "store/packet_codec.h"

namespace quillset {
namespace testing_support {

class RefusingPacketCodec : public PacketCodec {
 public:
  Status StreamPacket(DSBASE&, std::vector<std::uint8_t>&) override { return Status(1); }
  Status AppendPacket(DSBASE&, const std::vector<std::uint8_t>&) override { return Status(1); }
};

}  // namespace testing_support
}  // namespace quillset
