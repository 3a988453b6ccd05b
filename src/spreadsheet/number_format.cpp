#include "spreadsheet/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace zbir::workbook {

namespace {

constexpr char kDecimal = ',';
constexpr char kGroup = '\xA0';

bool isPlaceholder(char c)
{
    return c == '0' || c == '#' || c == '?';
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lx = (x >= 'A' && x <= 'Z') ? x + 32 : x;
        auto ly = (y >= 'A' && y <= 'Z') ? y + 32 : y;
        return lx == ly;
    });
}

// Splits a code at ';' outside quotes, brackets and escapes.
std::vector<std::string> splitSections(std::string_view code)
{
    std::vector<std::string> out(1);
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '"') {
            size_t end = code.find('"', i + 1);
            end = end == std::string_view::npos ? code.size() - 1 : end;
            out.back().append(code.substr(i, end - i + 1));
            i = end;
        } else if (c == '[') {
            size_t end = code.find(']', i + 1);
            end = end == std::string_view::npos ? code.size() - 1 : end;
            out.back().append(code.substr(i, end - i + 1));
            i = end;
        } else if (c == '\\' && i + 1 < code.size()) {
            out.back().append(code.substr(i, 2));
            ++i;
        } else if (c == ';') {
            out.emplace_back();
        } else {
            out.back().push_back(c);
        }
    }
    return out;
}

enum class DatePart { Literal, Year, Month, MonthName, Day, DayName, Hour, Minute, Second, AmPm, ElapsedHours, Fraction };

struct DateToken {
    DatePart part;
    int count = 0;
    std::string text;
};

struct Section {
    std::string prefix, suffix;
    bool isDate = false;
    bool hasText = false;  // '@'
    bool hasNumber = false;
    int intMin = 0;
    bool group = false;
    int fracMin = 0, fracMax = 0;
    int percent = 0;
    int scale = 0;
    bool exponent = false;
    bool expPlus = false;
    int expMin = 0;
    std::vector<DateToken> date;
};

bool isDateLetter(char c)
{
    switch (c) {
    case 'y': case 'Y': case 'm': case 'M': case 'd': case 'D':
    case 'h': case 'H': case 's': case 'S':
        return true;
    default:
        return false;
    }
}

// Reads a literal element at code[i] (quote, escape, fill, padding, bracket);
// returns the index after it or i when there is none there.
size_t literalAt(std::string_view code, size_t i, std::string& out, bool* elapsedHours = nullptr)
{
    char c = code[i];
    if (c == '"') {
        size_t end = code.find('"', i + 1);
        if (end == std::string_view::npos)
            end = code.size();
        out.append(code.substr(i + 1, end - i - 1));
        return std::min(end + 1, code.size());
    }
    if (c == '\\' && i + 1 < code.size()) {
        out.push_back(code[i + 1]);
        return i + 2;
    }
    if (c == '_' && i + 1 < code.size()) {
        out.push_back(' ');
        return i + 2;
    }
    if (c == '*' && i + 1 < code.size())
        return i + 2;
    if (c == '[') {
        size_t end = code.find(']', i + 1);
        if (end == std::string_view::npos)
            end = code.size();
        std::string_view inner = code.substr(i + 1, end - i - 1);
        if (!inner.empty() && inner[0] == '$')
            out.append(inner.substr(1, inner.find('-') == std::string_view::npos ? std::string_view::npos : inner.find('-') - 1));
        else if (elapsedHours && !inner.empty() && (inner[0] == 'h' || inner[0] == 'H'))
            *elapsedHours = true;
        return std::min(end + 1, code.size());
    }
    return i;
}

bool sectionIsDate(std::string_view code)
{
    std::string scratch;
    for (size_t i = 0; i < code.size();) {
        size_t next = literalAt(code, i, scratch);
        if (next != i) {
            if (code[i] == '[' && next > i + 1 && (code[i + 1] == 'h' || code[i + 1] == 'H' || code[i + 1] == 'm' ||
                                                   code[i + 1] == 's'))
                return true;
            i = next;
            continue;
        }
        if (isDateLetter(code[i]))
            return true;
        if (code[i] == 'E' || code[i] == 'e')
            ++i;  // exponent: skip its sign
        ++i;
    }
    return false;
}

