#include "shell/usage_errors.h"

#include "base/winfs.h"

#include <CLI/CLI.hpp>

#include <filesystem>

namespace zbir::shell {

namespace {

const char* const kSeeHelp = " (zbir --help podaje sk\xB3" "adni\xEA)";

std::string joined(const std::vector<std::string>& words)
{
    std::string t;
    for (const std::string& w : words)
        t += (t.empty() ? "" : " ") + base::winfs::fromNative(w);
    return t;
}

}  // namespace

std::string usageErrorText(const CLI::ParseError& error, const std::vector<std::string>& extras)
{
    const bool extra = dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr;
    std::string what;
    if (extra && !extras.empty())
        what = std::string(extras.size() == 1 ? "nieznany argument: " : "nieznane argumenty: ") + joined(extras);
    else if (extra)
        what = "za du\xBFo argument\xF3w";
    else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error))
        what = "opcja bez warto\x9C" "ci (-C wymaga folderu)";
    else
        what = "b\xB3\xEA" "dne wywo\xB3" "anie";
    return what + kSeeHelp;
}

std::string folderFault(const std::string& folder)
{
    std::error_code ec;
    const auto status = std::filesystem::status(folder, ec);
    if (!std::filesystem::exists(status))
        return "nie ma folderu " + base::winfs::fromNative(folder);
    if (!std::filesystem::is_directory(status))
        return base::winfs::fromNative(folder) + " nie jest folderem";
    return {};
}

}  // namespace zbir::shell
