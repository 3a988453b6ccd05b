#pragma once
// One operation at a time per working folder, across processes: an advisory
// lock (flock) on the file ZBIR.LCK in the folder, held while the object
// lives and released by the kernel when the process ends, however it ends.

#include <filesystem>

namespace zbir::base {

class FolderLock {
public:
    enum class Outcome {
        Taken,        // this process holds the folder now
        Busy,         // another process holds it
        Unavailable,  // the lock file cannot be made (a read-only folder): no lock
    };

    static constexpr const char* kFileName = "ZBIR.LCK";

    // Tries once, without waiting.
    explicit FolderLock(const std::filesystem::path& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    Outcome outcome() const { return m_outcome; }
    std::filesystem::path file() const { return m_file; }

private:
    std::filesystem::path m_file;
    int m_fd = -1;
    Outcome m_outcome = Outcome::Unavailable;
};

}  // namespace zbir::base
