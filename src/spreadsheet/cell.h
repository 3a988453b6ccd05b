#pragma once
// One cell of a sheet as the engine stores it, and a cell's value as
// formulas and readers see it.

#include "spreadsheet/formula.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace zbir::workbook {

enum class CellKind : std::uint8_t {
    Blank,    // formatted, no content
    Number,
    Text,
    Bool,
    Error,
    Formula,  // the value is the formula's current result
};

// 16 bytes. Texts live in the sheet's text store as a 32-bit length, the
// bytes and a terminating NUL; `text` points at the length.
struct Cell {
    union {
        double number;        // Number; Bool as 0 or 1
        const char* text;     // Text
        std::uint32_t formula;  // Formula: index in the workbook's formulas
    };
    std::uint32_t style = 0;
    std::uint16_t col = 0;  // 1-based
    CellKind kind = CellKind::Blank;
    ErrorCode error = ErrorCode::Value;  // Error

    Cell() : number(0) {}

    std::string_view textView() const
    {
        std::uint32_t n;
        std::memcpy(&n, text, sizeof n);
        return {text + sizeof n, n};
    }
    const char* textCStr() const { return text + sizeof(std::uint32_t); }
    bool hasContent() const { return kind != CellKind::Blank; }
};

static_assert(sizeof(Cell) == 16);

// A value: what a cell holds or a formula gives.
struct CellValue {
    enum class Kind : std::uint8_t { Empty, Number, Text, Bool, Error };
    Kind kind = Kind::Empty;
    double number = 0;
    bool boolean = false;
    ErrorCode error = ErrorCode::Value;
    std::string text;

    static CellValue empty() { return {}; }
    static CellValue ofNumber(double v)
    {
        CellValue c;
        c.kind = Kind::Number;
        c.number = v;
        return c;
    }
    static CellValue ofText(std::string_view t)
    {
        CellValue c;
        c.kind = Kind::Text;
        c.text = std::string(t);
        return c;
    }
    static CellValue ofBool(bool b)
    {
        CellValue c;
        c.kind = Kind::Bool;
        c.boolean = b;
        return c;
    }
    static CellValue ofError(ErrorCode e)
    {
        CellValue c;
        c.kind = Kind::Error;
        c.error = e;
        return c;
    }
    // What a cell holds, for every kind but Formula (whose result lives in
    // the workbook's formulas).
    static CellValue ofStored(const Cell& cell)
    {
        switch (cell.kind) {
        case CellKind::Number: return ofNumber(cell.number);
        case CellKind::Text: return ofText(cell.textView());
        case CellKind::Bool: return ofBool(cell.number != 0);
        case CellKind::Error: return ofError(cell.error);
        case CellKind::Blank:
        case CellKind::Formula: break;
        }
        return {};
    }
    bool operator==(const CellValue&) const = default;
};

}  // namespace zbir::workbook