void parseDate(std::string_view code, Section& s)
{
    s.isDate = true;
    auto addLiteral = [&](std::string text) {
        if (!s.date.empty() && s.date.back().part == DatePart::Literal)
            s.date.back().text += text;
        else
            s.date.push_back({DatePart::Literal, 0, std::move(text)});
    };
    for (size_t i = 0; i < code.size();) {
        std::string lit;
        bool elapsed = false;
        size_t next = literalAt(code, i, lit, &elapsed);
        if (next != i) {
            if (elapsed)
                s.date.push_back({DatePart::ElapsedHours, 1, {}});
            else if (!lit.empty())
                addLiteral(lit);
            i = next;
            continue;
        }
        char c = code[i];
        char lc = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
        if (equalsNoCase(code.substr(i, 5), "am/pm")) {
            s.date.push_back({DatePart::AmPm, 2, {}});
            i += 5;
            continue;
        }
        if (equalsNoCase(code.substr(i, 3), "a/p")) {
            s.date.push_back({DatePart::AmPm, 1, {}});
            i += 3;
            continue;
        }
        if (isDateLetter(c)) {
            size_t n = 1;
            while (i + n < code.size() && ((code[i + n] | 0x20) == lc))
                ++n;
            DatePart part = lc == 'y' ? DatePart::Year
                            : lc == 'm' ? DatePart::Month
                            : lc == 'd' ? DatePart::Day
                            : lc == 'h' ? DatePart::Hour
                                        : DatePart::Second;
            s.date.push_back({part, static_cast<int>(n), {}});
            i += n;
            continue;
        }
        if (c == '.' && i + 1 < code.size() && code[i + 1] == '0' && !s.date.empty() &&
            s.date.back().part == DatePart::Second) {
            size_t n = 0;
            while (i + 1 + n < code.size() && code[i + 1 + n] == '0')
                ++n;
            s.date.push_back({DatePart::Fraction, static_cast<int>(n), {}});
            i += 1 + n;
            continue;
        }
        addLiteral(std::string(1, c));
        ++i;
    }
    // "m" next to hours or seconds means minutes; longer runs are month names.
    for (size_t k = 0; k < s.date.size(); ++k) {
        auto& t = s.date[k];
        if (t.part != DatePart::Month)
            continue;
        if (t.count >= 3) {
            t.part = DatePart::MonthName;
            continue;
        }
        auto neighbour = [&](int step) -> DatePart {
            for (auto j = static_cast<long>(k) + step; j >= 0 && j < static_cast<long>(s.date.size()); j += step)
                if (s.date[static_cast<size_t>(j)].part != DatePart::Literal)
                    return s.date[static_cast<size_t>(j)].part;
            return DatePart::Literal;
        };
        DatePart before = neighbour(-1), after = neighbour(1);
        if (before == DatePart::Hour || before == DatePart::ElapsedHours || after == DatePart::Second)
            t.part = DatePart::Minute;
    }
    for (auto& t : s.date)
        if (t.part == DatePart::Day && t.count >= 3)
            t.part = DatePart::DayName;
}

Section parseSection(std::string_view code)
{
    Section s;
    if (sectionIsDate(code)) {
        parseDate(code, s);
        return s;
    }
    bool afterDecimal = false, inExponent = false;
    int pendingCommas = 0;
    auto literal = [&](std::string_view text) { (s.hasNumber ? s.suffix : s.prefix).append(text); };
    for (size_t i = 0; i < code.size();) {
        std::string lit;
        size_t next = literalAt(code, i, lit);
        if (next != i) {
            literal(lit);
            i = next;
            continue;
        }
        char c = code[i];
        if (isPlaceholder(c)) {
            if (inExponent) {
                if (c == '0')
                    ++s.expMin;
            } else if (afterDecimal) {
                ++s.fracMax;
                if (c != '#')
                    ++s.fracMin;
            } else {
                if (pendingCommas > 0)
                    s.group = true;
                pendingCommas = 0;
                if (c != '#')
                    ++s.intMin;
            }
            s.hasNumber = true;
        } else if (c == '.' && !afterDecimal && !inExponent) {
            afterDecimal = true;
            s.hasNumber = true;
            s.scale += pendingCommas;
            pendingCommas = 0;
        } else if (c == ',' && s.hasNumber && !afterDecimal) {
            ++pendingCommas;
        } else if ((c == 'E' || c == 'e') && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
            s.exponent = true;
            s.expPlus = code[i + 1] == '+';
            inExponent = true;
            ++i;
        } else if (c == '%') {
            ++s.percent;
            literal("%");
        } else if (c == '@') {
            s.hasText = true;
        } else {
            literal(std::string_view(&c, 1));
        }
        ++i;
    }
    s.scale += pendingCommas;
    return s;
}

void appendGrouped(std::string& out, std::string_view digits, bool group)
{
    if (!group) {
        out.append(digits);
        return;
    }
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.push_back(kGroup);
        out.push_back(digits[i]);
    }
}

