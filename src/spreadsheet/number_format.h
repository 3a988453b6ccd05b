#pragma once
// Number formats: the codes a cell carries, in the file's canonical syntax
// ("#,##0.00"), and the texts a cell shows through them. Callers write codes
// in the Polish local syntax ("# ##0,00": comma for decimals, space for
// thousands), which localToCanonical translates. Shown texts use the Polish
// conventions: decimal comma, no-break space (0xA0) between thousands.

#include <memory>
#include <string>
#include <string_view>

namespace zbir::workbook {

class NumberFormat {
public:
    enum class Kind { General, Text, Number, Date };

    explicit NumberFormat(std::string canonicalCode = "General");

    const std::string& code() const { return m_code; }
    Kind kind() const { return m_kind; }
    bool isText() const { return m_kind == Kind::Text; }

    // The text a cell holding `value` shows.
    std::string display(double value) const;

private:
    struct Compiled;
    std::string m_code;
    Kind m_kind;
    std::shared_ptr<const Compiled> m_compiled;
};

// Local (Polish) syntax to canonical: "# ##0,00" -> "#,##0.00", "Standardowy" -> "General".
std::string localToCanonical(std::string_view local);

// Canonical code of a built-in format id of the file format; empty when unknown.
std::string builtinFormatCode(int id);
// Built-in id whose meaning is the same in every locale for this canonical code, or -1.
int portableBuiltinFormatId(std::string_view canonicalCode);

// A text written into a non-text cell that is a number: optional sign,
// digits with a point or a comma for decimals, optional exponent.
bool parseNumber(std::string_view text, double& value);

// The shortest text that reads back as the same double, with a point: "1234.5", "-0.1".
std::string shortestNumberText(double value);

// The "General" display: up to eleven characters, decimal comma.
std::string generalNumberText(double value);

}  // namespace zbir::workbook
