#pragma once
// The JPK_VAT(2) combined file as the program has always written it: header
// and Podmiot1 from Podmiot1.JPK, the records from the file sheets' JPK_VAT
// layout, written while they are read and checked cell by cell.

#include "jpkvat/checks.h"

#include <array>
#include <ctime>
#include <string>

namespace zbir::operation { class Operation; }
namespace zbir::workbook { class Application; }

namespace zbir::jpkvat {

struct FileSheet;
struct SubjectFile;
class OutputFile;

// Columns 1..53 of the file sheets: true for an amount column (wide on
// -SUMA-), whose comma becomes a point.
using AmountColumns = std::array<bool, 54>;

// The amount columns by the widths of the selected sheet (-SUMA-).
AmountColumns amountColumns(const workbook::Application& xl);

// DataOd and DataDo of the selected sheet, from its first 49 rows; row is
// DataOd's row, 0 when there is none.
struct Vat2Period {
    std::string dataOd;
    std::string dataDo;
    int row = 0;
};
Vat2Period findVat2Period(const workbook::Application& xl);

// Podmiot1.JPK, from which the file takes the subject: a refusal when it is
// missing or lacks a key the file needs; its own problems, placeholders'
// values and a NIP other than the sheet's go to `problems`.
std::string vat2SubjectRefusal(const SubjectFile& subject, const FileSheet* sheet, Problems& problems);

// The declaration, root, Naglowek (for group type 'V') and Podmiot1.
void writeVat2Header(std::string& out, char type, const std::tm& now, const Vat2Period& period,
                     const SubjectFile& subject);

// The sales and purchase sections of every file sheet; returns the records
// written. Problems of the cells go to `problems`.
long long writeVat2Sections(operation::Operation& app, workbook::Application& xl, OutputFile& out,
                            const AmountColumns& amount, const DateRange& period, Problems& problems);

}  // namespace zbir::jpkvat
