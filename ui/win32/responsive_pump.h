// What the user-interface thread handles while a long task (a backup run)
// keeps it inside one message's handling: everything, as the message loop
// would, or (inside another loop, a box's own) only its windows' paint
// messages and the messages other threads and processes send to them (the
// end of the session, a probe whether the program answers), which would
// otherwise wait, and make their senders wait, until the task ends.
#pragma once

namespace quillset {

// Delivers the messages sent to the thread's windows and dispatches their
// pending paint messages, then returns.
void HandlePaintAndSentMessages();

// Dispatches the messages waiting for the thread, as the message loop does
// (input, commands, timers, paint), then returns. A quit message is put back
// for the message loop that waits for it.
void HandleWaitingMessages();

}  // namespace quillset
