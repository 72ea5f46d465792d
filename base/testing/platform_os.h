// The real OS services of the build a test runs in: the host's natively, the
// Win32 ones under Wine. Test doubles wrap them (OsServicesWrapper) so that a
// call the double does not override still does the real thing.
#pragma once

#ifdef _WIN32
#include "base/win32_os_services.h"
#else
#include "base/host_os_services.h"
#endif

namespace quillset {
namespace testing_support {

#ifdef _WIN32
using PlatformOsServices = Win32OsServices;
#else
using PlatformOsServices = HostOsServices;
#endif

// One shared instance, for doubles that override every call their tests make
// and need a target only for the rest.
inline OsServices& PlatformOs() {
  static PlatformOsServices os;
  return os;
}

}  // namespace testing_support
}  // namespace quillset
