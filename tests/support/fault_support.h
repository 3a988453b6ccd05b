#pragma once
// Helpers for the bad-input and fault tests: a stored zip writer for damaged
// workbooks, a file-size limit that stands in for a full disk, the program
// run as a subprocess (as an unprivileged user when the tests run as root,
// so that permissions count), and snapshots of a folder's files.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zbir::test {

// Whether `bytes` are one well-formed XML document (libxml2, nothing
// fetched, entities not expanded); `error` receives the first complaint.
bool wellFormedXml(std::string_view bytes, std::string* error = nullptr);

// A zip archive holding `entries` (name, bytes) uncompressed.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries);

// The same archive with every entry deflated, as spreadsheets write them.
std::string deflatedZip(const std::vector<std::pair<std::string, std::string>>& entries);

// While it lives, no file this process writes may grow beyond `bytes`: writes
// past it fail with EFBIG as on a full disk (SIGXFSZ is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_soft = 0;
    void (*m_handler)(int) = nullptr;
};

struct ProgramRun {
    int exitCode = -1;   // -1 when the program did not end normally
    std::string output;  // stderr and stdout, UTF-8
};

// Runs the zbir program with `args`. With `unprivileged`, a run as root drops
// to the user "nobody" first, so that file permissions apply to it.
ProgramRun runZbir(const std::vector<std::string>& args, bool unprivileged = false);

// The zbir program started in the background with `args` and, added to the
// environment, `env`; stdout and stderr go to a file read by output().
class ZbirProcess {
public:
    explicit ZbirProcess(const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env = {});
    ~ZbirProcess();  // kills and reaps a process still running
    ZbirProcess(const ZbirProcess&) = delete;
    ZbirProcess& operator=(const ZbirProcess&) = delete;

    // Waits for the end: the exit code, or minus the number of the signal
    // that ended it.
    int wait();
    // Sends SIGKILL after `seconds` unless it ended before; then as wait().
    int killAfter(double seconds);
    std::string output() const;  // UTF-8, after wait()

private:
    int m_pid = -1;
    int m_status = 0;
    std::string m_outputFile;
};

bool runningAsRoot();
// Makes `path` belong to the user runZbir(..., true) runs as, when that is
// another user (the tests run as root).
void giveToUnprivileged(const std::filesystem::path& path);

// Every regular file below `dir` (relative path, bytes).
std::map<std::string, std::string> snapshot(const std::filesystem::path& dir);

// The files of `before` that are gone from `after` or changed in it, with
// " (gone)" or " (changed)" after the name.
std::vector<std::string> changedOrGone(const std::map<std::string, std::string>& before,
                                       const std::map<std::string, std::string>& after);

}  // namespace zbir::test
