#include "transport/ready.h"

#include "operation/operation.h"
#include "spreadsheet/automation.h"
#include "transport/messages.h"
#include "transport/transport.h"

#include <filesystem>

namespace zbir::workbook {

bool openXls(operation::Operation& app)
{
    const std::string group = app.groupText();
    if (!connect(app)) {
        app.showError(msg::kNoExcel);
        return false;
    }
    try {
        app.xl->setVisible(true);
    } catch (const AutomationError&) {
        app.showError(msg::kEditing);
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
        message = msg::noWorkbook(group);
        if (there && !why.empty())
            message = msg::cannotReadWorkbook(group, why);
        break;
    case 1: app.showProgress(msg::workbookLoaded(group)); break;
    default: {
        std::string seen = msg::kNothing;
        if (!a1.empty()) {
            seen = '"';
            seen += a1.substr(0, 40);
            seen += a1.size() > 40 ? "...\"" : "\"";
        }
        message = msg::strangeWorkbook(group, seen);
        break;
    }
    }
    if (!message.empty()) {
        try {
            app.logEvent(operation::LogDetail, message);
        } catch (const std::exception&) {
            // the status line says it
        }
        app.showError(message);
    }
    return result == 1;
}

}  // namespace zbir::workbook
