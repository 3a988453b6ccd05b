#pragma once
// The worksheet of one JPK file: structure tags in a staircase from column 53,
// the records of each record list one row each under a heading row, values of
// unmapped elements in column 75, and SUM formulas for the amount columns in
// the last row and in row 1.

#include "xmlsheet/field_map.h"
#include "xmlsheet/scan_items.h"

#include <string>
#include <vector>

namespace zbir::operation { class Operation; }
namespace zbir::workbook { class Application; }

namespace zbir::xmlsheet {

// What one transport run shares between the driver and the sheet writer.
struct TransportContext {
    TransportContext(operation::Operation& a, workbook::Application& x) : app(a), xl(x) {}

    operation::Operation& app;
    workbook::Application& xl;
    FieldMap map;             // declared once per run; filled marks collect over the group
    long long records = 0;    // record rows written in this run (progress)
    std::vector<std::string> faults;  // files that ended early: "NAME: message"
};

// Lays one file's scanner items out on the sheet added for it. Every item is
// also handed to `copy` (the text copy) when one is given.
class SheetWriter : public ScanConsumer {
public:
    static constexpr int kStructureBase = 52;  // structure tags go to 52 + level
    static constexpr int kTextColumn = 77;     // file name, declaration, comments, attributes

    SheetWriter(TransportContext& ctx, int index, ScanConsumer* copy = nullptr);

    // Status line, new sheet after sheet index + 1 with its name and set-up,
    // the file name in (1, 77), column formats by the map.
    void start();
    // Totals row (SUM formulas for every marked amount column, also in row 1)
    // and "LuKa-Werks" in column 1.
    void finish();

    void declaration(const Declaration& item) override;
    void comment(const Comment& item) override;
    void opening(const ContainerOpening& item) override;
    void closing(const ContainerClosing& item) override;
    void element(const Element& item) override;

    // Writes into the current row. Only `formula` values become formulas;
    // a text that happens to begin with "=" stays text.
    void writeCell(int column, const std::string& value, bool formula = false);
    void writeInNewRow(int column, const std::string& value);

    const std::string& fileName() const { return m_fileName; }
    const std::string& sheetName() const { return m_sheetName; }
    int currentRow() const { return m_row; }

private:
    void nameSheet();
    void countRecord();

    TransportContext& m_ctx;
    workbook::Application& m_xl;
    int m_index;
    ScanConsumer* m_copy;
    std::string m_fileName;
    std::string m_sheetName;
    int m_row = 0;
    int m_recordTagRow = 0;
    bool m_headingsWanted = false;
};

// The sheet name the file name asks for: the name less everything from its
// first ".", from its 17th character on, at most 99 characters (may be empty).
std::string sheetNameFor(const std::string& fileName);

// Whether the spreadsheet can hold `name` as a sheet name: 1 to 31
// characters, none of : \ / ? * [ ], no apostrophe at either end, not "History".
bool isValidSheetName(const std::string& name);

// Valid sheet names derived from the file name, for when the asked-for name is
// refused: attempt 0 is the asked-for name made valid (or the whole name less
// its extension when that is empty), later attempts add " (2)", " (3)", ...
std::string fallbackSheetName(const std::string& fileName, int attempt);

// Sheet names compared as the spreadsheet does: without regard to the case of
// ASCII and Polish letters.
bool sameSheetName(const std::string& a, const std::string& b);

// One file of the group's list: its sheet, one scan serving the sheet and the
// text copy in TXT, the copy's final name, the totals.
void transportFile(TransportContext& ctx, int index);

}  // namespace zbir::xmlsheet
