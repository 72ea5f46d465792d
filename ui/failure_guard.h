// Exceptions must never unwind through Win32 frames (a window procedure is
// called by the system). Every window procedure of the program runs its
// handling through RunShowingFailure, which shows a failure that leaves it and
// lets the program go on.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <utility>

#include "base/errors.h"

namespace quillset {

// Shows one failure message (the failure box).
using FailureSink = std::function<void(const std::string& message)>;

// Runs `action`; a failure that leaves it goes to `sink` after the exception
// is gone (so the box's message loop does not run inside a catch block).
// Returns true when `action` ended normally.
template <class Action>
bool RunShowingFailure(const FailureSink& sink, Action&& action) {
  std::string message;
  try {
    std::forward<Action>(action)();
    return true;
  } catch (const Exception& e) {
    message = e.Message();
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
    message = "不明なエラーです";
  }
  if (sink) sink(message);
  return false;
}

}  // namespace quillset
