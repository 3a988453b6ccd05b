#pragma once
// The run log ZBIR.LOG: one line per entry, two blanks and the message of
// its code (operation::LogCode), Windows-1250, CR LF. A new file starts
// with one empty line.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zbir::shell {

class RunLog {
public:
    explicit RunLog(std::filesystem::path folder);

    // Appends the entry for `code` with text `t` (program text).
    // Raises std::runtime_error when the log can neither be appended to nor created.
    void event(std::uint8_t code, const std::string& t = {});
    // One entry for each of `texts`, written at once.
    void events(std::uint8_t code, const std::vector<std::string>& texts);

    // The line (without the two blanks and line end) that `event` writes.
    static std::string message(std::uint8_t code, const std::string& t);

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace zbir::shell
