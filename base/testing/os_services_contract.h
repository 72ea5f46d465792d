// What every implementation of OsServices promises, written once and run
// against each: the host services natively, the in-memory services in both
// builds, the Win32 services under Wine. A test program adds the contract's
// source (base/testing/os_services_contract.cpp) and instantiates it:
//
//   INSTANTIATE_TEST_SUITE_P(Host, OsServicesContract,
//                            ::testing::Values(&MakeHostUnderTest));
//
// Another program holding a file is stood for by OpenExclusive of the same
// services, which shares nothing.
#pragma once

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/os_services.h"

namespace quillset {
namespace testing_support {

// One implementation with a fresh empty folder to work in.
class OsServicesUnderTest {
 public:
  virtual ~OsServicesUnderTest() = default;
  virtual OsServices& Os() = 0;
  // The path of `name` ("a.txt", "dir\\a.txt") in the test's folder;
  // "\" in `name` becomes the implementation's separator.
  virtual std::string Path(const std::string& name) = 0;
  virtual bool MakeFolder(const std::string& path) = 0;

  // ---- Where implementations differ, as far as the contract is concerned
  // Read-only files refuse replacement, removal, writing and flushing (Wine,
  // running as root, lets some of these through: it only records them).
  bool refuses_read_only = true;
  // Names compare without regard to case (not on the host's file system).
  bool case_blind_names = true;
  // A copy with progress reports once per MiB copied (the host and in-memory
  // services; Windows reports at its own pace).
  bool reports_each_mib = true;
};

using MakeOsUnderTest = std::unique_ptr<OsServicesUnderTest> (*)();

class OsServicesContract : public ::testing::TestWithParam<MakeOsUnderTest> {
 protected:
  void SetUp() override { under_test_ = GetParam()(); }

  OsServices& os() { return under_test_->Os(); }
  std::string Path(const std::string& name) { return under_test_->Path(name); }
  // Whole files through the services under test.
  void WriteText(const std::string& name, const std::string& text);
  std::string ReadText(const std::string& name);
  bool Exists(const std::string& name) { return os().FileExists(Path(name)); }

  std::unique_ptr<OsServicesUnderTest> under_test_;
};

}  // namespace testing_support
}  // namespace quillset
