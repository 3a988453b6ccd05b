#include "workbook/transport.h"

#include "shell/app.h"

namespace zbir::workbook {

bool makeXls(shell::App& app)
{
    app.showError("Transport jeszcze niedost\xEApny");
    return false;
}

}  // namespace zbir::workbook
