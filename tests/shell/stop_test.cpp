// Ctrl+C during the long operations of the command line: zbir runs as a
// child process on a generated JPK_VAT group and gets SIGINT in the middle
// of its work. The child's error stream is a pipe, so its progress shows as
// plain lines, which tell where it is.

#include "support/test_support.h"
#include "spreadsheet/automation.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;
using zbir::test::readFile;
using zbir::test::runCommand;
using zbir::test::TempDir;

namespace {

const char* const kGroup = "JPK_VAT_2017_05";
const char* const kCancelMarker = "    ~~~~~  operacja anulowana  ~~~~~\r\n";
constexpr int kWaitSeconds = 300;  // generous: sanitizer builds are slow
constexpr char kFill = '\x01';     // bytes the test itself put into the pipe

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// A generated group of `files` files in a parent folder, the working folder
// "praca" below it with the example's Podmiot1.JPK.
struct Group {
    Group(int files, int records)
    {
        fs::create_directory(work);
        fs::copy_file(zbir::test::sourceDir() / "examples" / "jpk" / "praca" / "Podmiot1.JPK",
                      work / "Podmiot1.JPK");
        const fs::path generator = zbir::test::sourceDir() / "bench" / "make_jpk_vat_group.py";
        std::string out;
        ok = runCommand("python3 " + quoted(generator) + " " + quoted(tmp.path()) + " " + kGroup + " " +
                            std::to_string(files) + " " + std::to_string(records),
                        &out) == 0;
        if (!ok)
            ADD_FAILURE() << out;
    }
    int run(const std::string& command) const
    {
        std::string out;
        const int code = runCommand(quoted(ZBIR_BINARY) + " -C " + quoted(work) + " " + command, &out);
        if (code != 0)
            ADD_FAILURE() << command << ": " << out;
        return code;
    }
    fs::path workbook() const { return work / (std::string(kGroup) + ".XLS"); }
    fs::path combined() const { return tmp / (std::string(kGroup) + ".xml"); }
    std::string log() const { return readFile(work / "ZBIR.LOG"); }

    TempDir tmp;
    fs::path work = tmp / "praca";
    bool ok = false;
};

// zbir running as a child, its error stream read through a pipe.
class Zbir {
public:
    Zbir(const fs::path& work, const std::string& command)
    {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        m_err = fds[0];
        // A second, non-blocking way into the same pipe, to fill it up.
        m_filler = open(("/proc/self/fd/" + std::to_string(fds[1])).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        // Ctrl+C as a terminal delivers it, whatever this process inherited.
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        posix_spawnattr_setsigdefault(&attr, &set);
        sigemptyset(&set);
        posix_spawnattr_setsigmask(&attr, &set);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        std::string binary = ZBIR_BINARY, c = "-C", folder = work.string(), cmd = command;
        char* argv[] = {binary.data(), c.data(), folder.data(), cmd.data(), nullptr};
        const int rc = posix_spawn(&m_pid, binary.c_str(), &actions, &attr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attr);
        close(fds[1]);
        if (rc != 0)
            throw std::runtime_error("posix_spawn: " + std::to_string(rc));
    }

    ~Zbir()
    {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_filler >= 0)
            close(m_filler);
        close(m_err);
    }
    Zbir(const Zbir&) = delete;
    Zbir& operator=(const Zbir&) = delete;

    // Reads until a line of the error stream contains `text`; false when
    // the stream ends first.
    bool waitForLine(const std::string& text)
    {
        for (;;) {
            std::size_t end;
            while ((end = m_text.find('\n', m_scanned)) != std::string::npos) {
                const bool found = m_text.substr(m_scanned, end - m_scanned).find(text) != std::string::npos;
                m_scanned = end + 1;
                if (found)
                    return true;
            }
            if (!readSome())
                return false;
        }
    }

    // Fills the pipe: the child's next write to its error stream waits
    // until the test reads again.
    void fillErrorPipe()
    {
        const std::string chunk(4096, kFill);
        for (std::size_t size : {4096, 512, 64, 8, 1})
            while (write(m_filler, chunk.data(), size) == static_cast<ssize_t>(size)) {
            }
    }

    void interrupt() { kill(m_pid, SIGINT); }

