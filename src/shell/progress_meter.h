#pragma once
// Counts, rate and texts of a running operation's progress for the command
// line: the bar on a terminal, plain lines elsewhere. All texts are program
// text (Windows-1250).

#include "shell/window_port.h"

#include <string>

namespace zbir::shell {

class ProgressMeter {
public:
    // Takes a progress report made at `now` (seconds on any steady clock).
    // The first report after construction or reset() starts the operation's
    // clock. A record count lower than the previous one starts a new count
    // (the JPK build counts its sales, then its purchases): the records of
    // the earlier counts stay in the total.
    void update(const Progress& p, double now);
    void reset() { *this = ProgressMeter(); }

    bool started() const { return m_started; }
    const Progress& last() const { return m_last; }
    long long records() const { return m_earlier + m_last.records; }
    double elapsed(double now) const { return m_started ? now - m_start : 0; }
    // Records per second since the first report; 0 before half a second.
    double rate(double now) const;

    // Part of the operation done, 0..1, from the file being read.
    double fraction() const;

    // "plik 2/5, 120 000 rekordów, 45 000 rek./s, 0:12" (rate and time once
    // known; `separator` joins the parts).
    std::string text(double now, const char* separator = ", ") const;
    // "razem 300 000 rekordów w 6,5 s (46 000 rek./s)"; the rate whenever
    // any time has passed.
    std::string summary(double now) const;

private:
    bool m_started = false;
    double m_start = 0;
    Progress m_last;
    long long m_earlier = 0;  // records of earlier counts
};

// "[#########-----------]" of `width` characters between the brackets.
std::string progressBar(double fraction, int width);

// 1234567 gives "1 234 567".
std::string groupedNumber(long long value);

// Polish noun forms by number: 1 rekord, 2..4 rekordy (but 12..14
// rekordów), otherwise rekordów.
const char* polishPlural(long long n, const char* one, const char* few, const char* many);

// Minutes and seconds, "0:07", "12:30"; hours when needed, "1:02:03".
std::string clockText(double seconds);

}  // namespace zbir::shell
