#include "xmlsheet/xml_scanner.h"

#include "encoding/charset.h"
#include "encoding/codepage.h"
#include "base/winfs.h"
#include "jpkforms/forms.h"
#include "xmlsheet/messages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace zbir::xmlsheet {

namespace {

constexpr std::size_t kChunk = 64 * 1024;
constexpr std::size_t kStackTagLength = 99;

constexpr std::string_view kRecordStartTags[] = {
    "<ZOiS>", "<Dziennik>", "<KontoZapis>", "<WyciagWiersz>", "<PZ>",
    "<WZ>", "<RW>", "<MM>", "<SprzedazWiersz>", "<ZakupWiersz>",
    "<Faktura>", "<FakturaWiersz>", "<PKPIRWiersz>", "<EWPWiersz>",
};

constexpr std::string_view kControlTags[] = {
    "<DziennikCtrl>", "<KontoZapisCtrl>", "<WyciagCtrl>", "<SprzedazCtrl>", "<ZakupCtrl>",
    "<FakturaCtrl>", "<FakturaWierszCtrl>", "<PKPIRCtrl>", "<EWPCtrl>",
};

constexpr std::string_view kCdataStart = "<![CDATA[";
constexpr std::string_view kStandardNamespace = "http://jpk.mf.gov.pl/wzor/2016/03/09/0309";

template <std::size_t N>
bool isOneOf(const std::string& tag, const std::string_view (&list)[N])
{
    return std::find(std::begin(list), std::end(list), tag) != std::end(list);
}

// memchr, with a plain look at the first bytes, where many searches end.
const char* findByte(const char* p, char c, std::size_t n)
{
    std::size_t head = n < 4 ? n : 4;
    for (std::size_t i = 0; i < head; ++i)
        if (p[i] == c)
            return p + i;
    if (n == head)
        return nullptr;
    return static_cast<const char*>(std::memchr(p + head, c, n - head));
}

// A cheap hash of a tag: its length and the bytes that tell the layouts'
// names apart (collisions only cost a probe).
std::size_t tagHash(std::string_view tag)
{
    std::size_t n = tag.size();
    if (n < 4)
        return n;
    auto at = [&](std::size_t i) { return static_cast<std::size_t>(static_cast<unsigned char>(tag[i])); };
    return (n * 131 + at(1) * 31 + at(2)) * 31 * 31 + at(n - 3) * 31 + at(n - 2);
}

// The tag with "/" inserted after its "<".
void makeClosing(std::string& out, std::string_view tag)
{
    if (tag.empty()) {
        out.clear();
        return;
    }
    out.resize(tag.size() + 1);
    char* d = out.data();
    d[0] = tag[0];
    d[1] = '/';
    std::memcpy(d + 2, tag.data() + 1, tag.size() - 1);
}

// Character classes of the line reader: line ends and TAB become blanks,
// character 26 ends the file.
enum : unsigned char { kPlain, kTab, kCr, kLf, kEnd };

struct ReaderClasses {
    std::array<unsigned char, 256> of{};
    ReaderClasses()
    {
        of[9] = kTab;
        of[13] = kCr;
        of[10] = kLf;
        of[26] = kEnd;
    }
};

const ReaderClasses kReaderClasses;

}  // namespace

XmlScanner::XmlScanner(const FieldMap& map, int jpkType, std::function<bool()> keepGoing)
    : m_map(map), m_jpkType(jpkType), m_keepGoing(std::move(keepGoing))
{
}

XmlScanner::~XmlScanner()
{
    if (m_file)
        std::fclose(m_file);
}

