// Ctrl-C (SIGINT) and SIGTERM during a conversion: the first one asks the
// running job to stop, as the Stop button does; a second one ends the program
// at once by that signal's default action, as console tools do, for a stop
// that hangs. The output then keeps what was written to it so far.
#pragma once

// Also unblocks both signals: a batch starts its conversions with them
// blocked, so that one sent early waits for the handler.
void InstallInterruptHandler();
bool InterruptRequested();

// A batch's conversions, each in a process group of its own: every signal
// the handler takes goes on to the processes named here (slot 0 up to
// kForwardSlots - 1; pid 0 clears a slot), before its own action.
inline constexpr int kForwardSlots = 64;
void ForwardInterruptsTo(int slot, int pid);
