#pragma once
// The xmlsheet room: one JPK file to one sheet and one corrected copy (field
// map, scanner, copy writer, this sheet writer).
//
// The worksheet of one JPK file: structure tags in a staircase from column 53,
// the records of each record list one row each under a heading row, values of
// unmapped elements in column 75, and SUM formulas for the amount columns in
// the last row and in row 1.

#include "jpkforms/schema_check.h"
#include "xmlsheet/field_map.h"
#include "xmlsheet/scan_items.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zbir::operation { class Operation; }
namespace zbir::workbook { class Application; }

namespace zbir::xmlsheet {

class InputChecks;

// What one transport run shares between the driver and the sheet writer.
struct TransportContext {
    TransportContext(operation::Operation& a, workbook::Application& x);
    ~TransportContext();  // stops the input checks still running
    TransportContext(const TransportContext&) = delete;
    TransportContext& operator=(const TransportContext&) = delete;

    operation::Operation& app;
    workbook::Application& xl;
    FieldMap map;             // the group type's layout, declared once per run; filled marks
                              // collect over the group
    FieldMap v7map;           // the layout of the V7 forms' files (the driver declares it)
    bool v7Used = false;      // a file of a V7 form was laid out with v7map
    bool mapUsed = false;     // another file was laid out with map
    long long records = 0;    // record rows written in this run (progress)
    std::vector<std::string> faults;  // files that ended early: "NAME: message"
    std::vector<std::filesystem::path> copies;  // text copies placed in TXT by this run
    int schemaProblems = 0;   // problems the input check found, over the group
    int filesWithProblems = 0;
    std::unique_ptr<InputChecks> checks;  // the group's files against their schemas, from the first file on
};

// Lays one file's scanner items out on the sheet added for it. Every item is
// also handed to `copy` (the text copy) when one is given.
class SheetWriter : public ScanConsumer {
public:
    static constexpr int kStructureBase = 52;  // structure tags go to 52 + level
    static constexpr int kTextColumn = 77;     // file name, declaration, comments, attributes

    static constexpr int kNamespaceColumn = 76;  // (1, 76): the input's root namespace

    SheetWriter(TransportContext& ctx, int index, ScanConsumer* copy = nullptr);

    // The layout the file's values go by (the context's map unless set),
    // before start().
    void setLayout(FieldMap& layout) { m_map = &layout; }
    // The root namespace of the input as it has it (program text); start()
    // puts it into (1, 76), where a later build reads the file's form.
    void setRootNamespace(std::string ns) { m_rootNamespace = std::move(ns); }

    // Status line, new sheet after sheet index + 1 with its name and set-up,
    // the file name in (1, 77), the root namespace in (1, 76), column formats
    // by the layout.
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
    FieldMap* m_map;  // the layout, never null
    workbook::Application& m_xl;
    int m_index;
    ScanConsumer* m_copy;
    std::string m_fileName;
    std::string m_sheetName;
    std::string m_rootNamespace;
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

// The input check's problems as messages (program text), one a problem:
// "NAME, wiersz 12: the schema's words" ("NAME: ..." without a line).
std::vector<std::string> schemaMessages(const std::string& fileName, const jpkforms::CheckResult& check);

// Sheet names compared as the spreadsheet does: without regard to the case of
// ASCII and Polish letters.
bool sameSheetName(const std::string& a, const std::string& b);

// One file of the group's list: its sheet, laid out by the layout of its form
// (V7 forms by the context's v7map, every other file by its map), the check
// of the file against the schema of its namespace (each problem to the run
// log and the window port's notices; the transport goes on), one scan
// serving the sheet and the text copy in TXT, the copy's final name, the
// totals.
void transportFile(TransportContext& ctx, int index);

}  // namespace zbir::xmlsheet
