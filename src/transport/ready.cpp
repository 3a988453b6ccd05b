#include "transport/ready.h"

#include "operation/operation.h"
#include "spreadsheet/automation.h"
#include "transport/transport.h"

#include <filesystem>

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
    std::string why;  // the reader's reason, for a file that is there
    std::string a1;
    try {
        app.xl->workbooksOpen(path);
        result = 1;
        app.xl->sheetsSelect(1);
        a1 = app.xl->cellValue(1, 1);
        if (a1 != group)
            result = 2;
    } catch (const AutomationError& e) {
        why = e.what();
    }

    std::error_code ec;
    const bool there = std::filesystem::exists(std::filesystem::symlink_status(workbookPath(app), ec));
    std::string message;
    switch (result) {
    case 0:
        message = "Nie ma  " + group;
        if (there && !why.empty())
            message = "Nie mog\xEA wczyta\xE6 " + group + ".XLS: " + why;
        break;
    case 1: app.showProgress("Wczytany  " + group); break;
    default: {
        std::string seen = "nic";
        if (!a1.empty()) {
            seen = '"';
            seen += a1.substr(0, 40);
            seen += a1.size() > 40 ? "...\"" : "\"";
        }
        message = "Dziwny  " + group + ": w A1 pierwszego arkusza " + seen + ", nie " + group;
        break;
    }
    }
    if (!message.empty()) {
        try {
            app.logEvent(9, message);
        } catch (const std::exception&) {
            // the status line says it
        }
        app.showError(message);
    }
    return result == 1;
}

}  // namespace zbir::workbook
