// A file that takes every write and keeps nothing: for doubles that must hand
// out a file (a new temporary file, say) without a real one behind it.
#pragma once

#include "base/os_services.h"

namespace quillset {
namespace testing_support {

class DiscardingFile : public ExclusiveFile {
 public:
  bool Size(std::uint64_t& size) override {
    size = 0;
    return true;
  }
  bool Read(void*, std::size_t, std::size_t& done) override {
    done = 0;
    return true;
  }
  bool Write(const void*, std::size_t length, std::size_t& done) override {
    done = length;
    return true;
  }
  bool Flush() override { return true; }
};

}  // namespace testing_support
}  // namespace quillset
