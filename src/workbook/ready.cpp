#include "workbook/ready.h"

#include "shell/app.h"

namespace zbir::workbook {

bool openXls(shell::App& app)
{
    app.showError("Wczytanie jeszcze niedost\xEApne");
    return false;
}

}  // namespace zbir::workbook