bool XmlScanner::open(const std::filesystem::path& file)
{
    if (m_file) {
        std::fclose(m_file);
        m_file = nullptr;
    }
    m_fileName = base::winfs::fromNative(file.filename().string());
    m_buf.clear();
    m_pos = 0;
    m_eof = true;
    m_afterCr = false;
    m_fault = false;
    m_complete = false;
    m_highWater = 0;
    m_depth = 0;
    for (auto& s : m_stack)
        s.clear();
    m_recordTag.clear();
    m_letter = 'U';
    m_modified = false;
    m_error.clear();

    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return false;
    m_file = std::fopen(file.c_str(), "rb");
    if (!m_file)
        return false;
    m_eof = false;
    m_raw.resize(kChunk);
    return true;
}

bool XmlScanner::modified() const
{
    return m_modified;
}

void XmlScanner::raiseModified()
{
    m_modified = true;
}

const std::string& XmlScanner::error() const
{
    return m_error;
}

void XmlScanner::fault(const std::string& what)
{
    notice(what);
    m_fault = true;
    m_eof = true;
}

void XmlScanner::notice(const std::string& what)
{
    if (m_error.empty())
        m_error = m_fileName + ": " + what;
}

// Appends the next chunk of the file to the window, a line end (CR LF, CR or
// LF) as one blank and TAB as a blank. False when nothing more comes.
bool XmlScanner::readMore()
{
    if (m_eof || !m_file)
        return false;
    if (m_pos > 0 && (m_pos >= kChunk || m_pos * 2 >= m_buf.size())) {
        m_buf.erase(0, m_pos);
        m_pos = 0;
    }
    std::size_t n = std::fread(m_raw.data(), 1, m_raw.size(), m_file);
    if (n == 0) {
        if (std::ferror(m_file))
            fault(msg::kReadError);
        m_eof = true;
        return false;
    }
    std::size_t old = m_buf.size();
    m_buf.resize(old + n);
    char* out = m_buf.data() + old;
    const auto* in = reinterpret_cast<const unsigned char*>(m_raw.data());
    std::size_t i = 0;
    if (m_afterCr && in[0] == 10)
        i = 1;  // the LF of a CR LF split between two reads
    bool afterCr = false;
    for (; i < n; ++i) {
        // Eight bytes at a time while none is below 27 (TAB, LF, CR, 26).
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if ((word - 0x1B1B1B1B1B1B1B1Bull) & ~word & 0x8080808080808080ull)
                break;
            std::memcpy(out, in + i, 8);
            out += 8;
            i += 8;
        }
        if (i >= n)
            break;
        unsigned char c = in[i];
        if (c > 26) {
            *out++ = static_cast<char>(c);
            continue;
        }
        switch (kReaderClasses.of[c]) {
        case kPlain:
            *out++ = static_cast<char>(c);
            break;
        case kTab:
        case kLf:
            *out++ = ' ';
            break;
        case kCr:
            *out++ = ' ';
            if (i + 1 < n) {
                if (in[i + 1] == 10)
                    ++i;
            } else {
                afterCr = true;
            }
            break;
        default:  // character 26
            m_eof = true;
            i = n;
            break;
        }
    }
    m_afterCr = afterCr;
    m_buf.resize(static_cast<std::size_t>(out - m_buf.data()));
    m_highWater = std::max(m_highWater, m_buf.size());
    return true;
}

bool XmlScanner::ensureMore(std::size_t n)
{
    while (avail() < n) {
        if (avail() > m_itemCap) {
            fault(msg::itemTooLong(m_itemCap >> 20));
            return false;
        }
        if (!readMore())
            return false;
    }
    return true;
}

std::size_t XmlScanner::find(char c, std::size_t from)
{
    for (;;) {
        if (from < avail()) {
            if (const char* p = findByte(cur() + from, c, avail() - from))
                return static_cast<std::size_t>(p - cur());
            from = avail();
        }
        if (!ensure(avail() + 1))
            return std::string::npos;
    }
}

std::size_t XmlScanner::find(std::string_view s, std::size_t from)
{
    for (;;) {
        std::string_view window(cur(), avail());
        std::size_t at = window.find(s, from);
        if (at != std::string_view::npos)
            return at;
        if (avail() >= s.size())
            from = std::max(from, avail() - s.size() + 1);
        if (!ensure(avail() + 1))
            return std::string::npos;
    }
}

