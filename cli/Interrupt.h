// Ctrl-C (SIGINT) and SIGTERM during a conversion: the first one asks the
// running job to stop, as the Stop button does.
#pragma once

void InstallInterruptHandler();
bool InterruptRequested();
