// Ctrl+C handling of the command line, in this process and in children.

#include "shell/terminal_interrupt.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include <signal.h>

using zbir::shell::TerminalInterrupt;

namespace {

// SIGINT as a terminal would deliver it, whatever the test runner inherited.
class DefaultInterrupt {
public:
    DefaultInterrupt()
    {
        struct sigaction dfl {};
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        sigaction(SIGINT, &dfl, &m_saved);
    }
    ~DefaultInterrupt() { sigaction(SIGINT, &m_saved, nullptr); }

private:
    struct sigaction m_saved {};
};

void (*currentHandler())(int)
{
    struct sigaction now {};
    sigaction(SIGINT, nullptr, &now);
    return now.sa_handler;
}

}  // namespace

TEST(TerminalInterrupt, TheFirstPressOnlyRecordsTheRequest)
{
    DefaultInterrupt dfl;
    ASSERT_TRUE(TerminalInterrupt::install(""));
    EXPECT_FALSE(TerminalInterrupt::pressed());
    std::raise(SIGINT);
    EXPECT_TRUE(TerminalInterrupt::pressed());
    TerminalInterrupt::uninstall();
    EXPECT_FALSE(TerminalInterrupt::pressed());
    EXPECT_EQ(currentHandler(), SIG_DFL);
}

TEST(TerminalInterruptDeathTest, TheSecondPressEndsTheProgramAtOnce)
{
    DefaultInterrupt dfl;
    EXPECT_EXIT(
        {
            TerminalInterrupt::install("zbir: Ctrl+C noticed\n");
            std::raise(SIGINT);
            if (!TerminalInterrupt::pressed())
                std::_Exit(3);
            std::raise(SIGINT);
            std::_Exit(4);
        },
        testing::KilledBySignal(SIGINT), "zbir: Ctrl\\+C noticed");
}

TEST(TerminalInterruptDeathTest, AnInterruptIgnoredAtStartStaysIgnored)
{
    DefaultInterrupt dfl;
    // A shell starts background commands so; Ctrl+C is not theirs.
    EXPECT_EXIT(
        {
            std::signal(SIGINT, SIG_IGN);
            const bool installed = TerminalInterrupt::install("noticed\n");
            std::raise(SIGINT);
            std::raise(SIGINT);
            std::_Exit(!installed && !TerminalInterrupt::pressed() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