bool XmlScanner::startsWith(std::string_view s)
{
    ensure(s.size());
    return avail() >= s.size() && std::memcmp(cur(), s.data(), s.size()) == 0;
}

// Drops everything before the next `c`; false when the file has none.
bool XmlScanner::skipTo(char c)
{
    for (;;) {
        if (const char* p = findByte(cur(), c, avail())) {
            m_pos += static_cast<std::size_t>(p - cur());
            return true;
        }
        m_pos = m_buf.size();
        if (!readMore())
            return false;
    }
}

void XmlScanner::skipBlanks()
{
    for (;;) {
        while (m_pos < m_buf.size() && m_buf[m_pos] == ' ')
            ++m_pos;
        if (m_pos < m_buf.size() || !readMore())
            return;
    }
}

void XmlScanner::toProgramText(std::string_view raw, std::string& out) const
{
    out.clear();
    switch (m_letter) {
    case 'L':
        out += encoding::fromCp852(raw);
        break;
    case 'M':
        out += encoding::fromMazovia(raw);
        break;
    case 'W':
        out += raw;
        break;
    default:
        encoding::appendFromUtf8Text(out, raw);
        break;
    }
}

void XmlScanner::appendValue(std::string_view raw, std::string& out) const
{
    if (raw.find('&') == std::string_view::npos) {
        if (m_letter == 'U') {
            encoding::appendFromUtf8Text(out, raw);
        } else {
            std::string text;
            toProgramText(raw, text);
            out += text;
        }
        return;
    }
    // References are resolved in every code page, so that "&amp;" reads "&".
    std::string text;
    toProgramText(raw, text);
    out += encoding::decodeReferences(text);
}

// A file declared in a single-byte code page whose text is UTF-8 would be
// read as the wrong letters; the user is told once.
void XmlScanner::checkDeclaredEncoding(std::string_view raw)
{
    if (m_letter == 'U' || !m_error.empty() || encoding::asciiPrefixLength(raw) == raw.size())
        return;
    if (encoding::isValidUtf8(raw))
        notice(msg::kUtf8AgainstDeclaration);
}

int XmlScanner::columnFor(const std::string& tag) const
{
    const std::size_t mask = m_columns.size() - 1;
    for (std::size_t i = tagHash(tag) & mask;; i = (i + 1) & mask) {
        const ColumnSlot& slot = m_columns[i];
        if (!slot.used)
            return FieldMap::kUnmappedColumn;
        if (slot.tag == tag)
            return slot.column;
    }
}

void XmlScanner::scan(ScanConsumer& consumer)
{
    if (!m_file)
        return;
    // Last entry of a tag wins, as in the map's own search.
    m_columns.assign(2 * 256, ColumnSlot{});  // at least twice the map's 200 places
    const std::size_t mask = m_columns.size() - 1;
    for (int e = 1; e <= m_map.count(); ++e) {
        const FieldEntry& entry = m_map.entry(e);
        for (std::size_t i = tagHash(entry.tag) & mask;; i = (i + 1) & mask) {
            ColumnSlot& slot = m_columns[i];
            if (!slot.used || slot.tag == entry.tag) {
                slot.tag = entry.tag;
                slot.column = entry.column;
                slot.used = true;
                break;
            }
        }
    }

    bool any = false;
    bool stopped = false;
    while (step(consumer)) {
        any = true;
        if (m_keepGoing && !m_keepGoing()) {
            stopped = true;
            break;
        }
    }
    m_complete = !stopped && !m_fault;
    if (m_complete) {
        if (!any)
            notice(msg::kNoTags);
        else if (m_depth > 0)
            notice(msg::cutShort(m_stack[1]));
    }
    std::fclose(m_file);
    m_file = nullptr;
    m_eof = true;
}

