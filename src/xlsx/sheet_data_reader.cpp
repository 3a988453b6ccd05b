#include "xlsx/sheet_data_reader.h"

#include "encoding/charset.h"

#include "spreadsheet/automation.h"
#include "xlsx/import_factory.h"
#include "spreadsheet/text_codec.h"

#include <zlib.h>

#include <charconv>
#include <cstring>
#include <map>

namespace zbir::workbook {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view localName(std::string_view qualified)
{
    auto colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

// A pull reader over well-formed XML content: tags, attributes, character
// data with the five entities and character references, comments, CDATA
// and processing instructions. Anything else is a fault.
class XmlCursor {
public:
    struct Attr {
        std::string_view name, raw;  // raw: the value as written, entities undecoded
    };

    XmlCursor(std::string_view xml, const std::string& partName)
        : m_p(xml.data()), m_end(xml.data() + xml.size()), m_part(partName)
    {
    }

    [[noreturn]] void fail() const
    {
        throw AutomationError("uszkodzona cz\xEA\x9C\xE6 " + text::fromUtf8(m_part));
    }
    bool atEnd() const { return m_p >= m_end; }

    enum class Token { End, Start, Close, Text };

    // The next tag, skipping character data, comments and instructions when
    // `skipText`; a Text token when character data comes first otherwise.
    Token next(bool skipText = true)
    {
        for (;;) {
            if (m_p >= m_end)
                return Token::End;
            if (*m_p != '<') {
                if (!skipText)
                    return Token::Text;
                const char* lt = static_cast<const char*>(std::memchr(m_p, '<', static_cast<std::size_t>(m_end - m_p)));
                m_p = lt ? lt : m_end;
                continue;
            }
            if (m_end - m_p >= 4 && std::memcmp(m_p, "<!--", 4) == 0) {
                skipPast("-->");
                continue;
            }
            if (m_end - m_p >= 9 && std::memcmp(m_p, "<![CDATA[", 9) == 0) {
                if (!skipText)
                    return Token::Text;
                skipPast("]]>");
                continue;
            }
            if (m_end - m_p >= 2 && m_p[1] == '?') {
                skipPast("?>");
                continue;
            }
            if (m_end - m_p >= 2 && m_p[1] == '/') {
                m_p += 2;
                m_name = readName();
                while (m_p < m_end && isSpace(*m_p))
                    ++m_p;
                if (m_p >= m_end || *m_p != '>')
                    fail();
                ++m_p;
                return Token::Close;
            }
            ++m_p;
            m_name = readName();
            m_attrs.clear();
            for (;;) {
                bool space = false;
                while (m_p < m_end && isSpace(*m_p)) {
                    ++m_p;
                    space = true;
                }
                if (m_p >= m_end)
                    fail();
                if (*m_p == '>') {
                    ++m_p;
                    m_empty = false;
                    break;
                }
                if (*m_p == '/') {
                    if (m_end - m_p < 2 || m_p[1] != '>')
                        fail();
                    m_p += 2;
                    m_empty = true;
                    break;
                }
                if (!space)
                    fail();
                Attr a;
                a.name = readName();
                while (m_p < m_end && isSpace(*m_p))
                    ++m_p;
                if (m_p >= m_end || *m_p != '=')
                    fail();
                ++m_p;
                while (m_p < m_end && isSpace(*m_p))
                    ++m_p;
                if (m_p >= m_end || (*m_p != '"' && *m_p != '\''))
                    fail();
                const char quote = *m_p++;
                const char* q = static_cast<const char*>(std::memchr(m_p, quote, static_cast<std::size_t>(m_end - m_p)));
                if (!q)
                    fail();
                a.raw = {m_p, static_cast<std::size_t>(q - m_p)};
                if (a.raw.find('<') != std::string_view::npos)
                    fail();
                m_p = q + 1;
                m_attrs.push_back(a);
            }
            return Token::Start;
        }
    }

    std::string_view name() const { return m_name; }
    std::string_view local() const { return localName(m_name); }
    bool empty() const { return m_empty; }
    const std::vector<Attr>& attrs() const { return m_attrs; }
    std::optional<std::string_view> attr(std::string_view localWanted) const
    {
        for (const Attr& a : m_attrs)
            if (localName(a.name) == localWanted && a.name.substr(0, 5) != "xmlns")
                return a.raw;
        return std::nullopt;
    }

