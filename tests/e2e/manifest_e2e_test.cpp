// The manifest of the real Quillset.exe: the process code page it asks for,
// and a manifest the side-by-side loader accepts (a manifest it refuses stops
// the program from starting on Windows at all).
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/e2e_driver.h"

namespace quillset {
namespace e2e {
namespace {

// Resource 1 of type RT_MANIFEST, as bytes; empty when there is none.
std::string ManifestOf(const std::string& exe) {
  HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (image == nullptr) return "";
  std::string text;
  if (HRSRC found = FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
    HGLOBAL loaded = LoadResource(image, found);
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (bytes != nullptr) text.assign(bytes, SizeofResource(image, found));
  }
  FreeLibrary(image);
  return text;
}

TEST(ManifestTest, AsksForCodePage932ByLocaleNameInTheWindowsSettings) {
  ASSERT_FALSE(BuiltExePath().empty()) << "the build made no Quillset.exe";
  const std::string manifest = ManifestOf(BuiltExePath());
  ASSERT_FALSE(manifest.empty());
  const std::string element =
      "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">"
      "ja-JP</activeCodePage>";
  const auto at = manifest.find(element);
  ASSERT_NE(at, std::string::npos) << manifest;
  EXPECT_EQ(manifest.find(element, at + 1), std::string::npos) << "declared once";
  // Inside <application><windowsSettings>, where Windows looks for it.
  const auto settings_open = manifest.rfind("<asmv3:windowsSettings", at);
  const auto settings_close = manifest.find("</asmv3:windowsSettings>", at);
  ASSERT_NE(settings_open, std::string::npos);
  ASSERT_NE(settings_close, std::string::npos);
  EXPECT_EQ(manifest.find("</asmv3:windowsSettings>", settings_open), settings_close);
  EXPECT_LT(manifest.rfind("<asmv3:application>", settings_open), settings_open);
}

TEST(ManifestTest, SideBySideLoaderAcceptsTheManifest) {
  ASSERT_FALSE(BuiltExePath().empty());
  const std::string exe = BuiltExePath();
  ACTCTXA context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = exe.c_str();
  context.lpResourceName = MAKEINTRESOURCEA(1);
  HANDLE activation = CreateActCtxA(&context);
  EXPECT_NE(activation, INVALID_HANDLE_VALUE) << "error " << GetLastError();
  if (activation != INVALID_HANDLE_VALUE) ReleaseActCtx(activation);
}

}  // namespace
}  // namespace e2e
}  // namespace quillset
