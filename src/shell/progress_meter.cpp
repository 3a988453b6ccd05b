#include "shell/progress_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zbir::shell {

namespace {

constexpr double kRateAfter = 1.0;  // seconds before a rate means anything

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

bool ProgressMeter::update(const Progress& p, double now)
{
    bool newFile = true;
    bool ended = false;
    long long base = 0;  // the total before this report's file or count began
    if (!m_started) {
        m_started = true;
        m_start = now;
    } else {
        const bool restart = p.records < m_last.records;
        newFile = restart || p.file != m_last.file;
        if (newFile) {
            endFile();
            ended = m_ended.has_value();
        }
        if (restart)
            m_earlier += m_last.records;
        base = restart ? m_earlier : records();
    }
    m_last = p;
    if (newFile) {
        // A file's own count is known only from a report made before any
        // of its records were counted.
        m_fileStart = base;
        m_fileCounted = records() == base;
    }
    return ended;
}

void ProgressMeter::endFile()
{
    if (m_fileCounted)
        m_ended = FileCount{m_last.file, m_last.files, fileRecords()};
    else
        m_ended.reset();
    m_fileCounted = false;
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

namespace {

std::string fileNumber(int file, int files)
{
    return std::string("plik ") + std::to_string(std::min(file + 1, files)) + "/" + std::to_string(files);
}

std::string recordsText(long long n)
{
    return groupedNumber(n) + " " + recordsWord(n);
}

}  // namespace

std::string ProgressMeter::fileText(const FileCount& f)
{
    return fileNumber(f.file, f.files) + ": " + recordsText(f.records);
}

std::string ProgressMeter::text(double now, const char* separator) const
{
    std::string t;
    if (m_last.files > 0 && m_fileCounted) {
        t = fileNumber(m_last.file, m_last.files) + ": " + recordsText(fileRecords());
        if (records() != fileRecords())
            t += separator + std::string("razem ") + groupedNumber(records());
    } else if (m_last.files > 0) {
        t = fileNumber(m_last.file, m_last.files) + separator + "razem " + recordsText(records());
    } else {
        t = recordsText(records());
    }
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
    std::string t = "razem " + recordsText(records()) + " w " + secondsText(t0);
    if (const double r = rate(now); r > 0)
        t += std::string(" (") + groupedNumber(std::llround(r)) + " rek./s)";
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
