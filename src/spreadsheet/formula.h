#pragma once
// Formulas as trees, read from and written to R1C1 and A1 notation. A tree
// does not depend on the cell that holds it: references keep absolute rows
// and columns, or offsets from that cell, as R1C1 notation does. Sheets are
// referred to by id, so renaming a sheet changes no tree.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::workbook {

enum class ErrorCode : std::uint8_t { Null, Div0, Value, Ref, Name, Num, NA };

// "#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A".
std::string_view errorText(ErrorCode code);
std::optional<ErrorCode> parseErrorText(std::string_view text);

constexpr std::int32_t kOwnSheet = -1;   // a reference without a sheet name
constexpr std::int32_t kLostSheet = -2;  // its sheet was deleted or never existed

struct RefCoord {
    int value = 0;  // absolute: the 1-based row or column; relative: the offset from the formula's cell
    bool absolute = false;
    bool operator==(const RefCoord&) const = default;
};

struct Reference {
    enum class Kind : std::uint8_t { Cell, Rows, Columns };
    Kind kind = Kind::Cell;
    bool area = false;  // first:second
    std::int32_t sheet = kOwnSheet;
    RefCoord row1, col1, row2, col2;  // row2/col2 equal row1/col1 unless `area`
    bool operator==(const Reference&) const = default;
};

// The cells a reference covers when its formula sits at (row, col).
struct ResolvedArea {
    std::int32_t sheet;
    int row1, col1, row2, col2;
    bool valid;  // inside the sheet and its sheet not lost
};
ResolvedArea resolve(const Reference& ref, std::int32_t ownSheet, int row, int col);

struct FormulaNode {
    enum class Type : std::uint8_t { Number, Text, Bool, Error, Ref, Name, Unary, Binary, Function, Paren };
    Type type = Type::Number;
    // Unary: '+', '-', '%'. Binary: + - * / ^ & = < > and 'l' (<=), 'g' (>=), 'n' (<>).
    char op = 0;
    bool boolean = false;
    ErrorCode error = ErrorCode::Value;
    double number = 0;
    std::string text;  // text literal, function name (upper case) or name
    Reference ref;
    std::vector<FormulaNode> args;
};

using FormulaTree = std::shared_ptr<const FormulaNode>;

// Sheet names and ids of the workbook a formula belongs to.
class SheetNames {
public:
    virtual ~SheetNames() = default;
    virtual std::optional<std::int32_t> sheetId(std::string_view name) const = 0;
    virtual std::string sheetName(std::int32_t id) const = 0;
};

// Parse a formula ("=SUM(R2C:R10C)"; the leading "=" may be left out).
// Unknown sheet names become lost sheets. Null on a syntax error.
FormulaTree parseFormulaR1C1(std::string_view text, const SheetNames& sheets);
FormulaTree parseFormulaA1(std::string_view text, int row, int col, const SheetNames& sheets);

// Print with a leading "=". Sheet names are always quoted.
std::string printFormulaR1C1(const FormulaNode& node, const SheetNames& sheets);
// Without the "="; references that fall outside the sheet or into a lost sheet print as #REF!.
std::string printFormulaA1(const FormulaNode& node, int row, int col, const SheetNames& sheets);

// Calls `fn(reference)` for every reference in the tree.
template <class Fn>
void forEachReference(const FormulaNode& node, Fn&& fn)
{
    if (node.type == FormulaNode::Type::Ref)
        fn(node.ref);
    for (const auto& a : node.args)
        forEachReference(a, fn);
}

// A copy of the tree in which references to sheet `id` point to a lost sheet; null when none did.
FormulaTree withoutSheet(const FormulaNode& node, std::int32_t id);

}  // namespace zbir::workbook
