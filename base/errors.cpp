#include "base/errors.h"

#include <vector>

namespace quillset {

std::string FormatMessageText(const std::string& pattern,
                              std::initializer_list<std::string> args) {
  const std::vector<std::string> list(args);
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%' || i + 1 >= pattern.size()) {
      out += c;
      continue;
    }
    const char k = pattern[i + 1];
    if (k == '%') {
      out += '%';
      ++i;
    } else if (k == 's' || k == 'd') {
      if (next < list.size()) out += list[next];
      ++next;
      ++i;
    } else if (k >= '0' && k <= '9') {
      size_t j = i + 1;
      size_t index = 0;
      while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9') {
        index = index * 10 + static_cast<size_t>(pattern[j] - '0');
        ++j;
      }
      if (j + 1 < pattern.size() && pattern[j] == ':' &&
          (pattern[j + 1] == 's' || pattern[j + 1] == 'd')) {
        if (index < list.size()) out += list[index];
        next = index + 1;
        i = j + 1;
      } else {
        out += c;
      }
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillset
