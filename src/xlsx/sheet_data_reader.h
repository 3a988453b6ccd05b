#pragma once
// The cells of a worksheet part read without orcus: a worksheet's
// <sheetData> is cut out of its part before orcus reads the rest of the
// workbook (columns, views, styles, shared strings), and is read here into
// the sheet once orcus is done, with inline strings too. One pass over the
// bytes, no tree and no copies of the cells.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zbir::workbook {

class ImportSheet;

// Where a part's <sheetData> element lies: the whole element and its content.
struct SheetDataSpan {
    std::size_t elementBegin = 0, elementEnd = 0;
    std::size_t contentBegin = 0, contentEnd = 0;
    std::string qualifiedName;  // "sheetData" or "prefix:sheetData"
};

// The span of the part's <sheetData>, if it has one.
std::optional<SheetDataSpan> findSheetData(std::string_view xml);

// The start tag of the part's <sheetData> when all of it is in `head`, the
// part's first bytes: the span's element and content begin there; its ends
// are known (equal to the content's begin) only for an empty element <sheetData/>.
std::optional<SheetDataSpan> findSheetDataStart(std::string_view head);

// The part with its <sheetData> emptied.
std::string withoutSheetData(std::string_view xml, const SheetDataSpan& span);

// Reads the content of a <sheetData> element into the sheet. Raises
// AutomationError naming `partName` when the content is not well-formed.
void readSheetData(std::string_view content, ImportSheet& sheet, const std::string& partName);

// The worksheet part of each sheet, in the workbook's order, from the
// package's relationships and workbook part; `part` gives a part's bytes
// (nullopt when absent). Nullopt when they cannot be followed.
std::optional<std::vector<std::string>> worksheetPartNames(
    const std::function<std::optional<std::string>(const std::string&)>& part);

// A zip archive storing the entries uncompressed, in the order given.
std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries);

}  // namespace zbir::workbook
