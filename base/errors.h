// Failure classes of the program. Every message is code-page (Shift-JIS) bytes.
// A failure that leaves an event handler is shown in the failure box by the event
// loop (its text by FailureBoxText, app/code_page.h); a handler catches one only
// where it must.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace quillset {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Text that does not convert to a number or a date.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// A settings-file write that the OS refused.
class EIniFileException : public Exception {
 public:
  using Exception::Exception;
};

// The OS refused a resource (a window timer).
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be opened for reading ("ファイル %s は開けません").
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
};

// A file that cannot be created or written ("ファイル %s を作成できません").
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
};

// Misuse of the record store. The message is already "ClientDataSet1: " + text.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// A non-zero status from the record engine or the packet layer. The program has
// no texts for the statuses, so the message is empty.
class EDBClient : public EDatabaseError {
 public:
  explicit EDBClient(std::uint16_t status, std::string message = std::string())
      : EDatabaseError(std::move(message)), status_(status) {}
  std::uint16_t Status() const { return status_; }

 private:
  std::uint16_t status_;
};

// Fills a message pattern: each "%s" or "%d" takes the next argument in order,
// "%N:s" takes argument N (0-based), "%%" is a percent sign. Arguments are
// already text. Missing arguments leave the placeholder empty.
std::string FormatMessageText(const std::string& pattern,
                              std::initializer_list<std::string> args);

}  // namespace quillset
