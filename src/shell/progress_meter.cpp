#include "shell/progress_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zbir::shell {

namespace {

constexpr double kRateAfter = 0.5;  // seconds before a rate means anything

const char* recordsWord(long long n)
{
    return polishPlural(n, "rekord", "rekordy", "rekord\xF3w");
}

std::string secondsText(double s)
{
    if (s >= 60)
        return clockText(s);
    char buf[32];
    std::snprintf(buf, sizeof buf, s < 10 ? "%.1f s" : "%.0f s", s);
    std::string t = buf;
    std::replace(t.begin(), t.end(), '.', ',');
    return t;
}

}  // namespace

void ProgressMeter::update(const Progress& p, double now)
{
    if (!m_started) {
        m_started = true;
        m_start = now;
    } else if (p.records < m_last.records) {
        m_earlier += m_last.records;
    }
    m_last = p;
}

double ProgressMeter::rate(double now) const
{
    const double t = elapsed(now);
    return t < kRateAfter ? 0 : static_cast<double>(records()) / t;
}

double ProgressMeter::fraction() const
{
    if (m_last.files <= 0)
        return 0;
    return std::clamp(static_cast<double>(m_last.file) / m_last.files, 0.0, 1.0);
}

std::string ProgressMeter::text(double now, const char* separator) const
{
    std::string t;
    if (m_last.files > 0)
        t = std::string("plik ") + std::to_string(std::min(m_last.file + 1, m_last.files)) + "/" +
            std::to_string(m_last.files) + separator;
    t += groupedNumber(records()) + " " + recordsWord(records());
    if (const double r = rate(now); r > 0) {
        t += separator;
        t += groupedNumber(std::llround(r)) + " rek./s";
        t += separator;
        t += clockText(elapsed(now));
    }
    return t;
}

std::string ProgressMeter::summary(double now) const
{
    const double t0 = elapsed(now);
    std::string t = std::string("razem ") + groupedNumber(records()) + " " + recordsWord(records()) + " w " + secondsText(t0);
    // At the end even a short time gives a true rate.
    if (t0 > 0)
        t += std::string(" (") + groupedNumber(std::llround(static_cast<double>(records()) / t0)) + " rek./s)";
    return t;
}

std::string progressBar(double fraction, int width)
{
    width = std::max(width, 1);
    const int done = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * width + 1e-9);
    std::string bar(static_cast<std::size_t>(width) + 2, '-');
    bar.front() = '[';
    bar.back() = ']';
    std::fill_n(bar.begin() + 1, done, '#');
    return bar;
}

std::string groupedNumber(long long value)
{
    const std::string digits = std::to_string(value < 0 ? -(value + 1) + 1ULL : static_cast<unsigned long long>(value));
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += ' ';
        out += digits[i];
    }
    return value < 0 ? std::string("-") + out : out;
}

const char* polishPlural(long long n, const char* one, const char* few, const char* many)
{
    if (n == 1)
        return one;
    const long long tens = n % 100, units = n % 10;
    if (units >= 2 && units <= 4 && !(tens >= 12 && tens <= 14))
        return few;
    return many;
}

std::string clockText(double seconds)
{
    const long long s = std::max(0LL, static_cast<long long>(seconds));
    char buf[48];
    if (s >= 3600)
        std::snprintf(buf, sizeof buf, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld:%02lld", s / 60, s % 60);
    return buf;
}

}  // namespace zbir::shell