    // Skips the rest of the element just started, nested elements too.
    void skipElement()
    {
        if (m_empty)
            return;
        std::vector<std::string_view> open{m_name};
        while (!open.empty()) {
            Token t = next();
            if (t == Token::End)
                fail();
            if (t == Token::Start && !m_empty)
                open.push_back(m_name);
            else if (t == Token::Close) {
                if (m_name != open.back())
                    fail();
                open.pop_back();
            }
        }
    }

    // Appends the decoded character data of the element just started up to
    // its end tag; a child element is a fault.
    void readText(std::string& out)
    {
        if (m_empty)
            return;
        const std::string_view element = m_name;
        for (;;) {
            if (m_p >= m_end)
                fail();
            if (*m_p != '<') {
                const char* stop = m_p;
                while (stop < m_end && *stop != '<' && *stop != '&')
                    ++stop;
                out.append(m_p, stop);
                m_p = stop;
                if (m_p < m_end && *m_p == '&')
                    entity(out);
                continue;
            }
            if (m_end - m_p >= 9 && std::memcmp(m_p, "<![CDATA[", 9) == 0) {
                const char* start = m_p + 9;
                skipPast("]]>");
                out.append(start, m_p - 3);
                continue;
            }
            Token t = next(false);
            if (t == Token::Text)
                continue;
            if (t == Token::Close && m_name == element)
                return;
            fail();
        }
    }

    // Decodes an attribute's raw value.
    void decode(std::string_view raw, std::string& out)
    {
        const char* saveP = m_p;
        const char* saveEnd = m_end;
        m_p = raw.data();
        m_end = raw.data() + raw.size();
        while (m_p < m_end) {
            if (*m_p == '&')
                entity(out);
            else
                out += *m_p++;
        }
        m_p = saveP;
        m_end = saveEnd;
    }

private:
    const char* m_p;
    const char* m_end;
    const std::string& m_part;
    std::string_view m_name;
    bool m_empty = false;
    std::vector<Attr> m_attrs;

    std::string_view readName()
    {
        const char* start = m_p;
        while (m_p < m_end && !isSpace(*m_p) && *m_p != '>' && *m_p != '/' && *m_p != '=' && *m_p != '<')
            ++m_p;
        if (m_p == start)
            fail();
        return {start, static_cast<std::size_t>(m_p - start)};
    }

    void skipPast(std::string_view terminator)
    {
        std::string_view rest(m_p, static_cast<std::size_t>(m_end - m_p));
        auto at = rest.find(terminator, 2);
        if (at == std::string_view::npos)
            fail();
        m_p += at + terminator.size();
    }

    void entity(std::string& out)
    {
        const char* semi = static_cast<const char*>(std::memchr(m_p, ';', static_cast<std::size_t>(std::min<std::ptrdiff_t>(m_end - m_p, 12))));
        if (!semi)
            fail();
        std::string_view e(m_p + 1, static_cast<std::size_t>(semi - m_p - 1));
        m_p = semi + 1;
        if (e == "amp")
            out += '&';
        else if (e == "lt")
            out += '<';
        else if (e == "gt")
            out += '>';
        else if (e == "quot")
            out += '"';
        else if (e == "apos")
            out += '\'';
        else if (e.size() >= 2 && e[0] == '#') {
            std::uint32_t cp = 0;
            const bool hex = e[1] == 'x';
            auto digits = e.substr(hex ? 2 : 1);
            auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), cp, hex ? 16 : 10);
            if (ec != std::errc() || ptr != digits.data() + digits.size() || digits.empty() || cp == 0 ||
                cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
                fail();
            encoding::appendCodePoint(out, cp);
        } else {
            fail();
        }
    }
};

template <typename T>
bool parseNumber(std::string_view s, T& value)
{
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+')
        s.remove_prefix(1);
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && ptr == s.data() + s.size() && !s.empty();
}

// "AB12" as a 0-based row and column.
bool parseCellRef(std::string_view ref, ss::row_t& row, ss::col_t& col)
{
    std::size_t i = 0;
    long c = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && c <= kMaxColumns) {
        c = c * 26 + (ref[i] - 'A' + 1);
        ++i;
    }
    long r = 0;
    if (i == 0 || !parseNumber(ref.substr(i), r) || c > kMaxColumns || r < 1 || r > kMaxRows)
        return false;
    row = static_cast<ss::row_t>(r - 1);
    col = static_cast<ss::col_t>(c - 1);
    return true;
}