std::string formatNumber(const Section& s, double v, bool minus)
{
    std::string out;
    if (minus)
        out.push_back('-');
    out += s.prefix;
    if (!s.hasNumber) {
        out += s.suffix;
        return out;
    }
    for (int k = 0; k < s.percent; ++k)
        v *= 100;
    for (int k = 0; k < s.scale; ++k)
        v /= 1000;
    int exp10 = 0;
    if (s.exponent && v != 0) {
        exp10 = static_cast<int>(std::floor(std::log10(v)));
        int intPlaces = std::max(1, s.intMin);
        exp10 -= intPlaces - 1;
        v /= std::pow(10.0, exp10);
    }
    // Digits of v rounded to fracMax decimals.
    std::string intDigits, fracDigits;
    static constexpr std::array<double, 10> kPow10 = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
    int frac = std::min(s.fracMax, 30);
    if (frac < 10 && v * kPow10[static_cast<size_t>(frac)] < 9e15) {
        auto n = static_cast<unsigned long long>(std::llround(v * kPow10[static_cast<size_t>(frac)]));
        auto p = static_cast<unsigned long long>(kPow10[static_cast<size_t>(frac)]);
        intDigits = std::to_string(n / p);
        if (frac > 0) {
            fracDigits = std::to_string(n % p);
            fracDigits.insert(0, static_cast<size_t>(frac) - fracDigits.size(), '0');
        }
    } else {
        char buf[400];
        std::snprintf(buf, sizeof buf, "%.*f", frac, v);
        std::string_view t(buf);
        auto dot = t.find('.');
        intDigits = std::string(t.substr(0, dot));
        if (dot != std::string_view::npos)
            fracDigits = std::string(t.substr(dot + 1));
    }
    if (intDigits == "0" && s.intMin == 0)
        intDigits.clear();
    if (static_cast<int>(intDigits.size()) < s.intMin)
        intDigits.insert(0, static_cast<size_t>(s.intMin) - intDigits.size(), '0');
    while (static_cast<int>(fracDigits.size()) > s.fracMin && !fracDigits.empty() && fracDigits.back() == '0')
        fracDigits.pop_back();
    appendGrouped(out, intDigits, s.group);
    if (s.fracMax > 0 && (!fracDigits.empty() || s.fracMin == 0))
        out.push_back(kDecimal);
    out += fracDigits;
    if (s.exponent) {
        out.push_back('E');
        if (exp10 < 0)
            out.push_back('-');
        else if (s.expPlus)
            out.push_back('+');
        std::string e = std::to_string(std::abs(exp10));
        if (static_cast<int>(e.size()) < s.expMin)
            e.insert(0, static_cast<size_t>(s.expMin) - e.size(), '0');
        out += e;
    }
    out += s.suffix;
    return out;
}

const char* const kMonthShort[] = {"sty", "lut", "mar", "kwi", "maj", "cze",
                                   "lip", "sie", "wrz", "pa\x9F", "lis", "gru"};
const char* const kMonthLong[] = {"stycze\xF1", "luty", "marzec", "kwiecie\xF1", "maj", "czerwiec", "lipiec",
                                  "sierpie\xF1", "wrzesie\xF1", ("pa\x9F" "dziernik"), "listopad", "grudzie\xF1"};
const char* const kDayShort[] = {"nie", "pon", "wto", "\x9Cro", "czw", "pi\xB9", "sob"};
const char* const kDayLong[] = {"niedziela", ("poniedzia\xB3" "ek"), "wtorek", "\x9Croda", "czwartek", "pi\xB9tek", "sobota"};

struct DateTime {
    int year, month, day, weekday, hour, minute, second;
    double fraction;
    double serial;
};

// Serial day numbers count from 1900-01-01 = 1, with the file format's
// fictitious 1900-02-29 as 60.
DateTime fromSerial(double serial)
{
    DateTime dt{};
    dt.serial = serial;
    auto days = static_cast<long long>(std::floor(serial));
    double secs = (serial - static_cast<double>(days)) * 86400.0;
    auto whole = static_cast<long long>(std::floor(secs + 1e-6));
    dt.fraction = std::max(0.0, secs - static_cast<double>(whole));
    if (whole >= 86400) {
        whole -= 86400;
        ++days;
    }
    dt.hour = static_cast<int>(whole / 3600);
    dt.minute = static_cast<int>(whole / 60 % 60);
    dt.second = static_cast<int>(whole % 60);
    dt.weekday = static_cast<int>(((days + 6) % 7 + 7) % 7);
    if (days == 60) {
        dt.year = 1900;
        dt.month = 2;
        dt.day = 29;
        return dt;
    }
    long long z = days + (days < 60 ? 1 : 0) - 25569 + 719468;  // civil date from days since 1970-01-01
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long y = yoe + era * 400;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    dt.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    dt.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    dt.year = static_cast<int>(y + (dt.month <= 2 ? 1 : 0));
    return dt;
}

