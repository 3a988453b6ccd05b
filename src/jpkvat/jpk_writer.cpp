#include "jpkvat/jpk_writer.h"

#include "shell/app.h"

namespace zbir::jpkvat {

bool makeJpk(shell::App& app)
{
    app.showError("Plik zbiorczy jeszcze niedost\xEApny");
    return false;
}

}  // namespace zbir::jpkvat
