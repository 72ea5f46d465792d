// A fresh folder under the system's temporary folder for tests that work on
// real files, removed with everything in it when the object goes (write
// permission given back first: tests make files read-only). And the small
// file helpers such tests share.
//
// Paths: natively they are host paths joined with "/", under Wine Windows
// paths joined with "\" (kTestPathSeparator). File names are code-page bytes;
// the helpers pass them to the C runtime unchanged (bytes on the host, the
// ANSI code page under Wine).
#pragma once

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#ifdef _WIN32
#include <direct.h>
#else
#include <sys/stat.h>
#endif

namespace quillset {
namespace testing_support {

#ifdef _WIN32
inline constexpr char kTestPathSeparator[] = "\\";
#else
inline constexpr char kTestPathSeparator[] = "/";
#endif

inline std::string JoinPath(const std::string& folder, const std::string& name) {
  return folder + kTestPathSeparator + name;
}

inline bool MakeFolder(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str()) == 0;
#else
  return ::mkdir(path.c_str(), 0755) == 0;
#endif
}

inline bool WriteBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

// The file's bytes; `ok` false when it cannot be read.
inline std::string ReadBytes(const std::string& path, bool* ok = nullptr) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (ok) *ok = file != nullptr;
  if (file == nullptr) return bytes;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

inline bool PathExists(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    std::error_code error;
    const std::filesystem::path base = std::filesystem::temp_directory_path(error);
    for (int attempt = 0; !error && attempt < 100; ++attempt) {
      std::filesystem::path candidate =
          base / ("quillset-test-" + std::to_string(random()) + "-" + std::to_string(attempt));
      if (std::filesystem::create_directory(candidate, error)) {
        root_ = candidate;
        path_ = candidate.string();
        return;
      }
      error.clear();
    }
  }
  ~TempFolder() {
    if (root_.empty()) return;
    std::error_code error;
    const auto writable = [&](const std::filesystem::path& path) {
      std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, error);
    };
    writable(root_);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, error))
      writable(entry.path());
    std::filesystem::remove_all(root_, error);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }
  // The path of `name` in the folder.
  std::string operator/(const std::string& name) const { return JoinPath(path_, name); }
  // Number of entries directly in `folder` (names are not compared, so that
  // code-page names need no conversion).
  static int CountEntries(const std::string& folder) {
    std::error_code error;
    int count = 0;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error))
      ++count;
    return count;
  }

 private:
  std::filesystem::path root_;
  std::string path_;
};

}  // namespace testing_support
}  // namespace quillset
