#include "base/testing/in_memory_os.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <utility>
#include <vector>

#include "base/code_page.h"

namespace quillset {
namespace testing_support {
namespace {

const ShiftJisCodePage kShiftJis;

// Where the separators of a key are (a trail byte is none).
std::vector<std::size_t> Separators(const std::string& key) {
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (kShiftJis.IsLeadByte(static_cast<std::uint8_t>(key[i]))) ++i;
    else if (key[i] == '\\') at.push_back(i);
  }
  return at;
}

// Where the folder part of a key ends (its last separator); npos for a bare
// name.
std::size_t LastSeparator(const std::string& key) {
  const std::vector<std::size_t> at = Separators(key);
  return at.empty() ? std::string::npos : at.back();
}

bool IsDriveRoot(const std::string& key) {
  return key.size() == 2 && key[1] == ':';
}

constexpr std::uint64_t kProgressPartSize = std::uint64_t(1) << 20;

}  // namespace

struct InMemoryFileServices::Node {
  bool folder = false;
  bool read_only = false;
  bool held = false;  // open through OpenExclusive
  std::uint64_t index = 0;
  std::uint64_t write_time = 0;
  std::string content;
};

// A file held open with no sharing until this object goes.
class InMemoryFileServices::OpenFile : public ExclusiveFile {
 public:
  OpenFile(std::shared_ptr<Node> node, std::uint64_t& write_clock, bool at_end = false)
      : node_(std::move(node)), write_clock_(write_clock) {
    node_->held = true;
    if (at_end) at_ = node_->content.size();
  }
  ~OpenFile() override { node_->held = false; }

  bool Size(std::uint64_t& size) override {
    size = node_->content.size();
    return true;
  }
  bool Read(void* buffer, std::size_t length, std::size_t& done) override {
    const std::string& content = node_->content;
    done = at_ < content.size() ? std::min(length, content.size() - at_) : 0;
    if (done != 0) std::memcpy(buffer, content.data() + at_, done);
    at_ += done;
    return true;
  }
  bool Write(const void* buffer, std::size_t length, std::size_t& done) override {
    std::string& content = node_->content;
    if (content.size() < at_ + length) content.resize(at_ + length);
    if (length != 0) std::memcpy(&content[at_], buffer, length);
    at_ += length;
    done = length;
    node_->write_time = ++write_clock_;
    return true;
  }
  bool Flush() override { return true; }

