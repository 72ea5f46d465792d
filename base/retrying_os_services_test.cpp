// The program's retries of files other programs hold for a moment, over the
// shared fault-injecting services on the host's: which failures are waited
// out, for how long in all, and that a file held longer still fails as the
// system failed it.
#include "base/retrying_os_services.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>
#include <sstream>

#include <gtest/gtest.h>

#include "base/host_os_services.h"
#include "base/testing/fault_injecting_os.h"
#include "base/testing/temp_folder.h"

namespace quillset {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kAllWaits = 2000;

class RetryingOsServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteText("a.txt", "content of a");
    WriteText("b.txt", "content of b");
  }
  std::string Path(const std::string& name) const { return folder_ / name; }
  void WriteText(const std::string& name, const std::string& text) const {
    testing_support::WriteBytes(folder_ / name, text);
  }
  std::string ReadText(const std::string& name) const { return testing_support::ReadBytes(folder_ / name); }

  testing_support::TempFolder folder_;
  const fs::path dir_{folder_.Path()};
  HostOsServices host_;
  FaultInjectingOs faults_{host_};
  RetryingOsServices os_{faults_};
};

// Every retried call, each on a file that another program holds open with no
// sharing (really, in the host's model) for 1.5 s.
TEST_F(RetryingOsServicesTest, EachFileCallWaitsForAFileHeldForAMoment) {
  struct Case {
    const char* name;
    const char* held;
    std::function<bool()> call;
  };
  const std::vector<Case> cases = {
      {"open", "a.txt",
       [&] { return os_.OpenExclusive(Path("a.txt"), FileOpenMode::kReadExisting) != nullptr; }},
      {"copy from", "a.txt", [&] { return os_.CopyFileWithProgress(Path("a.txt"), Path("c.txt"), false, {}); }},
      {"copy with progress from", "a.txt",
       [&] {
         return os_.CopyFileWithProgress(Path("a.txt"), Path("c.txt"), false,
                                         [](std::uint64_t, std::uint64_t) {
                                           return CopyProgressAnswer::kContinue;
                                         });
       }},
      {"flush", "c.txt", [&] { return os_.FlushFile(Path("c.txt")); }},
      {"replace", "b.txt", [&] { return os_.MoveFileReplacing(Path("c.txt"), Path("b.txt")); }},
      {"remove", "b.txt", [&] { return os_.RemoveFile(Path("b.txt")); }},
  };
  for (const Case& c : cases) {
    const std::uint64_t before = faults_.SleptMilliseconds();
    ASSERT_TRUE(faults_.HoldFileFor(Path(c.held), 1500)) << c.name;
    EXPECT_TRUE(c.call()) << c.name;
    const std::uint64_t waited = faults_.SleptMilliseconds() - before;
    EXPECT_GE(waited, 1500u) << c.name;
    EXPECT_LE(waited, kAllWaits) << c.name;
  }
  EXPECT_EQ(ReadText("c.txt"), "");  // moved onto b.txt, then removed
  EXPECT_FALSE(fs::exists(Path("b.txt")));
}

TEST_F(RetryingOsServicesTest, AFileHeldLongerFailsAfterTwoSecondsAsTheSystemFailedIt) {
  ASSERT_TRUE(faults_.HoldFileFor(Path("b.txt"), 60000));
  EXPECT_EQ(os_.OpenExclusive(Path("b.txt"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kInUse);
  EXPECT_EQ(faults_.SleptMilliseconds(), kAllWaits);
  EXPECT_FALSE(os_.MoveFileReplacing(Path("a.txt"), Path("b.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);  // as the system answers
  EXPECT_EQ(faults_.SleptMilliseconds(), 2 * kAllWaits);
  faults_.ReleaseFile(Path("b.txt"));
  EXPECT_EQ(ReadText("b.txt"), "content of b");
  EXPECT_EQ(ReadText("a.txt"), "content of a");
}

TEST_F(RetryingOsServicesTest, AccessDeniedIsWaitedForAsAFileBeingScannedOrDeleted) {
  ASSERT_TRUE(host_.SetAttributes(Path("b.txt"), kAttributeReadOnly));
  EXPECT_FALSE(os_.RemoveFile(Path("b.txt")));
  EXPECT_EQ(os_.LastFileError(), FileError::kAccessDenied);
  EXPECT_EQ(faults_.SleptMilliseconds(), kAllWaits);
}

TEST_F(RetryingOsServicesTest, AMissingFileATakenNameOrAnotherFailureFailsAtOnce) {
  EXPECT_EQ(os_.OpenExclusive(Path("missing"), FileOpenMode::kReadExisting), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kNotFound);
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("missing"), Path("c.txt"), false, {}));
  EXPECT_EQ(os_.OpenExclusive(Path("a.txt"), FileOpenMode::kCreateNew), nullptr);
  EXPECT_EQ(os_.LastFileError(), FileError::kExists);
  // A copy its progress routine cancelled is not started again.
  int reports = 0;
  EXPECT_FALSE(os_.CopyFileWithProgress(Path("a.txt"), Path("d.txt"), false,
                                        [&](std::uint64_t, std::uint64_t) {
                                          ++reports;
                                          return CopyProgressAnswer::kCancel;
                                        }));
  EXPECT_EQ(reports, 1);
  EXPECT_FALSE(fs::exists(Path("d.txt")));
  faults_.FailNthCall(1, OsFault::kFail, OsCall::kMove);
  EXPECT_FALSE(os_.MoveFileReplacing(Path("a.txt"), Path("b.txt")));
  EXPECT_EQ(faults_.Calls(), 1);
  EXPECT_EQ(faults_.SleptMilliseconds(), 0u);
}

}  // namespace
}  // namespace quillset
