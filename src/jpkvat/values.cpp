#include "jpkvat/values.h"

#include "encoding/codepage.h"
#include "spreadsheet/automation.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace zbir::jpkvat {

namespace {

constexpr std::size_t kHeadingLength = 30;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// "yyyy-mm" of the month after `p`, or empty when `p` is no such text.
std::string followingMonth(std::string_view p)
{
    if (p.size() != 7 || p[4] != '-')
        return {};
    int year = 0, month = 0;
    auto y = std::from_chars(p.data(), p.data() + 4, year);
    auto m = std::from_chars(p.data() + 5, p.data() + 7, month);
    if (y.ptr != p.data() + 4 || m.ptr != p.data() + 7 || month < 1 || month > 12)
        return {};
    if (++month > 12) {
        month = 1;
        ++year;
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d", year % 10000, month);
    return buf;
}

}  // namespace

std::string cellText(const workbook::Application& xl, int row, int column)
{
    return xl.cellValue(row, column);
}

std::string rowValue(std::string text, bool amountColumn)
{
    if (amountColumn) {
        if (const auto comma = text.find(','); comma != std::string::npos)
            text[comma] = '.';
    }
    return text;
}

bool parseNumber(std::string_view text, double& value)
{
    // The grammar is checked here; from_chars alone would also take "inf",
    // "nan" and hexadecimal forms.
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    const std::size_t mantissa = i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        std::size_t expDigits = 0;
        while (i < text.size() && isDigit(text[i]))
            ++i, ++expDigits;
        if (expDigits == 0)
            return false;
    }
    if (i != text.size())
        return false;
    double v = 0;
    const char* first = text.data() + mantissa;
    const char* last = text.data() + text.size();
    auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return false;
    value = text[0] == '-' ? -v : v;
    return true;
}

std::string headingName(std::string_view cell)
{
    std::string_view name = cell.substr(0, kHeadingLength);
    if (!name.empty() && name.front() == '<') {
        name.remove_prefix(1);
        if (!name.empty())
            name.remove_suffix(1);
    }
    return std::string(name);
}

bool isElementName(std::string_view name)
{
    if (name.empty() || !(isLetter(name[0]) || name[0] == '_'))
        return false;
    for (char c : name.substr(1))
        if (!(isLetter(c) || isDigit(c) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

std::string xmlText(std::string_view value)
{
    std::uint8_t modified = 0;
    return encoding::toUtf8ForXml(value, modified);
}

void appendElementLine(std::string& out, int level, std::string_view name,
                       std::string_view attribute, std::string_view value)
{
    out.append(static_cast<std::size_t>(2 * level), ' ');
    out += '<';
    out += name;
    if (!attribute.empty()) {
        out += ' ';
        out += attribute;
    }
    if (!value.empty()) {
        out += '>';
        std::uint8_t modified = 0;
        encoding::appendUtf8ForXml(out, value, modified);
        out += "</";
        out += name;
    }
    out += ">\r\n";
}

std::string elementLine(int level, std::string_view name, std::string_view attribute,
                        std::string_view value)
{
    std::string out;
    appendElementLine(out, level, name, attribute, value);
    return out;
}

std::string generationTime(const std::tm& local)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d-%02d:%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    std::string s = buf;
    s[10] = 'T';
    return s;
}

std::tm localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return local;
}

std::string submissionPurpose(std::string_view dataDo, std::string_view generationTime)
{
    const std::string n = followingMonth(dataDo.substr(0, 7));
    if (n.empty() || generationTime.size() < 10 || generationTime.substr(0, 7) != n)
        return "2";
    int day = 0;
    const std::string_view dd = generationTime.substr(8, 2);
    auto r = std::from_chars(dd.data(), dd.data() + dd.size(), day);
    if (r.ptr != dd.data() + dd.size())
        return "2";
    return day > 25 ? "2" : "1";
}

}  // namespace zbir::jpkvat
