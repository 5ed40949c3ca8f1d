// Ctrl-C (SIGINT) and SIGTERM during a conversion: the first one asks the
// running job to stop, as the Stop button does; a second one ends the program
// at once by that signal's default action, as console tools do, for a stop
// that hangs. The output then keeps what was written to it so far.
#pragma once

void InstallInterruptHandler();
bool InterruptRequested();
