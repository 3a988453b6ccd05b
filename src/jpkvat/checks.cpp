#include "jpkvat/checks.h"

#include "base/formatters.h"
#include "jpkvat/values.h"
#include "operation/operation.h"
#include "jpkvat/messages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace zbir::jpkvat {

namespace {

constexpr std::string_view kLogName = "ZBIR.LOG";

bool digits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int number(std::string_view text)
{
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool leapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysIn(int year, int month)
{
    static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

std::string quoted(std::string_view value)
{
    std::string q;
    q.reserve(value.size() + 2);
    q += '"';
    q += value;
    q += '"';
    return q;
}

}  // namespace

void Problems::report(operation::Operation& app) const
{
    std::vector<std::string> lines;
    lines.reserve(m_errors.size() + m_warnings.size());
    for (const std::string& e : m_errors)
        lines.push_back(msg::errorLine(e));
    for (const std::string& w : m_warnings)
        lines.push_back(msg::warningLine(w));
    if (lines.empty())
        return;
    app.logEvents(operation::LogDetail, lines);
    for (const std::string& line : lines)
        app.showDetail(line);
}

std::string Problems::summary() const
{
    const std::string where = msg::seeLog(std::string(kLogName));
    if (!m_errors.empty())
        return msg::notSavedErrors(static_cast<long long>(m_errors.size()), where);
    if (!m_warnings.empty())
        return msg::doneWithWarnings(static_cast<long long>(m_warnings.size()), where);
    return {};
}

std::string cellAddress(std::string_view sheet, int row, int column)
{
    return std::string(sheet) + "!" + base::columnLetters(column) + std::to_string(row);
}

DateRange monthPeriod(std::string_view year, std::string_view month)
{
    if (year.size() != 4 || !digits(year) || month.empty() || month.size() > 2 || !digits(month))
        return {};
    const int y = number(year);
    const int m = number(month);
    if (m < 1 || m > 12)
        return {};
    char from[16];
    char to[16];
    std::snprintf(from, sizeof from, "%04d-%02d-01", y, m);
    std::snprintf(to, sizeof to, "%04d-%02d-%02d", y, m, daysIn(y, m));
    return {from, to};
}

bool isValidDate(std::string_view t)
{
    if (t.size() != 10 || t[4] != '-' || t[7] != '-')
        return false;
    const std::string_view y = t.substr(0, 4), m = t.substr(5, 2), d = t.substr(8, 2);
    if (!digits(y) || !digits(m) || !digits(d))
        return false;
    const int month = number(m);
    const int day = number(d);
    return number(y) > 0 && month >= 1 && month <= 12 && day >= 1 && day <= daysIn(number(y), month);
}

std::string nipDigits(std::string_view text)
{
    if (text.size() >= 2 && (text[0] == 'P' || text[0] == 'p') && (text[1] == 'L' || text[1] == 'l'))
        text.remove_prefix(2);
    std::string out;
    for (char c : text) {
        if (c == ' ' || c == '-')
            continue;
        if (c < '0' || c > '9')
            return {};
        out += c;
    }
    return out.size() == 10 ? out : std::string();
}

bool nipCheckDigitOk(std::string_view d)
{
    static constexpr std::array<int, 9> kWeights{6, 5, 7, 2, 3, 4, 5, 6, 7};
    if (d.size() != 10 || !digits(d))
        return false;
    int sum = 0;
    for (std::size_t i = 0; i < kWeights.size(); ++i)
        sum += kWeights[i] * (d[i] - '0');
    return sum % 11 != 10 && sum % 11 == d[9] - '0';
}

CellKind kindOf(std::string_view name)
{
    if (name.starts_with("K_") || name == "SprzedazVAT_Marza" || name == "ZakupVAT_Marza")
        return CellKind::Amount;
    if (name == "DataWystawienia" || name == "DataSprzedazy" || name == "DataZakupu" ||
        name == "DataWplywu" || name == "TerminPlatnosci" || name == "DataZaplaty")
        return CellKind::Date;
    if (name == "NrKontrahenta" || name == "NrDostawcy")
        return CellKind::Nip;
    return CellKind::Text;
}

bool requiredElement(std::string_view name)
{
    static constexpr std::string_view kRequired[] = {
        "NrKontrahenta", "NazwaKontrahenta", "AdresKontrahenta", "DowodSprzedazy", "DataWystawienia",
        "NrDostawcy",    "NazwaDostawcy",    "AdresDostawcy",    "DowodZakupu",    "DataZakupu",
    };
    return std::find(std::begin(kRequired), std::end(kRequired), name) != std::end(kRequired);
}

bool periodDate(std::string_view name)
{
    return name == "DataWystawienia" || name == "DataSprzedazy" || name == "DataZakupu" || name == "DataWplywu";
}

void checkValue(CellKind kind, std::string_view name, std::string_view value, const CellPlace& where,
                const DateRange& period, Problems& problems)
{
    // Spelled only for a problem: most values have none.
    auto head = [&] { return cellAddress(where.sheet, where.row, where.column) + ": " + std::string(name) + " "; };
    switch (kind) {
    case CellKind::Amount: {
        double number = 0;
        if (!parseNumber(value, number))
            problems.error(head() + msg::notAmount(quoted(value)));
        break;
    }
    case CellKind::Date:
        if (!isValidDate(value))
            problems.error(head() + msg::notDate(quoted(value)));
        else if (period.known() && periodDate(name) && !period.contains(value))
            problems.warning(head() + msg::outsidePeriod(std::string(value), period.from, period.to));
        break;
    case CellKind::Nip: {
        const std::string nip = nipDigits(value);
        if (!nip.empty() && !nipCheckDigitOk(nip))
            problems.error(head() + msg::badNipCheckDigit(quoted(value)));
        break;
    }
    case CellKind::Text:
        break;
    }
}

}  // namespace zbir::jpkvat
