#include "shell/terminal_interrupt.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <signal.h>
#include <unistd.h>

namespace zbir::shell {

namespace {

volatile std::sig_atomic_t g_presses = 0;
char g_notice[256];
std::size_t g_noticeLength = 0;
struct sigaction g_previous;
bool g_installed = false;

// Only async-signal-safe calls here: write, signal, raise.
extern "C" void onInterrupt(int sig)
{
    if (g_presses != 0) {
        // The second press: the default action ends the program as soon as
        // the handler returns (the signal is blocked until then).
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    g_presses = 1;
    const int saved = errno;
    if (g_noticeLength > 0 && write(STDERR_FILENO, g_notice, g_noticeLength) < 0) {
        // nothing to do: the request stands
    }
    errno = saved;
}

}  // namespace

bool TerminalInterrupt::install(const std::string& notice)
{
    struct sigaction current {};
    if (sigaction(SIGINT, nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
        return false;
    g_noticeLength = std::min(notice.size(), sizeof g_notice);
    std::memcpy(g_notice, notice.data(), g_noticeLength);
    g_presses = 0;

    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;  // reads and writes under way carry on
    if (sigaction(SIGINT, &action, &g_previous) != 0)
        return false;
    g_installed = true;
    return true;
}

void TerminalInterrupt::uninstall()
{
    if (!g_installed)
        return;
    sigaction(SIGINT, &g_previous, nullptr);
    g_installed = false;
    g_presses = 0;
}

bool TerminalInterrupt::pressed()
{
    return g_presses != 0;
}

}  // namespace zbir::shell