bool isTrue(std::string_view s)
{
    return s == "1" || s == "true";
}

// "2017-05-31T12:30:00" and its shorter forms.
bool setIsoDate(ImportSheet& sheet, ss::row_t row, ss::col_t col, std::string_view v)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    double s = 0;
    if (v.size() < 10 || v[4] != '-' || v[7] != '-' || !parseNumber(v.substr(0, 4), y) ||
        !parseNumber(v.substr(5, 2), mo) || !parseNumber(v.substr(8, 2), d))
        return false;
    if (v.size() >= 16 && v[10] == 'T' && v[13] == ':') {
        if (!parseNumber(v.substr(11, 2), h) || !parseNumber(v.substr(14, 2), mi))
            return false;
        if (v.size() >= 19 && v[16] == ':') {
            std::string_view sec = v.substr(17);
            auto zone = sec.find_first_of("Z+-");
            if (!parseNumber(sec.substr(0, zone), s))
                return false;
        }
    }
    sheet.set_date_time(row, col, y, mo, d, h, mi, s);
    return true;
}

}  // namespace

std::optional<SheetDataSpan> findSheetDataStart(std::string_view xml)
{
    // The first start tag whose local name is sheetData; worksheet parts
    // hold no text before it that could spell one.
    std::size_t at = 0;
    for (;;) {
        at = xml.find("sheetData", at);
        if (at == std::string_view::npos)
            return std::nullopt;
        std::size_t lt = at;
        while (lt > 0 && xml[lt - 1] != '<' && xml[lt - 1] != '>' && !isSpace(xml[lt - 1]) && xml[lt - 1] != '/')
            --lt;
        const std::size_t nameEnd = at + 9;
        if (lt > 0 && xml[lt - 1] == '<' && nameEnd < xml.size() &&
            (isSpace(xml[nameEnd]) || xml[nameEnd] == '>' || xml[nameEnd] == '/')) {
            std::string_view qualified = xml.substr(lt, nameEnd - lt);
            if (qualified == "sheetData" || (qualified.size() > 10 && qualified[qualified.size() - 10] == ':')) {
                SheetDataSpan span;
                span.qualifiedName = std::string(qualified);
                span.elementBegin = lt - 1;
                std::size_t gt = xml.find('>', nameEnd);
                if (gt == std::string_view::npos)
                    return std::nullopt;
                span.contentBegin = gt + 1;
                if (xml[gt - 1] == '/')
                    span.contentEnd = span.elementEnd = gt + 1;
                return span;
            }
        }
        at = nameEnd;
    }
}

std::optional<SheetDataSpan> findSheetData(std::string_view xml)
{
    std::optional<SheetDataSpan> span = findSheetDataStart(xml);
    if (!span || span->elementEnd != 0)
        return span;
    const std::string closing = "</" + span->qualifiedName;
    std::size_t close = xml.rfind(closing);
    if (close == std::string_view::npos || close < span->contentBegin)
        return std::nullopt;
    std::size_t closeGt = xml.find('>', close);
    if (closeGt == std::string_view::npos)
        return std::nullopt;
    span->contentEnd = close;
    span->elementEnd = closeGt + 1;
    return span;
}

std::string withoutSheetData(std::string_view xml, const SheetDataSpan& span)
{
    std::string out;
    out.reserve(span.elementBegin + (xml.size() - span.elementEnd) + span.qualifiedName.size() + 3);
    out.append(xml.substr(0, span.elementBegin));
    out += '<';
    out += span.qualifiedName;
    out += "/>";
    out.append(xml.substr(span.elementEnd));
    return out;
}