 private:
  std::shared_ptr<Node> node_;
  std::uint64_t& write_clock_;
  std::size_t at_ = 0;
};

InMemoryFileServices::InMemoryFileServices() = default;
InMemoryFileServices::~InMemoryFileServices() = default;

std::string InMemoryFileServices::Key(const std::string& path) {
  // The path's parts, case folded; a trail byte is never a separator nor a
  // letter.
  std::vector<std::string> parts(1);
  for (std::size_t i = 0; i < path.size(); ++i) {
    char c = path[i];
    if (kShiftJis.IsLeadByte(static_cast<std::uint8_t>(c)) && i + 1 < path.size()) {
      parts.back() += c;
      parts.back() += path[++i];
    } else if (c == '\\' || c == '/') {
      parts.emplace_back();
    } else {
      parts.back() += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
  }
  // As the system normalizes a full path: a part's one trailing dot goes,
  // and the last part (unless a separator follows it) loses all its
  // trailing dots and spaces: "a.txt. " names "a.txt".
  const bool ends_in_separator = parts.back().empty();
  for (std::size_t i = 1; i < parts.size(); ++i) {
    std::string& part = parts[i];
    if (part == "." || part == "..") continue;
    if (i + 1 == parts.size() && !ends_in_separator) {
      while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    } else if (part.size() >= 2 && part.back() == '.' && part[part.size() - 2] != '.') {
      part.pop_back();
    }
  }
  // Empty parts (doubled or trailing separators) and "." name nothing; ".."
  // names the folder above, as the system resolves a full path.
  std::string key = parts[0];
  std::vector<std::size_t> ends;
  for (std::size_t i = 1; i < parts.size(); ++i) {
    if (parts[i].empty() || parts[i] == ".") continue;
    if (parts[i] == "..") {
      if (!ends.empty()) {
        key.erase(ends.back());
        ends.pop_back();
      }
      continue;
    }
    ends.push_back(key.size());
    key += '\\' + parts[i];
  }
  return key;
}

FileError InMemoryFileServices::NameProblem(const std::string& path) const {
  std::size_t characters = 0;
  std::string part;  // the part read so far, case folded
  for (std::size_t i = 0; i <= path.size(); ++i, ++characters) {
    const auto byte = i < path.size() ? static_cast<std::uint8_t>(path[i]) : std::uint8_t{'\\'};
    if (kShiftJis.IsLeadByte(byte)) {
      // A lead byte needs a trail byte; code page 932 maps nothing else.
      if (i + 1 >= path.size()) return FileError::kOther;
      const auto trail = static_cast<std::uint8_t>(path[++i]);
      if (trail < 0x40 || trail == 0x7F || trail > 0xFC) return FileError::kOther;
      part += "\x81";  // any double-byte character: never a device name
      continue;
    }
    if (byte == 0x80 || byte == 0xA0 || byte >= 0xFD) return FileError::kOther;
    // Characters no name may hold (ERROR_INVALID_NAME); ":" only after a drive letter.
    if (byte < 0x20 || std::strchr("<>\"|?*", byte) != nullptr) return FileError::kNotFound;
    if (byte == ':' && i != 1) return FileError::kNotFound;
    if (byte != '\\' && byte != '/') {
      part += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
      continue;
    }
    // A device's name, with any extension, names the device, not a file.
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    bool device = std::find(std::begin(kDevices), std::end(kDevices), base) != std::end(kDevices);
    device |= base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
              base[3] >= '1' && base[3] <= '9';
    if (device) return FileError::kOther;
    part.clear();
  }
  // MAX_PATH: 259 characters and the terminator.
  if (characters - 1 > 259) return FileError::kNotFound;
  // A full path names a drive the test set up.
  const std::string key = Key(path);
  if (key.size() >= 2 && key[1] == ':' && drives_.count(key.substr(0, 2)) == 0)
    return FileError::kNotFound;
  return FileError::kNone;
}

bool InMemoryFileServices::Refuses(std::initializer_list<const std::string*> paths) {
  for (const std::string* path : paths) {
    const FileError problem = NameProblem(*path);
    if (problem != FileError::kNone) return !Fail(problem);
  }
  return false;
}

InMemoryFileServices::Node* InMemoryFileServices::Find(const std::string& path) const {
  if (NameProblem(path) != FileError::kNone) return nullptr;
  const auto it = nodes_.find(Key(path));
  return it == nodes_.end() ? nullptr : it->second.get();
}

bool InMemoryFileServices::ParentExists(const std::string& key) const {
  const std::size_t at = LastSeparator(key);
  if (at == std::string::npos) return true;  // a bare name: the current folder
  const std::string parent = key.substr(0, at);
  if (parent.empty() || IsDriveRoot(parent)) return true;
  const auto it = nodes_.find(parent);
  return it != nodes_.end() && it->second->folder;
}

bool InMemoryFileServices::Fail(FileError error) {
  last_error_ = error;
  return false;
}

void InMemoryFileServices::AddFolder(const std::string& path) {
  const std::string key = Key(path);
  if (key.size() >= 2 && key[1] == ':') drives_.insert(key.substr(0, 2));
  for (std::size_t at : Separators(key)) {
    const std::string above = key.substr(0, at);
    if (above.empty()) continue;
    if (!IsDriveRoot(above) && nodes_.count(above) == 0) AddFolder(above);
  }
  if (IsDriveRoot(key) || nodes_.count(key) != 0) return;
  auto node = std::make_shared<Node>();
  node->folder = true;
  node->index = next_index_++;
  nodes_[key] = node;
}

void InMemoryFileServices::AddFile(const std::string& path, const std::string& content) {
  const std::string key = Key(path);
  if (key.size() >= 2 && key[1] == ':') drives_.insert(key.substr(0, 2));
  const std::size_t at = LastSeparator(key);
  if (at != std::string::npos && at != 0) AddFolder(key.substr(0, at));
  std::shared_ptr<Node>& node = nodes_[key];
  if (!node) {
    node = std::make_shared<Node>();
    node->index = next_index_++;
  }
  node->content = content;
  node->write_time = ++write_clock_;
}

std::string InMemoryFileServices::FileContent(const std::string& path, bool* found) const {
  const Node* node = Find(path);
  const bool file = node != nullptr && !node->folder;
  if (found) *found = file;
  return file ? node->content : std::string();
}

bool InMemoryFileServices::FileExists(const std::string& path) {
  const Node* node = Find(path);
  return node != nullptr && !node->folder;
}

bool InMemoryFileServices::DirectoryExists(const std::string& path) {
  const Node* node = Find(path);
  return (node != nullptr && node->folder) ||
         (IsDriveRoot(Key(path)) && NameProblem(path) == FileError::kNone);
}

bool InMemoryFileServices::FileStamp(const std::string& path, std::uint64_t& write_time,
                                     std::uint64_t& size) {
  const Node* node = Find(path);
  if (node == nullptr || node->folder) return false;
  write_time = node->write_time;
  size = node->content.size();
  return true;
}

bool InMemoryFileServices::GetAttributes(const std::string& path, std::uint32_t& attributes) {
  if (Refuses({&path})) return false;
  const Node* node = Find(path);
  if (node == nullptr) return Fail(FileError::kNotFound);
  attributes = node->folder      ? kAttributeDirectory
               : node->read_only ? kAttributeReadOnly
                                 : kAttributeNormal;
  return true;
}

bool InMemoryFileServices::SetAttributes(const std::string& path, std::uint32_t attributes) {
  if (Refuses({&path})) return false;
  Node* node = Find(path);
  if (node == nullptr) return Fail(FileError::kNotFound);
  if (!node->folder) node->read_only = (attributes & kAttributeReadOnly) != 0;
  return true;
}

bool InMemoryFileServices::FileIdentity(const std::string& path, FileId& id) {
  if (Refuses({&path})) return false;
  const Node* node = Find(path);
  if (node == nullptr) return Fail(FileError::kNotFound);
  id.volume = 1;
  id.index = node->index;
  return true;
}

bool InMemoryFileServices::CopyFileWithProgress(const std::string& source,
                                                const std::string& target, bool fail_if_exists,
                                                const CopyProgress& progress) {
  if (Refuses({&source, &target})) return false;
  const Node* from = Find(source);
  Node* onto = Find(target);
  if ((from != nullptr && from->held) || (onto != nullptr && onto->held))
    return Fail(FileError::kInUse);
  if (from == nullptr) return Fail(FileError::kNotFound);
  if (from->folder) return Fail(FileError::kAccessDenied);
  if (onto != nullptr) {
    if (fail_if_exists) return Fail(FileError::kExists);
    if (onto->folder || onto->read_only) return Fail(FileError::kAccessDenied);
    if (onto == from) return Fail(FileError::kInUse);
  }
  const std::string key = Key(target);
  if (!ParentExists(key)) return Fail(FileError::kNotFound);
  const std::uint64_t total = from->content.size();
  if (progress) {
    for (std::uint64_t copied = 0;; copied = std::min(total, copied + kProgressPartSize)) {
      if (progress(copied, total) == CopyProgressAnswer::kCancel) {
        // The target goes, whatever it was before.
        nodes_.erase(key);
        return Fail(FileError::kOther);
      }
      if (copied == total) break;
    }
  }
  std::shared_ptr<Node>& node = nodes_[key];
  if (!node) {
    node = std::make_shared<Node>();
    node->index = next_index_++;
  }
  node->content = from->content;
  node->read_only = from->read_only;
  node->write_time = ++write_clock_;
  ++copies_made_;
  return true;
}

bool InMemoryFileServices::MoveFileReplacing(const std::string& from, const std::string& to) {
  if (Refuses({&from, &to})) return false;
  const std::string from_key = Key(from), to_key = Key(to);
  const auto source = nodes_.find(from_key);
  const Node* onto = Find(to);
  if (source != nodes_.end() && source->second->held) return Fail(FileError::kInUse);
  if (onto != nullptr && onto->held) return Fail(FileError::kAccessDenied);
  if (source == nodes_.end()) return Fail(FileError::kNotFound);
  if (from_key == to_key) return true;  // the same file under another spelling
  if (onto != nullptr && (onto->folder || onto->read_only)) return Fail(FileError::kAccessDenied);
  if (source->second->folder) return Fail(FileError::kAccessDenied);  // files only
  if (!ParentExists(to_key)) return Fail(FileError::kNotFound);
  std::shared_ptr<Node> node = source->second;
  nodes_.erase(source);
  nodes_[to_key] = std::move(node);
  return true;
}

bool InMemoryFileServices::RemoveFile(const std::string& path) {
  if (Refuses({&path})) return false;
  const auto it = nodes_.find(Key(path));
  if (it == nodes_.end()) return Fail(FileError::kNotFound);
  if (it->second->held) return Fail(FileError::kInUse);
  if (it->second->folder || it->second->read_only) return Fail(FileError::kAccessDenied);
  nodes_.erase(it);
  return true;
}

bool InMemoryFileServices::FlushFile(const std::string& path) {
  if (Refuses({&path})) return false;
  const Node* node = Find(path);
  if (node == nullptr) return Fail(FileError::kNotFound);
  if (node->held) return Fail(FileError::kInUse);
  if (node->folder || node->read_only) return Fail(FileError::kAccessDenied);
  return true;
}

std::unique_ptr<ExclusiveFile> InMemoryFileServices::OpenExclusive(const std::string& path,
                                                                   FileOpenMode mode) {
  if (!path.empty() && Refuses({&path})) return nullptr;
  const std::string key = Key(path);
  const auto it = path.empty() ? nodes_.end() : nodes_.find(key);
  if (it != nodes_.end()) {
    Node& node = *it->second;
    if (node.held) return Fail(FileError::kInUse), nullptr;
    if (mode == FileOpenMode::kCreateNew) return Fail(FileError::kExists), nullptr;
    if (node.folder || (mode != FileOpenMode::kReadExisting && node.read_only))
      return Fail(FileError::kAccessDenied), nullptr;
    if (mode == FileOpenMode::kCreateAlways) {
      node.content.clear();
      node.write_time = ++write_clock_;
    }
    return std::make_unique<OpenFile>(it->second, write_clock_,
                                      mode == FileOpenMode::kAppendExisting);
  }
  if (path.empty() || mode == FileOpenMode::kReadExisting ||
      mode == FileOpenMode::kAppendExisting || !ParentExists(key))
    return Fail(FileError::kNotFound), nullptr;
  auto node = std::make_shared<Node>();
  node->index = next_index_++;
  node->write_time = ++write_clock_;
  nodes_[key] = node;
  return std::make_unique<OpenFile>(node, write_clock_);
}


}  // namespace testing_support
}  // namespace quillset
