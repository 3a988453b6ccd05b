#pragma once
// The schema checks of a transport's input files, made one after another on
// a thread of their own while the main thread scans the files: the check of
// a file costs a second pass over it, which then runs beside the scan.

#include "jpkforms/schema_check.h"

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zbir::xmlsheet {

class InputChecks {
public:
    // Starts checking `files` in their order at once.
    explicit InputChecks(std::vector<std::filesystem::path> files);
    ~InputChecks();  // stops a check still running and waits for the thread
    InputChecks(const InputChecks&) = delete;
    InputChecks& operator=(const InputChecks&) = delete;

    // The result for file `index`. `stopWanted` is asked once at once and
    // then every few hundredths of a second while the check runs (it lets
    // the window handle its events); when it answers true the checks stop
    // and the result is Verdict::Stopped.
    jpkforms::CheckResult wait(std::size_t index, const std::function<bool()>& stopWanted);

private:
    void run(const std::stop_token& stop);

    std::vector<std::filesystem::path> m_files;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::vector<std::optional<jpkforms::CheckResult>> m_results;
    std::jthread m_thread;  // last: starts once the members above exist
};

}  // namespace zbir::xmlsheet
