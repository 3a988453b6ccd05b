#include "base/folder_lock.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zbir::base {

FolderLock::FolderLock(const std::filesystem::path& folder) : m_file(folder / kFileName)
{
    // The file is never removed: removing it would let a second process
    // lock a new file of the same name while the first holds the old one.
    m_fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        m_fd = ::open(m_file.c_str(), O_RDONLY | O_CLOEXEC);  // a lock file left read-only
    if (m_fd < 0)
        return;
    int rc;
    do
        rc = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_outcome = Outcome::Taken;
        return;
    }
    m_outcome = errno == EWOULDBLOCK ? Outcome::Busy : Outcome::Unavailable;
    ::close(m_fd);
    m_fd = -1;
}

FolderLock::~FolderLock()
{
    if (m_fd >= 0)
        ::close(m_fd);  // closing releases the lock
}

}  // namespace zbir::base
