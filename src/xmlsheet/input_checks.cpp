#include "xmlsheet/input_checks.h"

#include <chrono>
#include <exception>

namespace zbir::xmlsheet {

namespace {

constexpr auto kPollEvery = std::chrono::milliseconds(25);

jpkforms::CheckResult stopped()
{
    jpkforms::CheckResult r;
    r.verdict = jpkforms::Verdict::Stopped;
    return r;
}

}  // namespace

InputChecks::InputChecks(std::vector<std::filesystem::path> files)
    : m_files(std::move(files)),
      m_results(m_files.size()),
      m_thread([this](std::stop_token stop) { run(stop); })
{
}

InputChecks::~InputChecks()
{
    m_thread.request_stop();
    if (m_thread.joinable())
        m_thread.join();
}

void InputChecks::run(const std::stop_token& stop)
{
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        jpkforms::CheckResult r;
        if (stop.stop_requested()) {
            r = stopped();
        } else {
            try {
                r = jpkforms::checkFile(m_files[i], stop);
            } catch (const std::exception& e) {
                r.verdict = jpkforms::Verdict::Invalid;
                r.problems.push_back({0, e.what()});
            }
        }
        std::lock_guard lock(m_mutex);
        m_results[i] = std::move(r);
        m_ready.notify_all();
    }
}

jpkforms::CheckResult InputChecks::wait(std::size_t index, const std::function<bool()>& stopWanted)
{
    if (index >= m_results.size())
        return stopped();
    for (;;) {
        if (stopWanted && stopWanted()) {
            m_thread.request_stop();
            return stopped();
        }
        std::unique_lock lock(m_mutex);
        if (m_ready.wait_for(lock, kPollEvery, [&] { return m_results[index].has_value(); })) {
            jpkforms::CheckResult r = std::move(*m_results[index]);
            m_results[index].reset();
            return r;
        }
    }
}

}  // namespace zbir::xmlsheet
