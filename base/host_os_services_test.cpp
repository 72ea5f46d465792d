// The host services keep the contract every implementation keeps
// (base/testing/os_services_contract.cpp), and what only a POSIX file system
// shows: hard links, times before the first DOS date, files that outlive the
// services that opened them.
#include "base/host_os_services.h"

#include <sys/time.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "base/testing/os_services_contract.h"
#include "base/testing/temp_folder.h"

namespace quillset {
namespace testing_support {
namespace {

class HostUnderTest : public OsServicesUnderTest {
 public:
  HostUnderTest() { case_blind_names = false; }
  OsServices& Os() override { return os_; }
  std::string Path(const std::string& name) override {
    std::string path = folder_ / name;
    for (char& c : path) c = c == '\\' ? '/' : c;
    return path;
  }
  bool MakeFolder(const std::string& path) override { return testing_support::MakeFolder(path); }

 private:
  TempFolder folder_;
  HostOsServices os_;
};

std::unique_ptr<OsServicesUnderTest> MakeHostUnderTest() { return std::make_unique<HostUnderTest>(); }

INSTANTIATE_TEST_SUITE_P(Host, OsServicesContract, ::testing::Values(&MakeHostUnderTest));

class HostOsServicesTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  HostOsServices os_;
};

TEST_F(HostOsServicesTest, AHardLinkIsTheSameFileForCopyAndIdentity) {
  const std::string a = folder_ / "a.txt", link = folder_ / "link.txt";
  ASSERT_TRUE(WriteBytes(a, "content"));
  std::filesystem::create_hard_link(a, link);
  EXPECT_FALSE(os_.CopyFileWithProgress(a, link, false, {}));  // itself by another name
  EXPECT_EQ(ReadBytes(a), "content");
  FileId id, other;
  ASSERT_TRUE(os_.FileIdentity(a, id));
  ASSERT_TRUE(os_.FileIdentity(link, other));
  EXPECT_EQ(id, other);
}

// An archive that kept no times gives its files 1970: such a data file is
// there all the same, and taken for none its list would be replaced.
TEST_F(HostOsServicesTest, AFileExistsWhateverItsTime) {
  const std::string old = folder_ / "old.txt";
  ASSERT_TRUE(WriteBytes(old, "x"));
  for (time_t seconds : {time_t{86400}, time_t{4354819200}}) {  // 1970, 2108: no DOS date
    struct timeval times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimes(old.c_str(), times), 0);
    EXPECT_TRUE(os_.FileExists(old));
  }
}

TEST_F(HostOsServicesTest, AFileOutlivingItsServicesClosesCleanlyAndAnEmptyPathIsNoFile) {
  auto other = std::make_unique<HostOsServices>();
  auto survivor = other->OpenExclusive(folder_ / "x.bin", FileOpenMode::kCreateAlways);
  ASSERT_NE(survivor, nullptr);
  other.reset();
  survivor.reset();
  EXPECT_FALSE(os_.FileExists(""));
  EXPECT_EQ(os_.OpenExclusive("", FileOpenMode::kCreateAlways), nullptr);
}

}  // namespace
}  // namespace testing_support
}  // namespace quillset