void XmlScanner::takeDeclaration(ScanConsumer& consumer)
{
    std::size_t gt = find('>', 0);
    std::size_t length = gt == std::string::npos ? avail() : gt + 1;
    if (m_fault)
        return;
    Declaration item;
    toProgramText(std::string_view(cur(), length), item.text);
    consume(length);

    std::string upper = base::winfs::upper(item.text);
    static constexpr std::pair<std::string_view, char> kEncodings[] = {
        {" ENCODING=\"UTF", 'U'}, {" ENCODING=\"WIN", 'W'}, {" ENCODING=\"LAT", 'L'}, {" ENCODING=\"MAZ", 'M'}};
    m_letter = 'U';
    for (const auto& [key, letter] : kEncodings) {
        std::size_t at = upper.find(key);
        if (at != std::string::npos) {
            m_letter = letter;
            item.encodingPos = at;
            break;
        }
    }
    if (m_letter != 'U')
        m_modified = true;
    consumer.declaration(item);
}

void XmlScanner::takeComment(ScanConsumer& consumer, std::size_t length)
{
    Comment item;
    toProgramText(std::string_view(cur(), length), item.text);
    consume(length);
    skipBlanks();
    consumer.comment(item);
}

// Length of the closing tag of the element `rawTag` ("<Name>") at the start
// of the window, with any prefix or none and blanks before its ">"; 0 when
// something else comes.
std::size_t XmlScanner::closingAhead(std::string_view rawTag)
{
    if (!ensure(2) || cur()[0] != '<' || cur()[1] != '/')
        return 0;
    const std::size_t gt = find('>', 2);
    if (gt == std::string::npos)
        return 0;
    std::string_view name(cur() + 2, gt - 2);
    while (!name.empty() && name.back() == ' ')
        name.remove_suffix(1);
    if (const std::size_t colon = name.find(':'); colon != std::string_view::npos)
        name.remove_prefix(colon + 1);
    return name == rawTag.substr(1, rawTag.size() - 2) ? gt + 1 : 0;
}

// The value of an element: the text up to the next "<" (CDATA sections
// taken literally). False on a fault.
bool XmlScanner::takeValue(std::string& value)
{
    value.clear();
    for (;;) {
        std::size_t lt = find('<', 0);
        if (m_fault)
            return false;
        if (lt == std::string::npos)
            return true;  // no "<" up to the end: nothing is taken
        if (lt > 0) {
            checkDeclaredEncoding(std::string_view(cur(), lt));
            appendValue(std::string_view(cur(), lt), value);
            consume(lt);
        }
        if (!startsWith(kCdataStart))
            return true;
        std::size_t end = find("]]>", kCdataStart.size());
        if (m_fault)
            return false;
        if (end == std::string::npos)
            return true;
        std::string literal;
        toProgramText(std::string_view(cur() + kCdataStart.size(), end - kCdataStart.size()), literal);
        value += literal;
        consume(end + 3);
    }
}

bool XmlScanner::step(ScanConsumer& consumer)
{
    if (!skipTo('<'))
        return false;

    ensure(kCdataStart.size());
    if (avail() >= 2 && (cur()[1] == '?' || cur()[1] == '!')) {
        const Taken taken = cur()[1] == '?' ? takeProcessing(consumer) : takeMarkup(consumer);
        if (taken != Taken::Nothing)
            return taken == Taken::Item;
    }

    bool selfClosing = false;
    if (!readTag(selfClosing))
        return false;

    if (m_depth >= 1 && m_tag == m_stack[static_cast<std::size_t>(m_depth)]) {
        takeClosing(consumer);
        return true;
    }
    if (m_tag.size() > 1 && m_tag[1] == '/')
        notice(msg::closesNothing(m_tag));

    if (opensContainer(selfClosing)) {
        takeOpening(consumer);
        return true;
    }
    return takeElement(consumer, selfClosing);
}

