#pragma once

namespace quorvane {

// Qt hands values from one thread to another through its event queues, and those queues
// synchronise inside the Qt libraries with futexes that ThreadSanitizer cannot see. Without
// help, a string the core built and the window later frees looks like a race. In a
// ThreadSanitizer build these calls describe the handovers to it: every signal emission and
// every AnnounceHandover() releases, every event delivery acquires. In other builds they do
// nothing.

// Once, at the start of a program, before its threads start.
void MakeQtHandoversVisibleToRaceChecker();

// Just before a lambda or value is posted to another thread without a signal.
void AnnounceHandover();

} // namespace quorvane
