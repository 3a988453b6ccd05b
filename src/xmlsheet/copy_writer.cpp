#include "xmlsheet/copy_writer.h"

#include "encoding/charset.h"
#include "encoding/codepage.h"
#include "base/durable_file.h"
#include "base/winfs.h"
#include "xmlsheet/messages.h"

#include <algorithm>
#include <stdexcept>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zbir::xmlsheet {

namespace {

constexpr std::size_t kFlushSize = 256 * 1024;
constexpr std::string_view kUtf8Encoding = " encoding=\"utf-8\"?>";

}  // namespace

CopyWriter::CopyWriter(XmlScanner& scanner) : m_scanner(scanner) {}

CopyWriter::~CopyWriter()
{
    if (m_file)
        std::fclose(m_file);
}

void CopyWriter::create(const std::filesystem::path& tempPath)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_path = tempPath;
    m_out.clear();
    m_failed = false;
    m_flushed = 0;
    m_filled.clear();
    m_file = std::fopen(tempPath.c_str(), "wb");
    if (!m_file)
        throw std::runtime_error(msg::cannotCreateFile(base::winfs::display(tempPath)));
}

void CopyWriter::close()
{
    if (!m_file)
        return;
    flush();
    if (std::fclose(m_file) != 0)
        m_failed = true;
    m_file = nullptr;
    if (m_failed)
        throw std::runtime_error(msg::writeError(base::winfs::display(m_path)));
}

void CopyWriter::flush()
{
    if (!m_file || m_out.empty())
        return;
    if (std::fwrite(m_out.data(), 1, m_out.size(), m_file) != m_out.size())
        m_failed = true;
    m_flushed += m_out.size();
    m_out.clear();
}

void CopyWriter::endLine()
{
    m_out += "\r\n";
    if (m_out.size() >= kFlushSize)
        flush();
}

void CopyWriter::indent(int level)
{
    if (level > 1)
        m_out.append(static_cast<std::size_t>(level - 1) * 2, ' ');
}

// Tags, attribute texts, comments and the declaration go out as they came.
void CopyWriter::appendText(std::string_view programText)
{
    if (encoding::asciiPrefixLength(programText) == programText.size())
        m_out += programText;
    else
        m_out += encoding::windows1250ToUtf8(programText);
}

// "<" + prefix + the tag's name, its attributes and ">"; `tag` is "<Name>"
// or "</Name>".
void CopyWriter::appendTag(const std::string& tag, const std::string& prefix, const std::string& attributes)
{
    std::string_view rest = tag;
    if (!prefix.empty() && !tag.empty()) {
        const std::size_t open = tag.starts_with("</") ? 2 : 1;
        appendText(rest.substr(0, open));
        appendText(prefix);
        rest.remove_prefix(open);
    }
    if (attributes.empty() || rest.empty() || rest.back() != '>') {
        appendText(rest);
        if (!attributes.empty()) {
            m_out += ' ';
            appendText(attributes);
        }
        return;
    }
    appendText(rest.substr(0, rest.size() - 1));
    m_out += ' ';
    appendText(attributes);
    m_out += '>';
}

void CopyWriter::declaration(const Declaration& item)
{
    std::string_view text = item.text;
    std::size_t cut = item.encodingPos;
    if (cut == std::string::npos) {
        cut = text.find("?>");
        if (cut != std::string::npos) {
            // An encoding the scanner did not recognise ('utf-8' in single
            // quotes, ISO-8859-2, ...) must not stay beside the new one.
            std::size_t other = base::winfs::upper(std::string(text.substr(0, cut))).find(" ENCODING=");
            if (other != std::string::npos)
                cut = other;
        }
    }
    appendText(text.substr(0, std::min(cut, text.size())));
    m_out += kUtf8Encoding;
    endLine();
}

void CopyWriter::comment(const Comment& item)
{
    m_out += ' ';
    appendText(item.text);
    endLine();
}

void CopyWriter::opening(const ContainerOpening& item)
{
    indent(item.level);
    appendTag(item.tag, item.prefix, item.attributes);
    endLine();
}

void CopyWriter::closing(const ContainerClosing& item)
{
    indent(item.level);
    appendTag(item.tag, item.prefix, {});
    endLine();
}

void CopyWriter::element(const Element& item)
{
    indent(item.level);
    appendTag(item.tag, item.prefix, item.attributes);
    if (!(m_keepEmpty && item.filledIn)) {
        const std::size_t at = m_out.size();
        std::uint8_t flag = 0;
        encoding::appendUtf8ForXml(m_out, item.value, flag);
        if (flag)
            m_scanner.raiseModified();
        if (m_remember && item.filledIn && m_out.size() > at)
            m_filled.push_back({m_flushed + at, static_cast<std::uint32_t>(m_out.size() - at)});
    }
    if (item.prefix.empty()) {
        appendText(item.closingTag);
    } else {
        m_out += "</";
        appendText(item.prefix);
        appendText(std::string_view(item.tag).substr(1));
    }
    endLine();
}

void CopyWriter::dropFilledValues()
{
    if (m_filled.empty())
        return;
    const std::string failure = msg::writeError(base::winfs::display(m_path));
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(failure);
    // Every byte moves towards the start by the size of the values before
    // it: read ahead of the write position, never behind it.
    std::vector<char> buffer(1 << 20);
    std::uint64_t read = 0;
    std::uint64_t write = 0;
    bool ok = true;
    auto move = [&](std::uint64_t end) {
        while (ok && read < end) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - read));
            const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(read));
            if (got <= 0) {
                ok = false;
                break;
            }
            const auto n = static_cast<std::size_t>(got);
            if (write != read && ::pwrite(fd, buffer.data(), n, static_cast<off_t>(write)) != got)
                ok = false;
            read += n;
            write += n;
        }
    };
    for (const Span& s : m_filled) {
        move(s.at);
        read = s.at + s.size;
    }
    struct stat st {};
    ok = ok && ::fstat(fd, &st) == 0;
    if (ok)
        move(static_cast<std::uint64_t>(st.st_size));
    ok = ok && ::ftruncate(fd, static_cast<off_t>(write)) == 0;
    ok = ::close(fd) == 0 && ok;
    m_filled.clear();
    if (!ok)
        throw std::runtime_error(failure);
}

std::string copyName(const std::string& fileName, bool modified)
{
    std::string name = "TXT\\";
    name.append(fileName, 0, fileName.size() > 3 ? fileName.size() - 3 : 0);
    name += modified ? "XML" : "TXT";
    return name;
}

bool placeCopy(const std::filesystem::path& tempPath, const std::filesystem::path& target)
{
    return !base::durable::replace(tempPath, target, "copy");
}

}  // namespace zbir::xmlsheet
