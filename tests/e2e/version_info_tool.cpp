// quillset_version_info_tool: prints the version information of an exe, for
// the package check of scripts/package.
//   quillset_version_info_tool <exe>
// prints, one per line: FixedFileVersion=a.b.c.d, FixedProductVersion=a.b.c.d,
// then FileVersion, ProductVersion and LegalCopyright of the exe's first
// language block (name=value). Exit 0 when the exe has version information
// with all of them, 1 otherwise.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string FourPart(DWORD high, DWORD low) {
  char text[64];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", static_cast<unsigned long>(HIWORD(high)),
                static_cast<unsigned long>(LOWORD(high)), static_cast<unsigned long>(HIWORD(low)),
                static_cast<unsigned long>(LOWORD(low)));
  return text;
}

bool StringValue(std::vector<char>& block, const char* language, const char* name,
                 std::string& value) {
  std::string query = std::string("\\StringFileInfo\\") + language + "\\" + name;
  char* text = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) ||
      text == nullptr || length == 0)
    return false;
  value.assign(text);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: quillset_version_info_tool <exe>\n");
    return 2;
  }
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(argv[1], &ignored);
  if (size == 0) {
    std::fprintf(stderr, "quillset_version_info_tool: %s has no version information\n", argv[1]);
    return 1;
  }
  std::vector<char> block(size);
  if (!GetFileVersionInfoA(argv[1], 0, size, block.data())) {
    std::fprintf(stderr, "quillset_version_info_tool: cannot read the version information\n");
    return 1;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_length = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &fixed_length) ||
      fixed == nullptr || fixed->dwSignature != VS_FFI_SIGNATURE) {
    std::fprintf(stderr, "quillset_version_info_tool: no fixed version information\n");
    return 1;
  }
  std::printf("FixedFileVersion=%s\n", FourPart(fixed->dwFileVersionMS, fixed->dwFileVersionLS).c_str());
  std::printf("FixedProductVersion=%s\n",
              FourPart(fixed->dwProductVersionMS, fixed->dwProductVersionLS).c_str());

  // The first language and code page the exe lists names its string block.
  struct Translation {
    WORD language;
    WORD code_page;
  }* translation = nullptr;
  UINT translation_length = 0;
  if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                      reinterpret_cast<void**>(&translation), &translation_length) ||
      translation_length < sizeof(Translation)) {
    std::fprintf(stderr, "quillset_version_info_tool: no translation entry\n");
    return 1;
  }
  char language[16];
  std::snprintf(language, sizeof language, "%04X%04X", translation->language,
                translation->code_page);
  int missing = 0;
  for (const char* name : {"FileVersion", "ProductVersion", "LegalCopyright"}) {
    std::string value;
    if (StringValue(block, language, name, value)) {
      std::printf("%s=%s\n", name, value.c_str());
    } else {
      std::fprintf(stderr, "quillset_version_info_tool: no %s in block %s\n", name, language);
      ++missing;
    }
  }
  return missing == 0 ? 0 : 1;
}