void readSheetData(std::string_view content, ImportSheet& sheet, const std::string& partName)
{
    XmlCursor x(content, partName);
    using Token = XmlCursor::Token;
    std::string text, value, formula;
    ss::row_t row = -1;
    for (Token t = x.next(); t != Token::End; t = x.next()) {
        if (t == Token::Close)
            x.fail();
        if (x.local() != "row") {
            x.skipElement();
            continue;
        }
        if (auto r = x.attr("r")) {
            long n = 0;
            if (!parseNumber(*r, n) || n < 1 || n > kMaxRows)
                x.fail();
            row = static_cast<ss::row_t>(n - 1);
        } else {
            ++row;
        }
        if (row >= kMaxRows)
            x.fail();
        if (auto ht = x.attr("ht")) {
            double points = 0;
            if (parseNumber(*ht, points))
                sheet.set_row_height(row, points, orcus::length_unit_t::point);
        }
        if (auto hidden = x.attr("hidden"); hidden && isTrue(*hidden))
            sheet.set_row_hidden(row, true);
        if (x.empty())
            continue;
        const std::string_view rowName = x.name();
        ss::col_t col = -1;
        for (;;) {
            t = x.next();
            if (t == Token::End)
                x.fail();
            if (t == Token::Close) {
                if (x.name() != rowName)
                    x.fail();
                break;
            }
            if (x.local() != "c") {
                x.skipElement();
                continue;
            }
            if (auto r = x.attr("r")) {
                ss::row_t cellRow = 0;
                if (!parseCellRef(*r, cellRow, col) || cellRow != row)
                    x.fail();
            } else {
                ++col;
            }
            if (col >= kMaxColumns)
                x.fail();
            std::string_view type = x.attr("t").value_or("n");
            std::size_t xf = 0;
            if (auto s = x.attr("s"); s && !parseNumber(*s, xf))
                x.fail();
            if (xf != 0)
                sheet.setStyleDirect(row, col, xf);
            if (x.empty())
                continue;
            const std::string_view cellName = x.name();
            bool hasValue = false, hasFormula = false, hasInline = false;
            std::optional<std::size_t> sharedIndex;
            value.clear();
            formula.clear();
            text.clear();
            for (;;) {
                t = x.next();
                if (t == Token::End)
                    x.fail();
                if (t == Token::Close) {
                    if (x.name() != cellName)
                        x.fail();
                    break;
                }
                std::string_view child = x.local();
                if (child == "v") {
                    hasValue = true;
                    x.readText(value);
                } else if (child == "f") {
                    hasFormula = true;
                    if (auto ft = x.attr("t"); ft && *ft == "shared")
                        if (auto si = x.attr("si")) {
                            std::size_t n = 0;
                            if (!parseNumber(*si, n))
                                x.fail();
                            sharedIndex = n;
                        }
                    x.readText(formula);
                } else if (child == "is") {
                    hasInline = true;
                    if (x.empty())
                        continue;
                    const std::string_view isName = x.name();
                    for (;;) {
                        t = x.next();
                        if (t == Token::End)
                            x.fail();
                        if (t == Token::Close) {
                            if (x.name() != isName)
                                x.fail();
                            break;
                        }
                        if (x.local() == "t") {
                            x.readText(text);
                        } else if (x.local() == "r" && !x.empty()) {
                            const std::string_view runName = x.name();
                            for (;;) {
                                t = x.next();
                                if (t == Token::End)
                                    x.fail();
                                if (t == Token::Close) {
                                    if (x.name() != runName)
                                        x.fail();
                                    break;
                                }
                                if (x.local() == "t")
                                    x.readText(text);
                                else
                                    x.skipElement();
                            }
                        } else {
                            x.skipElement();
                        }
                    }
                } else {
                    x.skipElement();
                }
            }

            if (hasFormula) {
                sheet.get_formula();
                sheet.set_position(row, col);
                if (!formula.empty())
                    sheet.set_formula(ss::formula_grammar_t::xlsx, formula);
                if (sharedIndex)
                    sheet.set_shared_formula_index(*sharedIndex);
                double number = 0;
                if (!hasValue || type == "e")
                    sheet.set_result_empty();
                else if (type == "str" || type == "inlineStr")
                    sheet.set_result_string(value);
                else if (type == "b")
                    sheet.set_result_bool(isTrue(value));
                else if (parseNumber(value, number))
                    sheet.set_result_value(number);
                else
                    sheet.set_result_empty();
                sheet.commit();
                continue;
            }
            if (type == "inlineStr") {
                if (hasInline)
                    sheet.setTextDirect(row, col, text);
                continue;
            }
            if (!hasValue)
                continue;
            if (type == "s") {
                std::size_t id = 0;
                if (!parseNumber(value, id))
                    x.fail();
                sheet.setSharedStringDirect(row, col, id);
            } else if (type == "str") {
                sheet.setTextDirect(row, col, value);
            } else if (type == "b") {
                sheet.set_bool(row, col, isTrue(value));
            } else if (type == "e") {
                sheet.setErrorDirect(row, col, value);
            } else if (type == "d") {
                if (!setIsoDate(sheet, row, col, value))
                    x.fail();
            } else {
                double number = 0;
                if (!parseNumber(value, number))
                    x.fail();
                sheet.set_value(row, col, number);
            }
        }
    }
}

