#include "base/durable_file.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <unistd.h>

namespace zbir::base::durable {

namespace {

std::error_code lastError()
{
    return {errno, std::generic_category()};
}

std::error_code sync(const std::filesystem::path& path, int flags)
{
    int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return lastError();
    std::error_code ec;
    if (::fsync(fd) != 0 && errno != EINVAL)  // EINVAL: this file system cannot sync it
        ec = lastError();
    ::close(fd);
    return ec;
}

std::filesystem::path folderOf(const std::filesystem::path& path)
{
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// Both folders, once when they are one.
void syncFolders(const std::filesystem::path& a, const std::filesystem::path& b)
{
    const auto first = folderOf(a);
    const auto second = folderOf(b);
    syncFolder(second);
    std::error_code ec;
    if (!std::filesystem::equivalent(first, second, ec) && !ec)
        syncFolder(first);
}

}  // namespace

std::error_code syncFile(const std::filesystem::path& file)
{
    return sync(file, O_RDONLY);
}

std::error_code syncFolder(const std::filesystem::path& folder)
{
    return sync(folder, O_RDONLY | O_DIRECTORY);
}

std::error_code replace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                        std::string_view what)
{
    crashPoint(what, "written");
    if (auto ec = syncFile(temporary))
        return ec;
    crashPoint(what, "synced");
    std::error_code ec;
    std::filesystem::rename(temporary, target, ec);
    if (ec)
        return ec;
    crashPoint(what, "renamed");
    // The rename is done: a folder that cannot be synced changes nothing
    // the caller could act on.
    syncFolders(temporary, target);
    crashPoint(what, "done");
    return {};
}

std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to, std::string_view what)
{
    crashPoint(what, "moving");
    std::error_code ec;
    std::filesystem::rename(from, to, ec);
    if (ec)
        return ec;
    crashPoint(what, "moved");
    syncFolders(from, to);
    return {};
}

#ifdef ZBIR_CRASH_POINTS

bool crashPointsBuiltIn()
{
    return true;
}

void crashPoint(std::string_view what, std::string_view step)
{
    static const std::string wanted = [] {
        const char* v = std::getenv("ZBIR_CRASH_AT");
        return std::string(v ? v : "");
    }();
    static int remaining = -1;  // times the point is still to be passed
    if (wanted.empty())
        return;
    const std::string point = std::string(what) + ":" + std::string(step);
    if (wanted.compare(0, point.size(), point) != 0)
        return;
    const std::string_view rest = std::string_view(wanted).substr(point.size());
    if (!rest.empty() && rest.front() != ':')
        return;
    if (remaining < 0)
        remaining = rest.empty() ? 1 : std::atoi(std::string(rest.substr(1)).c_str());
    if (--remaining == 0)
        ::kill(::getpid(), SIGKILL);
}

#else

bool crashPointsBuiltIn()
{
    return false;
}

void crashPoint(std::string_view, std::string_view) {}

#endif

}  // namespace zbir::base::durable