// "<?xml" is the declaration; another processing instruction goes on as a comment.
XmlScanner::Taken XmlScanner::takeProcessing(ScanConsumer& consumer)
{
    if (avail() >= 5 && base::winfs::upper(std::string(cur(), 5)) == "<?XML") {
        takeDeclaration(consumer);
        return m_fault ? Taken::End : Taken::Item;
    }
    std::size_t end = find("?>", 2);
    if (m_fault)
        return Taken::End;
    takeComment(consumer, end == std::string::npos ? avail() : end + 2);
    return Taken::Item;
}

// "<!": a comment, a CDATA section between elements or a document type;
// Nothing for anything else, which is read as a tag.
XmlScanner::Taken XmlScanner::takeMarkup(ScanConsumer& consumer)
{
    if (startsWith("<!--")) {
        std::size_t end = find("-->", 4);
        if (m_fault)
            return Taken::End;
        takeComment(consumer, end == std::string::npos ? 2 : end + 3);
        return Taken::Item;
    }
    if (startsWith(kCdataStart)) {
        // Text between elements is not kept; neither is a CDATA section there.
        std::size_t end = find("]]>", kCdataStart.size());
        if (m_fault)
            return Taken::End;
        consume(end == std::string::npos ? avail() : end + 3);
        skipBlanks();
        return Taken::Item;
    }
    if (startsWith("<!DOCTYPE"))
        return takeDoctype(consumer);
    return Taken::Nothing;
}

// A document type goes on as a comment, its internal subset included; its
// entities are never read, fetched or expanded (references to them read as
// unknown ones), and the user is told.
XmlScanner::Taken XmlScanner::takeDoctype(ScanConsumer& consumer)
{
    notice(msg::kDoctypeSkipped);
    std::size_t end = find('>', 2);
    if (end != std::string::npos) {
        if (const void* bracket = std::memchr(cur() + 2, '[', end - 2)) {
            std::size_t close = find("]>", static_cast<std::size_t>(static_cast<const char*>(bracket) - cur()));
            end = close == std::string::npos ? close : close + 1;
        }
    }
    if (m_fault)
        return Taken::End;
    takeComment(consumer, end == std::string::npos ? avail() : end + 1);
    return Taken::Item;
}

// The tag up to and including the first ">", taken apart: m_rawTag as
// "<Name>" or "</Name>", m_rawAttributes, m_rawPrefix ("tns:" or empty), and
// m_tag and m_prefix in program text. False on a fault.
bool XmlScanner::readTag(bool& selfClosing)
{
    std::size_t gt = find('>', 1);
    if (m_fault)
        return false;
    std::size_t length = gt == std::string::npos ? avail() : gt + 1;
    if (gt == std::string::npos)
        notice(msg::kCutInTag);
    m_rawTag.assign(cur(), length);
    consume(length);
    skipBlanks();

    selfClosing = m_rawTag.size() >= 3 && m_rawTag.ends_with("/>") && m_rawTag[1] != '/';
    if (selfClosing)
        m_rawTag.erase(m_rawTag.size() - 2, 1);
    splitAttributes(selfClosing);
    splitPrefix();

    toProgramText(m_rawTag, m_tag);
    if (encoding::asciiPrefixLength(m_rawPrefix) == m_rawPrefix.size())
        m_prefix = m_rawPrefix;
    else
        toProgramText(m_rawPrefix, m_prefix);
    return true;
}

// Moves the attribute text after the tag's first blank to m_rawAttributes.
void XmlScanner::splitAttributes(bool selfClosing)
{
    m_rawAttributes.clear();
    std::size_t space = m_rawTag.find(' ');
    if (space == std::string::npos)
        return;
    std::size_t attrLength = m_rawTag.size() >= space + 2 ? m_rawTag.size() - space - 2 : 0;
    m_rawAttributes.assign(m_rawTag, space + 1, attrLength);
    m_rawTag.resize(space);
    m_rawTag += '>';
    if (selfClosing) {
        while (!m_rawAttributes.empty() && m_rawAttributes.back() == ' ')
            m_rawAttributes.pop_back();
    }
}

