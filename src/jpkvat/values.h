#pragma once
// The small rules by which the combined JPK_VAT writer turns workbook cells
// into element values and element lines, and computes the header's
// generated values. Texts are program text (Windows-1250) unless said.

#include <ctime>
#include <string>
#include <string_view>

namespace zbir::workbook { class Application; }

namespace zbir::jpkvat {

// Text of a cell of the selected sheet; empty for an empty cell.
std::string cellText(const workbook::Application& xl, int row, int column);

// A record value: in an amount column the first comma becomes a point.
std::string rowValue(std::string text, bool amountColumn);

// Whether the whole text is a finite decimal number: optional sign, digits
// with at most one point, optional exponent; no blanks.
bool parseNumber(std::string_view text, double& value);

// The element name of a heading cell: cut to 30 characters; a text beginning
// with "<" loses its first and its last character.
std::string headingName(std::string_view cell);

// Whether `name` may be written as an element name: an unprefixed XML name
// of ASCII letters, digits, "_", "-" and "." that does not begin with a
// digit, "-" or ".".
bool isElementName(std::string_view name);

// A value as UTF-8 XML character data: Polish letters in UTF-8, markup
// characters as references, other bytes outside 20..7E hex as "_".
std::string xmlText(std::string_view value);

// One line of the combined file: 2 x level blanks, "<", name, a blank and
// the attribute text when there is one; when the value is not empty ">",
// the value as XML text, "</" and the name; then ">" and CR LF.
std::string elementLine(int level, std::string_view name, std::string_view attribute,
                        std::string_view value);
void appendElementLine(std::string& out, int level, std::string_view name,
                       std::string_view attribute, std::string_view value);

// DataWytworzeniaJPK of the given local time: "yyyy-mm-ddThh:nn:ss".
std::string generationTime(const std::tm& local);

// The current local time.
std::tm localNow();

// CelZlozenia: "1" when the file is made in the month after DataDo's month
// up to its 25th day, else "2".
std::string submissionPurpose(std::string_view dataDo, std::string_view generationTime);

}  // namespace zbir::jpkvat
