// Whether two paths name the same file, decided as Windows decides it: names
// are compared without regard to the case of letters and to the kind of
// slash, and two names of files that exist are the same file when the files'
// identities (volume and file index) are equal, whatever the spelling: a short
// 8.3 name, "..", a drive reached through a share, a hard link.
#pragma once

#include <string>

#include "base/os_services.h"

namespace quillset {

bool IsSameFile(OsServices& os, const std::string& a, const std::string& b);

// The spelling test alone: equal but for the case of ASCII letters and "/"
// against "\". A trail byte of a double-byte character is compared as it is.
bool SamePathSpelling(const std::string& a, const std::string& b, const CodePage& cp);

}  // namespace quillset