// Moves the namespace prefix, up to and including its ":", to m_rawPrefix.
void XmlScanner::splitPrefix()
{
    m_rawPrefix.clear();
    std::size_t colon = m_rawTag.find(':');
    if (colon == std::string::npos)
        return;
    std::size_t start = m_rawTag.starts_with("</") ? 2 : 1;
    if (colon >= start) {
        m_rawPrefix.assign(m_rawTag, start, colon - start + 1);
        m_rawTag.erase(start, colon - start + 1);
    }
}

// The closing tag of the innermost open container.
void XmlScanner::takeClosing(ScanConsumer& consumer)
{
    m_closing.level = m_depth;
    m_closing.tag = m_tag;
    m_closing.recordListRunning = !m_recordTag.empty();
    m_closing.prefix = m_prefix;
    consumer.closing(m_closing);
    --m_depth;
}

// Whether the tag just read opens a container: it is not self-closing and
// another tag (not a closing one, not a CDATA section) follows it at once.
bool XmlScanner::opensContainer(bool selfClosing)
{
    ensure(2);
    return !selfClosing && avail() >= 1 && cur()[0] == '<' && (avail() < 2 || cur()[1] != '/') &&
           (avail() < 2 || cur()[1] != '!' || !startsWith(kCdataStart));
}

void XmlScanner::takeOpening(ScanConsumer& consumer)
{
    const std::string& tag = m_tag;
    if (m_depth < kMaxDepth)
        ++m_depth;
    else
        notice(msg::nestedTooDeep(kMaxDepth));
    m_opening.level = m_depth;
    toProgramText(m_rawAttributes, m_opening.attributes);
    if (tag == m_recordTag) {
        m_opening.cls = OpeningClass::RecordRepeat;
    } else {
        m_opening.cls = classifyOpening();
        std::string& top = m_stack[static_cast<std::size_t>(m_depth)];
        makeClosing(top, tag);
        if (top.size() > kStackTagLength)
            top.resize(kStackTagLength);
    }
    m_opening.tag = tag;
    m_opening.prefix = m_prefix;
    consumer.opening(m_opening);
}

// The class of a container other than a repeat of the running record; keeps
// the record tag and mends the root's attributes.
OpeningClass XmlScanner::classifyOpening()
{
    const std::string& tag = m_tag;
    if (tag == "<JPK>") {
        std::string normal = normaliseRootAttributes(m_opening.attributes, m_jpkType, m_prefix);
        if (normal != m_opening.attributes)
            m_modified = true;
        m_opening.attributes = std::move(normal);
        return OpeningClass::Root;
    }
    if (isOneOf(tag, kRecordStartTags)) {
        m_recordTag = tag;
        return OpeningClass::RecordStart;
    }
    if (isOneOf(tag, kControlTags)) {
        m_recordTag.clear();
        return OpeningClass::Control;
    }
    return OpeningClass::Other;
}

// An element with a value (or a self-closing one). False on a fault.
bool XmlScanner::takeElement(ScanConsumer& consumer, bool selfClosing)
{
    const std::string& tag = m_tag;
    Element& e = m_element;
    e.value.clear();
    if (!selfClosing) {
        makeClosing(m_rawClosing, m_rawTag);
        if (!takeValue(e.value))
            return false;
        const std::size_t closing = closingAhead(m_rawTag);
        if (m_fault)
            return false;
        if (closing == 0) {
            // Mixed content: the element is dropped.
            if (!m_fault && !(tag.size() > 1 && tag[1] == '/')) {
                if (find('<', 0) == std::string::npos)
                    notice(msg::cutInElement(tag));
                else
                    notice(msg::mixedContent(tag));
            }
            return !m_fault;
        }
        consume(closing);
    }
    e.level = m_depth + 1;
    e.column = columnFor(tag);
    toProgramText(m_rawAttributes, e.attributes);
    if (m_rawTag == tag && !selfClosing)
        e.closingTag = m_rawClosing;
    else
        makeClosing(e.closingTag, tag);
    e.tag = tag;
    e.prefix = m_prefix;
    e.filledIn = e.value.empty();
    fixUpValue(e);
    consumer.element(e);
    return true;
}