    // Waits until the child runs its SIGINT handler (SIGINT blocked there).
    bool handlingInterrupt()
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(kWaitSeconds);
        while (std::chrono::steady_clock::now() < until) {
            std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("SigBlk:", 0) == 0 &&
                    (std::stoull(line.substr(7), nullptr, 16) & (1ULL << (SIGINT - 1))) != 0)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // Reads the rest of the error stream and waits for the child: its exit
    // code, or 128 + the signal that ended it.
    int finish()
    {
        if (m_filler >= 0) {
            close(m_filler);
            m_filler = -1;
        }
        while (readSome()) {
        }
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // What the child wrote to its error stream so far (UTF-8).
    std::string errText() const
    {
        std::string t = m_text;
        std::erase(t, kFill);
        return t;
    }

private:
    bool readSome()
    {
        pollfd p{m_err, POLLIN, 0};
        const int ready = poll(&p, 1, kWaitSeconds * 1000);
        if (ready <= 0)
            return false;
        char buf[4096];
        const ssize_t n = read(m_err, buf, sizeof buf);
        if (n <= 0)
            return n < 0 && errno == EINTR;
        m_text.append(buf, static_cast<std::size_t>(n));
        return true;
    }

    pid_t m_pid = -1;
    int m_err = -1;
    int m_filler = -1;
    std::string m_text;
    std::size_t m_scanned = 0;
};

// The log from the last line that contains `start` on.
std::string logSince(const std::string& log, const std::string& start)
{
    const auto at = log.rfind(start);
    return at == std::string::npos ? std::string() : log.substr(at);
}

}  // namespace

TEST(StopByCtrlC, DuringATransportThePreviousWorkbookStaysWhole)
{
    Group g(3, 2000);
    ASSERT_TRUE(g.ok);
    ASSERT_EQ(g.run("transport"), 0);
    const std::string previous = readFile(g.workbook());

    Zbir zbir(g.work, "transport");
    ASSERT_TRUE(zbir.waitForLine("plik 2/3")) << zbir.errText();
    zbir.interrupt();
    EXPECT_EQ(zbir.finish(), 130) << zbir.errText();

    // The filled workbook keeps its name, untouched; the new one, incomplete,
    // was never saved, and the message says so.
    EXPECT_EQ(readFile(g.workbook()), previous);
    EXPECT_FALSE(fs::exists(g.work / "JPK_VAT_2017_05-0001.XLS"));
    EXPECT_NE(zbir.errText().find("Transport przerwany; JPK_VAT_2017_05.XLS bez zmian\n"), std::string::npos)
        << zbir.errText();

    const std::string run = logSince(g.log(), "  Transport plik");
    EXPECT_NE(run.find(kCancelMarker), std::string::npos) << run;
    EXPECT_EQ(run.find("Podsumowanie"), std::string::npos) << run;
    EXPECT_NE(zbir.errText().find("zbir: Ctrl+C"), std::string::npos) << zbir.errText();
    EXPECT_NE(zbir.errText().find("zbir: operacja anulowana\n"), std::string::npos) << zbir.errText();
}

TEST(StopByCtrlC, DuringAJpkBuildThePreviousCombinedFileStaysWhole)
{
    Group g(3, 2000);
    ASSERT_TRUE(g.ok);
    ASSERT_EQ(g.run("transport"), 0);
    ASSERT_EQ(g.run("jpk"), 0);
    const std::string previous = readFile(g.combined());

    Zbir zbir(g.work, "jpk");
    ASSERT_TRUE(zbir.waitForLine("plik 2/3")) << zbir.errText();
    zbir.interrupt();
    EXPECT_EQ(zbir.finish(), 130) << zbir.errText();

    // No partial combined file, neither in place of the previous one nor beside it.
    EXPECT_EQ(readFile(g.combined()), previous);
    for (const auto& e : fs::directory_iterator(g.tmp.path()))
        EXPECT_EQ(e.path().string().find(".tmp"), std::string::npos) << e.path();

    const std::string run = logSince(g.log(), "tworzenia pliku zbiorczego");
    EXPECT_NE(run.find(kCancelMarker), std::string::npos) << run;
    EXPECT_NE(zbir.errText().find("JPK_VAT_2017_05.xml usunięty"), std::string::npos) << zbir.errText();
    EXPECT_EQ(zbir.errText().find("Zakończono"), std::string::npos) << zbir.errText();
}

TEST(StopByCtrlC, ASecondPressEndsAtOnceAndSavedFilesStayWhole)
{
    Group g(3, 2000);
    ASSERT_TRUE(g.ok);
    ASSERT_EQ(g.run("transport"), 0);
    const std::string previous = readFile(g.workbook());

    Zbir zbir(g.work, "transport");
    ASSERT_TRUE(zbir.waitForLine("plik 2/3")) << zbir.errText();
    // With the pipe full the first press's handler waits in its notice, so
    // the second press surely comes before the operation sees the first.
    zbir.fillErrorPipe();
    zbir.interrupt();
    ASSERT_TRUE(zbir.handlingInterrupt());
    zbir.interrupt();
    EXPECT_EQ(zbir.finish(), 128 + SIGINT) << zbir.errText();

    EXPECT_EQ(readFile(g.workbook()), previous);
    EXPECT_FALSE(fs::exists(g.work / "JPK_VAT_2017_05-0001.XLS"));
    EXPECT_EQ(logSince(g.log(), "  Transport plik").find(kCancelMarker), std::string::npos);
    EXPECT_EQ(zbir.errText().find("operacja anulowana"), std::string::npos) << zbir.errText();
}
