#include "transport/ready.h"

#include "operation/operation.h"
#include "spreadsheet/automation.h"
#include "transport/transport.h"

namespace zbir::workbook {

bool openXls(operation::Operation& app)
{
    const std::string group = app.groupText();
    if (!connect(app)) {
        app.showError("Nie ma \xBF" "adnego Excela w systemie");
        return false;
    }
    try {
        app.xl->setVisible(true);
    } catch (const AutomationError&) {
        app.showError("Edytujesz w\xB3" "a\x9C" "nie kom\xF3rk\xEA w Excelu");
        return false;
    }
    const std::string path = workbookPath(app).string();
    app.xl->setDisplayAlerts(false);

    int result = 0;
    try {
        app.xl->workbooksOpen(path);
        result = 1;
        app.xl->sheetsSelect(1);
        if (app.xl->cellValue(1, 1) != group)
            result = 2;
    } catch (const AutomationError&) {
    }

    switch (result) {
    case 0: app.showError("Nie ma  " + group); break;
    case 1: app.showProgress("Wczytany  " + group); break;
    default: app.showError("Dziwny  " + group); break;
    }
    return result == 1;
}

}  // namespace zbir::workbook
