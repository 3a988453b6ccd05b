#pragma once
// A file sheet of the transport workbook read back for the combined file:
// its form, header, subject, declaration and records, with the cell of each
// value for messages. Texts are program text (Windows-1250).

#include "jpkforms/forms.h"
#include "jpkvat/checks.h"

#include <string>
#include <vector>

namespace zbir::workbook { class Application; }

namespace zbir::jpkvat {

// File sheet layout of the transport.
namespace layout {
constexpr int kCountColumn = 1;       // record number; "LuKa-Werks" after the last row
constexpr int kStructureBase = 52;    // a tag of level n stands in column 52 + n
constexpr int kLastTagColumn = 74;
constexpr int kUnmappedColumn = 75;   // values of elements without a column
constexpr int kNamespaceRow = 1;      // the input's root namespace: row 1, column 76
constexpr int kNamespaceColumn = 76;
constexpr int kAttributeColumn = 77;  // attribute text of a tag's row
constexpr std::string_view kEndMark = "LuKa-Werks";
}  // namespace layout

// A tag row outside the record lists.
struct Node {
    enum Kind { Open, Close, Leaf };
    Kind kind = Leaf;
    int level = 0;
    int row = 0;
    std::string name;
    std::string value;
    std::string attributes;
};

struct RecordValue {
    const jpkforms::RecordElement* element;
    std::string value;
    int row = 0;
    int column = 0;
};

struct Record {
    int row = 0;
    std::vector<RecordValue> values;  // as the sheet holds them

    const RecordValue* find(std::string_view name) const;
};

struct FileSheet {
    std::string name;
    const jpkforms::Form* form = nullptr;
    std::vector<Node> header;       // the leaves of the top Naglowek
    std::vector<Node> subject;      // Podmiot1 with its subtree
    std::vector<Node> declaration;  // Deklaracja with its subtree; empty when none
    std::vector<Record> sales;
    std::vector<Record> purchases;

    const Node* headerLeaf(std::string_view name) const;
    // The taxpayer's NIP and its row, from Podmiot1.
    const Node* subjectNip() const;
    // The period the header gives.
    DateRange period() const;
};

// The last row the selected sheet uses (at most the sheet's rows).
int lastUsedRow(const workbook::Application& xl);

// The form of the selected file sheet: its namespace cell, or JPK_VAT(2) for
// a sheet without one (workbooks made before); nullptr for a namespace that
// is no known form.
const jpkforms::Form* sheetForm(const workbook::Application& xl, std::string* ns = nullptr);

// Reads the selected sheet up to `lastRow` as a sheet of `form`. Values that
// have no element of the form, and wholly empty record rows, go to
// `problems`.
FileSheet readFileSheet(const workbook::Application& xl, const jpkforms::Form& form, int lastRow,
                        Problems& problems);

// The same up to the first record list: header, subject and declaration.
FileSheet readSheetHeader(const workbook::Application& xl, const jpkforms::Form& form, int lastRow);

}  // namespace zbir::jpkvat
