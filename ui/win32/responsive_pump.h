// What the user-interface thread handles while a long task (a backup run)
// keeps it inside one message's handling: its windows' paint messages, and the
// messages other threads and processes send to them (the end of the session,
// a probe whether the program answers), which would otherwise wait, and make
// their senders wait, until the task ends. Keyboard and mouse input, posted
// messages and timer messages stay in the queue: the task's window handles
// them after it, as it would have without this.
#pragma once

namespace quillset {

// Delivers the messages sent to the thread's windows and dispatches their
// pending paint messages, then returns.
void HandlePaintAndSentMessages();

}  // namespace quillset
