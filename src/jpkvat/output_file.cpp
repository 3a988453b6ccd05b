#include "jpkvat/output_file.h"

#include "base/durable_file.h"
#include "base/winfs.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace zbir::jpkvat {

namespace {

constexpr std::size_t kFlushSize = 1 << 20;

}  // namespace

OutputFile::OutputFile(std::filesystem::path target) : m_target(std::move(target)), m_temp(m_target)
{
    m_temp += ".tmp";
}

void OutputFile::fail(const std::string& reason)
{
    m_ok = false;
    if (m_error.empty())
        m_error = base::winfs::fromNative(reason);
}

bool OutputFile::open()
{
    m_file = std::fopen(m_temp.c_str(), "wb");
    m_created = m_file != nullptr;
    if (!m_created)
        fail(std::strerror(errno));
    else
        m_check = std::make_unique<jpkforms::StreamCheck>();
    return m_created;
}

void OutputFile::flushIfFull()
{
    if (m_buffer.size() >= kFlushSize)
        flush();
}

void OutputFile::flush()
{
    if (m_file && !m_buffer.empty() &&
        std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) != m_buffer.size())
        fail(std::strerror(errno));
    if (m_check)
        m_check->write(m_buffer);
    m_buffer.clear();
}

bool OutputFile::close()
{
    flush();
    if (m_file) {
        if (std::fclose(m_file) != 0)
            fail(std::strerror(errno));
        m_file = nullptr;
    }
    return m_ok;
}

jpkforms::CheckResult OutputFile::check()
{
    if (!m_check || !m_ok)
        return jpkforms::checkFile(m_temp);
    jpkforms::CheckResult result = m_check->finish();
    m_check.reset();
    return result;
}

bool OutputFile::commit()
{
    return keepAs(m_target);
}

bool OutputFile::keepAs(const std::filesystem::path& other)
{
    const std::error_code ec = base::durable::replace(m_temp, other, "combined");
    if (ec) {
        m_error = base::winfs::fromNative(ec.message());
        return false;
    }
    m_committed = true;
    return true;
}

void OutputFile::discard()
{
    m_check.reset();
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    if (m_created && !m_committed) {
        std::error_code ec;
        std::filesystem::remove(m_temp, ec);
    }
}

}  // namespace zbir::jpkvat
