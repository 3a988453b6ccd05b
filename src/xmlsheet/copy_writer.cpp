#include "xmlsheet/copy_writer.h"

#include "encoding/charset.h"
#include "encoding/codepage.h"
#include "base/durable_file.h"
#include "base/winfs.h"
#include "xmlsheet/messages.h"

#include <algorithm>
#include <stdexcept>

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
        std::uint8_t flag = 0;
        encoding::appendUtf8ForXml(m_out, item.value, flag);
        if (flag)
            m_scanner.raiseModified();
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
