// The program's message loop: runs until the quit message (closing the main
// window posts it). Window procedures show their own failures, so nothing
// leaves a dispatched message.
#pragma once

namespace quillset {

// Returns the quit message's exit code.
int RunMessageLoop();

}  // namespace quillset