std::optional<std::vector<std::string>> worksheetPartNames(
    const std::function<std::optional<std::string>(const std::string&)>& part)
{
    // Relationships of a part: Id -> the target's part name.
    auto relationships = [&](const std::string& source, std::string_view wantedType,
                             std::map<std::string, std::string>& byId, std::string* firstOfType) -> bool {
        const auto slash = source.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
        const std::string relsName = folder + "_rels/" + source.substr(slash == std::string::npos ? 0 : slash + 1) + ".rels";
        auto xml = part(relsName);
        if (!xml)
            return false;
        XmlCursor x(*xml, relsName);
        for (auto t = x.next(); t != XmlCursor::Token::End; t = x.next()) {
            if (t != XmlCursor::Token::Start || x.local() != "Relationship")
                continue;
            auto id = x.attr("Id");
            auto target = x.attr("Target");
            auto type = x.attr("Type");
            if (!id || !target || !type)
                continue;
            if (auto mode = x.attr("TargetMode"); mode && *mode == "External")
                continue;
            std::string name;
            x.decode(*target, name);
            name = name.starts_with('/') ? name.substr(1) : folder + name;
            // "a/./b" and "a/x/../b" as "a/b".
            std::vector<std::string> steps;
            std::size_t start = 0;
            while (start <= name.size()) {
                auto end = name.find('/', start);
                if (end == std::string::npos)
                    end = name.size();
                std::string step = name.substr(start, end - start);
                if (step == "..") {
                    if (steps.empty())
                        return false;
                    steps.pop_back();
                } else if (!step.empty() && step != ".") {
                    steps.push_back(step);
                }
                start = end + 1;
            }
            name.clear();
            for (const auto& s : steps)
                name += (name.empty() ? "" : "/") + s;
            byId[std::string(*id)] = name;
            if (firstOfType && type->ends_with(wantedType) && firstOfType->empty())
                *firstOfType = name;
        }
        return true;
    };
    try {
        std::map<std::string, std::string> rootRels;
        std::string workbookPart;
        if (!relationships("", "/officeDocument", rootRels, &workbookPart) || workbookPart.empty())
            return std::nullopt;
        std::map<std::string, std::string> workbookRels;
        if (!relationships(workbookPart, "", workbookRels, nullptr))
            return std::nullopt;
        auto xml = part(workbookPart);
        if (!xml)
            return std::nullopt;
        std::vector<std::string> names;
        XmlCursor x(*xml, workbookPart);
        for (auto t = x.next(); t != XmlCursor::Token::End; t = x.next()) {
            if (t != XmlCursor::Token::Start || x.local() != "sheet")
                continue;
            std::optional<std::string_view> rid;
            for (const auto& a : x.attrs())
                if (localName(a.name) == "id" && a.name.find(':') != std::string_view::npos)
                    rid = a.raw;
            if (!rid)
                return std::nullopt;
            auto it = workbookRels.find(std::string(*rid));
            if (it == workbookRels.end())
                return std::nullopt;
            names.push_back(it->second);
        }
        return names;
    } catch (const AutomationError&) {
        return std::nullopt;
    }
}

namespace {

void put16(std::string& out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out, directory;
    for (const auto& [name, data] : entries) {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
        const auto offset = static_cast<std::uint32_t>(out.size());
        const auto size = static_cast<std::uint32_t>(data.size());
        const auto nameLength = static_cast<unsigned>(name.size());
        put32(out, 0x04034b50);
        put16(out, 20);  // version needed
        put16(out, 0);   // flags
        put16(out, 0);   // stored
        put16(out, 0);   // time
        put16(out, 0x21);  // date: 1980-01-01
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, nameLength);
        put16(out, 0);
        out += name;
        out += data;

        put32(directory, 0x02014b50);
        put16(directory, 20);  // made by
        put16(directory, 20);  // needed
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, nameLength);
        put16(directory, 0);  // extra
        put16(directory, 0);  // comment
        put16(directory, 0);  // disk
        put16(directory, 0);  // internal attributes
        put32(directory, 0);  // external attributes
        put32(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(entries.size()));
    put16(out, static_cast<unsigned>(entries.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, directoryOffset);
    put16(out, 0);
    return out;
}

}  // namespace zbir::workbook