std::string padded(long long n, int width)
{
    std::string s = std::to_string(n);
    if (static_cast<int>(s.size()) < width)
        s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

std::string formatDate(const Section& s, double serial)
{
    if (serial < 0 || serial > 2958465.99999)
        return std::string(11, '#');
    DateTime dt = fromSerial(serial);
    bool ampm = std::any_of(s.date.begin(), s.date.end(), [](const DateToken& t) { return t.part == DatePart::AmPm; });
    std::string out;
    for (const auto& t : s.date) {
        switch (t.part) {
        case DatePart::Literal: out += t.text; break;
        case DatePart::Year: out += t.count <= 2 ? padded(dt.year % 100, 2) : padded(dt.year, 4); break;
        case DatePart::Month: out += padded(dt.month, t.count); break;
        case DatePart::MonthName:
            out += t.count == 3 ? kMonthShort[dt.month - 1]
                   : t.count == 5 ? std::string(1, kMonthShort[dt.month - 1][0])
                                  : kMonthLong[dt.month - 1];
            break;
        case DatePart::Day: out += padded(dt.day, t.count); break;
        case DatePart::DayName: out += t.count == 3 ? kDayShort[dt.weekday] : kDayLong[dt.weekday]; break;
        case DatePart::Hour: {
            int h = ampm ? (dt.hour % 12 == 0 ? 12 : dt.hour % 12) : dt.hour;
            out += padded(h, std::min(t.count, 2));
            break;
        }
        case DatePart::ElapsedHours:
            out += std::to_string(static_cast<long long>(std::floor(serial)) * 24 + dt.hour);
            break;
        case DatePart::Minute: out += padded(dt.minute, std::min(t.count, 2)); break;
        case DatePart::Second: out += padded(dt.second, std::min(t.count, 2)); break;
        case DatePart::Fraction: {
            double f = std::floor(dt.fraction * std::pow(10.0, t.count));
            out += kDecimal + padded(static_cast<long long>(f), t.count);
            break;
        }
        case DatePart::AmPm:
            out += t.count == 2 ? (dt.hour < 12 ? "AM" : "PM") : (dt.hour < 12 ? "A" : "P");
            break;
        }
    }
    return out;
}

}  // namespace

struct NumberFormat::Compiled {
    std::vector<Section> sections;
    std::vector<bool> general;  // a section spelled "General"
};

NumberFormat::NumberFormat(std::string canonicalCode) : m_code(std::move(canonicalCode)), m_kind(Kind::General)
{
    if (m_code.empty() || equalsNoCase(m_code, "general"))
        return;
    auto compiled = std::make_shared<Compiled>();
    for (const auto& code : splitSections(m_code)) {
        compiled->sections.push_back(parseSection(code));
        compiled->general.push_back(equalsNoCase(code, "general"));
    }
    const Section& first = compiled->sections.front();
    if (first.isDate)
        m_kind = Kind::Date;
    else if (first.hasText && !first.hasNumber && compiled->sections.size() == 1)
        m_kind = Kind::Text;
    else
        m_kind = Kind::Number;
    m_compiled = std::move(compiled);
}

std::string NumberFormat::display(double value) const
{
    if (m_kind == Kind::General || m_kind == Kind::Text)
        return generalNumberText(value);
    const auto& sections = m_compiled->sections;
    size_t index = 0;
    bool minus = value < 0;
    if (value < 0 && sections.size() >= 2) {
        index = 1;
        minus = false;
    } else if (value == 0 && sections.size() >= 3) {
        index = 2;
    }
    if (m_compiled->general[index]) {
        std::string text = minus ? std::string("-") : std::string();
        text += generalNumberText(std::fabs(value));
        return text;
    }
    const Section& s = sections[index];
    if (s.isDate)
        return formatDate(s, value);
    return formatNumber(s, std::fabs(value), minus);
}

