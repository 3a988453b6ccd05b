#pragma once
// Checks of workbook cells before a combined file is written, and the list
// of problems they find. Texts are program text (Windows-1250).

#include <string>
#include <string_view>
#include <vector>

namespace zbir::operation { class Operation; }

namespace zbir::jpkvat {

// The problems of one build: errors keep the file from being written,
// warnings are only reported. Each names the sheet and cell (e.g. "A!S34").
class Problems {
public:
    void error(std::string text) { m_errors.push_back(std::move(text)); }
    void warning(std::string text) { m_warnings.push_back(std::move(text)); }
    void emptyRow() { ++m_emptyRows; }

    const std::vector<std::string>& errors() const { return m_errors; }
    const std::vector<std::string>& warnings() const { return m_warnings; }
    long long emptyRows() const { return m_emptyRows; }
    bool hasErrors() const { return !m_errors.empty(); }

    // Every problem to the run log and to the window's detail lines (stderr
    // of the command line).
    void report(operation::Operation& app) const;

    // The final status line: how many problems and where to read them;
    // empty when there are none.
    std::string summary() const;

private:
    std::vector<std::string> m_errors;
    std::vector<std::string> m_warnings;
    long long m_emptyRows = 0;
};

// "A!S34": the sheet and A1-style address of a cell.
std::string cellAddress(std::string_view sheet, int row, int column);

// A period as dates "yyyy-mm-dd"; empty when unknown.
struct DateRange {
    std::string from;
    std::string to;
    bool known() const { return !from.empty() && !to.empty(); }
    bool contains(std::string_view date) const { return date >= from && date <= to; }
};

// The period of a year and month ("2026", "3").
DateRange monthPeriod(std::string_view year, std::string_view month);

// Whether `text` is a date "yyyy-mm-dd" that exists.
bool isValidDate(std::string_view text);

// A value that is a NIP: 10 digits after removing blanks and "-" and a
// leading "PL"; empty for anything else ("brak", foreign ids).
std::string nipDigits(std::string_view text);

// Whether the ten digits' check digit is right.
bool nipCheckDigitOk(std::string_view digits);

// The kind of check a record element takes.
enum class CellKind { Text, Amount, Date, Nip };

// A cell of a sheet, spelled as an address (A!S34) only for a message.
struct CellPlace {
    std::string_view sheet;
    int row = 0;
    int column = 0;
};

// Checks one record value found at `where`. Dates outside `period` are warnings.
void checkValue(CellKind kind, std::string_view name, std::string_view value, const CellPlace& where,
                const DateRange& period, Problems& problems);

// The check of a record element of the VAT forms by its name.
CellKind kindOf(std::string_view name);

// Whether the record element must not be empty (LpSprzedazy and LpZakupu
// are renumbered and so never empty).
bool requiredElement(std::string_view name);

// The date of a record compared with the period: the sale's or receipt's
// date when there is one, else the document's.
bool periodDate(std::string_view name);

}  // namespace zbir::jpkvat
