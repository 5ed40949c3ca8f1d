#include "cli/Interrupt.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_interrupted = 0;
volatile std::sig_atomic_t g_forward[kForwardSlots] = {};

extern "C" void OnInterrupt(int number) {
    for (const volatile std::sig_atomic_t& pid : g_forward) {
        if (pid > 0) {
            kill(pid, number);
        }
    }
    if (g_interrupted == 0) {
        g_interrupted = 1;
        return;
    }
    // The second signal: the default action (the end of the program, a wait
    // status the shell reports as 128 + signal) once this handler returns.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(number, &action, nullptr);
    raise(number);
}

} // namespace

void InstallInterruptHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // Both signals blocked while either is handled: a SIGTERM right after the
    // first Ctrl-C still counts as the second.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigset_t both;
    sigemptyset(&both);
    sigaddset(&both, SIGINT);
    sigaddset(&both, SIGTERM);
    sigprocmask(SIG_UNBLOCK, &both, nullptr);
}

void ForwardInterruptsTo(int slot, int pid) {
    if (slot >= 0 && slot < kForwardSlots) {
        g_forward[slot] = pid;
    }
}

bool InterruptRequested() {
    return g_interrupted != 0;
}