std::string localToCanonical(std::string_view local)
{
    if (equalsNoCase(local, "standardowy"))
        return "General";
    std::string out;
    out.reserve(local.size());
    auto placeholderAt = [&](size_t i) { return i < local.size() && isPlaceholder(local[i]); };
    for (size_t i = 0; i < local.size(); ++i) {
        char c = local[i];
        if (c == '"') {
            size_t end = local.find('"', i + 1);
            end = end == std::string_view::npos ? local.size() - 1 : end;
            out.append(local.substr(i, end - i + 1));
            i = end;
        } else if (c == '[') {
            size_t end = local.find(']', i + 1);
            end = end == std::string_view::npos ? local.size() - 1 : end;
            out.append(local.substr(i, end - i + 1));
            i = end;
        } else if ((c == '\\' || c == '_' || c == '*') && i + 1 < local.size()) {
            out.append(local.substr(i, 2));
            ++i;
        } else if (c == ',') {
            out.push_back('.');
        } else if ((c == ' ' || c == kGroup) && i > 0 && isPlaceholder(local[i - 1]) && placeholderAt(i + 1)) {
            out.push_back(',');
        } else {
            out.push_back(c);
        }
    }
    return out;
}

namespace {

struct Builtin {
    int id;
    const char* code;
    bool portable;
};

const Builtin kBuiltins[] = {
    {0, "General", true},
    {1, "0", true},
    {2, "0.00", true},
    {3, "#,##0", true},
    {4, "#,##0.00", true},
    {9, "0%", true},
    {10, "0.00%", true},
    {11, "0.00E+00", true},
    {12, "# ?/?", true},
    {13, "# ?" "?/?" "?", true},
    {14, "yyyy-mm-dd", false},
    {15, "d-mmm-yy", false},
    {16, "d-mmm", false},
    {17, "mmm-yy", false},
    {18, "h:mm AM/PM", false},
    {19, "h:mm:ss AM/PM", false},
    {20, "h:mm", false},
    {21, "h:mm:ss", false},
    {22, "yyyy-mm-dd h:mm", false},
    {37, "#,##0 ;(#,##0)", false},
    {38, "#,##0 ;[Red](#,##0)", false},
    {39, "#,##0.00;(#,##0.00)", false},
    {40, "#,##0.00;[Red](#,##0.00)", false},
    {45, "mm:ss", false},
    {46, "[h]:mm:ss", false},
    {47, "mmss.0", false},
    {48, "##0.0E+0", false},
    {49, "@", true},
};

}  // namespace

std::string builtinFormatCode(int id)
{
    for (const auto& b : kBuiltins)
        if (b.id == id)
            return b.code;
    return {};
}

int portableBuiltinFormatId(std::string_view canonicalCode)
{
    for (const auto& b : kBuiltins)
        if (b.portable && equalsNoCase(canonicalCode, b.code))
            return b.id;
    return -1;
}

bool parseNumber(std::string_view s, double& value)
{
    if (s.empty() || s.size() > 400)
        return false;
    size_t i = 0;
    bool negative = false;
    if (s[0] == '+' || s[0] == '-') {
        negative = s[0] == '-';
        ++i;
    }
    std::string buf;
    buf.reserve(s.size());
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        buf.push_back(s[i++]);
        ++digits;
    }
    if (i < s.size() && (s[i] == '.' || s[i] == ',')) {
        buf.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            buf.push_back(s[i++]);
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        buf.push_back('e');
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            buf.push_back(s[i++]);
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            buf.push_back(s[i++]);
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
    }
    if (i != s.size())
        return false;
    double v = 0;
    auto [ptr, ec] = std::from_chars(buf.data(), buf.data() + buf.size(), v);
    if (ec != std::errc() || ptr != buf.data() + buf.size() || !std::isfinite(v))
        return false;
    value = negative ? -v : v;
    return true;
}

std::string shortestNumberText(double value)
{
    if (value == 0)
        return "0";
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, r.ptr);
}

std::string generalNumberText(double value)
{
    if (value == 0)
        return "0";
    double a = std::fabs(value);
    char buf[64];
    if (a >= 1e11 || a < 1e-9) {
        std::snprintf(buf, sizeof buf, "%.5E", value);
        std::string s(buf);
        auto e = s.find('E');
        std::string mantissa = s.substr(0, e);
        while (!mantissa.empty() && mantissa.back() == '0')
            mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.')
            mantissa.pop_back();
        s = mantissa + s.substr(e);
        std::replace(s.begin(), s.end(), '.', kDecimal);
        return s;
    }
    int intDigits = a >= 1 ? static_cast<int>(std::floor(std::log10(a))) + 1 : 1;
    int decimals = std::max(0, 10 - intDigits);
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s(buf);
    if (s.find('.') != std::string::npos) {
        while (s.back() == '0')
            s.pop_back();
        if (s.back() == '.')
            s.pop_back();
    }
    if (s == "-0")
        s = "0";
    std::replace(s.begin(), s.end(), '.', kDecimal);
    return s;
}

}  // namespace zbir::workbook