// An empty or "-" tax amount reads 0, another empty value "BRAK"; both mark
// the file modified.
void XmlScanner::fixUpValue(Element& e)
{
    if ((e.tag == "<PodatekNaliczony>" || e.tag == "<PodatekNalezny>") && (e.value.empty() || e.value == "-")) {
        e.value.clear();  // (clear and append: GCC 12 warns falsely on assigning a literal here)
        e.value += '0';
        m_modified = true;
    }
    if (e.value.empty()) {
        e.value += "BRAK";
        m_modified = true;
    }
}

namespace {

// One attribute of an attribute text: its name and where its value lies.
struct Attribute {
    std::string_view name;
    std::size_t valueAt = 0;
    std::size_t valueLength = 0;
};

std::vector<Attribute> attributeList(std::string_view text)
{
    std::vector<Attribute> out;
    std::size_t i = 0;
    auto blank = [&](std::size_t at) { return at < text.size() && (text[at] == ' ' || text[at] == '\t'); };
    while (i < text.size()) {
        while (blank(i))
            ++i;
        const std::size_t nameAt = i;
        while (i < text.size() && text[i] != '=' && text[i] != ' ' && text[i] != '\t')
            ++i;
        Attribute a{text.substr(nameAt, i - nameAt)};
        while (blank(i))
            ++i;
        if (i >= text.size() || text[i] != '=') {
            if (i == nameAt)
                ++i;  // a stray character
            continue;
        }
        ++i;
        while (blank(i))
            ++i;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            const std::size_t close = text.find(text[i], i + 1);
            a.valueAt = i + 1;
            a.valueLength = (close == std::string_view::npos ? text.size() : close) - a.valueAt;
            i = close == std::string_view::npos ? text.size() : close + 1;
        }
        out.push_back(a);
    }
    return out;
}

}  // namespace

std::string normaliseRootAttributes(std::string_view attributes, int jpkType, std::string_view prefix)
{
    const char digit = static_cast<char>('0' + jpkType);
    const bool typed = jpkType >= 1 && jpkType <= 7;
    const std::vector<Attribute> list = attributeList(attributes);

    // A "0309" namespace of no known form, mended by the type digit.
    for (auto it = list.rbegin(); typed && it != list.rend(); ++it) {
        if (!(it->name == "xmlns" || it->name.starts_with("xmlns:")))
            continue;
        const std::string_view ns = attributes.substr(it->valueAt, it->valueLength);
        const std::size_t at = ns.find("0309");
        if (at == std::string_view::npos)
            continue;
        if (jpkforms::findForm(ns) || at + 4 >= ns.size())
            break;
        std::string mended(ns);
        mended[at + 4] = digit;
        if (!jpkforms::findForm(mended))
            break;
        std::string out(attributes);
        out.replace(it->valueAt, it->valueLength, mended);
        return out;
    }

    // The root's own namespace declared nowhere: the type's.
    std::string declaration = "xmlns";
    if (!prefix.empty() && prefix.back() == ':')
        prefix.remove_suffix(1);
    if (!prefix.empty())
        declaration.append(1, ':').append(prefix);
    const bool declared = std::any_of(list.begin(), list.end(), [&](const Attribute& a) { return a.name == declaration; });
    if (declared || !typed)
        return std::string(attributes);
    std::string out = declaration + "=\"" + std::string(kStandardNamespace) + digit + "/\"";
    if (!attributes.empty())
        out += ' ';
    return out + std::string(attributes);
}

}  // namespace zbir::xmlsheet
