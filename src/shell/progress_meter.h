#pragma once
// Counts, rate and texts of a running operation's progress for the command
// line: the bar on a terminal, plain lines elsewhere. All texts are program
// text (Windows-1250).

#include "shell/window_port.h"

#include <optional>
#include <string>

namespace zbir::shell {

class ProgressMeter {
public:
    // Records of one file, once it has ended.
    struct FileCount {
        int file = 0;   // 0-based
        int files = 0;
        long long records = 0;
    };

    // Takes a progress report made at `now` (seconds on any steady clock).
    // The first report after construction or reset() starts the operation's
    // clock. A record count lower than the previous one starts a new count
    // (the JPK build counts its sales, then its purchases): the records of
    // the earlier counts stay in the total. A report of another file ends
    // the file before; returns true then.
    bool update(const Progress& p, double now);
    void reset() { *this = ProgressMeter(); }

    bool started() const { return m_started; }
    const Progress& last() const { return m_last; }
    long long records() const { return m_earlier + m_last.records; }
    // Records of the file being read; known when its first report came
    // before any of its records (as the transport reports a file's start).
    bool fileCounted() const { return m_fileCounted; }
    long long fileRecords() const { return records() - m_fileStart; }
    // The file that ended last, when its records were counted from its start.
    const std::optional<FileCount>& endedFile() const { return m_ended; }
    // Ends the file being read (the operation is over): endedFile() gives it.
    void endFile();

    double elapsed(double now) const { return m_started ? now - m_start : 0; }
    // Records per second since the first report; 0 until a second has passed
    // (before that the figure means nothing).
    double rate(double now) const;

    // Part of the operation done, 0..1, from the file being read.
    double fraction() const;

    // "plik 2/5: 1 200 rekordów, razem 120 000, 45 000 rek./s, 0:12" (the
    // total when it differs, rate and time once a second has passed); when
    // the file's own count is unknown, "plik 2/5, razem 120 000 rekordów".
    // `separator` joins the parts.
    std::string text(double now, const char* separator = ", ") const;
    // "plik 2/5: 1 200 rekordów" for a file that has ended.
    static std::string fileText(const FileCount& f);
    // "razem 300 000 rekordów w 6,5 s (46 000 rek./s)"; the rate only after
    // a second.
    std::string summary(double now) const;

private:
    bool m_started = false;
    double m_start = 0;
    Progress m_last;
    long long m_earlier = 0;    // records of earlier counts
    long long m_fileStart = 0;  // records() when the file being read began
    bool m_fileCounted = false;
    std::optional<FileCount> m_ended;
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
