#pragma once
// A workbook laid out as the transport lays one out, for file tests.

#include "spreadsheet/automation.h"

#include <string>

namespace zbir::workbook {

// A transport-like workbook: -SUMA- pulling row-1 totals of two file sheets.
inline void buildTransportWorkbook(Application& app)
{
    app.workbooksAdd();
    app.activeSheetSetName("-SUMA-");
    const char* names[] = {"JPK_VAT_2017 05 it's", "\xA3\xF3" "d\x9F 2"};
    for (int k = 0; k < 2; ++k) {
        app.sheetsAddAfter(k + 1);
        app.activeSheetSetName(names[k]);
        app.cellsSelect();
        app.selectionSetNumberFormat("@");
        app.selectionSetFontSize(8);
        app.selectionSetColumnWidth(0.14);
        app.setCellValue(1, 77, names[k]);
        app.setColumnNumberFormat(19, "# ##0,00");
        app.setColumnHorizontalAlignment(6, xl::Center);
        for (int r = 2; r <= 6; ++r) {
            app.setCellValue(r, 1, std::to_string(r - 1));
            app.setCellValue(r, 5, "FV/" + std::string(k ? "\xB9\xEA" : "ab") + std::to_string(r));
            app.setCellValue(r, 6, "0017");
            app.setCellValue(r, 19, std::to_string(r * 100 + k) + ",25");
        }
        app.setCellFormulaR1C1(7, 19, "=SUM(R2C:R6C)");
        app.setCellFormulaR1C1(1, 19, "=SUM(R2C:R6C)");
        app.cellsAutoFit();
    }
    app.sheetsSelect(1);
    app.columnsSelect();
    app.setColumnsWidth(0.14);
    app.cellsSelect();
    app.selectionSetNumberFormat("@");
    for (int k = 2; k <= 3; ++k) {
        app.setCellValue(k + 2, 1, app.sheetsName(k));
        app.setCellNumberFormat(k + 2, 19, "# ##0,00");
        // As the summary builds it: the name quoted, its apostrophe not doubled.
        app.setCellFormulaR1C1(k + 2, 19, "='" + app.sheetsName(k) + "'!R1C19");
        app.setCellBold(k + 2, 19, true);
    }
    app.setCellNumberFormat(7, 19, "# ##0,00");
    app.setCellFormulaR1C1(7, 19, "=SUM(R4C:R5C)");
    app.setColumnWidth(19, 12);
    app.setRowHorizontalAlignment(1, xl::Right);
    app.setRowHeight(3, 4);
    app.setCellHorizontalAlignment(1, 1, xl::Left);
    app.setCellValue(1, 1, "JPK_VAT_2017 05");
    app.setCellValue(1, 19, "K_19");
    app.cellsAutoFit();
    app.setSplitRow(2);
}

}  // namespace zbir::workbook
