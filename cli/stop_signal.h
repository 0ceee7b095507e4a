#pragma once

namespace cli {

// Ctrl-C, SIGTERM and a reader of standard output that went away end the
// program the orderly way: the exchange on the line finishes, nothing new
// starts, LinkEnd goes out and the port is released.
void InstallStopSignals();
// The signal that asked to stop (0: none yet).
int StopSignal();
bool StopRequested();
// Standard output is closed at the other end: stop as for SIGPIPE.
void StopForBrokenPipe();
// The exit status after a stop: 128 + the signal (130, 143, 141).
int StopStatus();

}  // namespace cli
