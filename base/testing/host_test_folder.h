// A fresh folder under the host's temporary folder for the native OS-services
// tests, removed with everything in it at the end (write permission given
// back first: tests make files and folders read-only).
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace quillset {
namespace testing_support {

class HostTestFolder {
 public:
  HostTestFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillset-os-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder");
    dir_ = pattern;
  }
  ~HostTestFolder() {
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_, ec))
      std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  HostTestFolder(const HostTestFolder&) = delete;
  HostTestFolder& operator=(const HostTestFolder&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  void WriteText(const std::string& name, const std::string& text) const {
    std::ofstream(Path(name), std::ios::binary) << text;
  }
  std::string ReadText(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }

 private:
  std::filesystem::path dir_;
};

}  // namespace testing_support
}  // namespace quillset
