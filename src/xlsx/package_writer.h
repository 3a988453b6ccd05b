#pragma once
// The package of a workbook written as it is, without the save's check and
// replacement (saveWorkbookFile does those).

#include "spreadsheet/workbook.h"

#include <filesystem>

namespace zbir::workbook {

enum class PackageWriting {
    Fastest,           // sheets on all processors when there are several of each
    Whole,             // one libxlsxwriter package
    SheetsInParallel,  // each sheet deflated in a package of its own, then joined
};

// Writes `path`; raises AutomationError with the reason alone on failure.
void writePackage(Workbook& workbook, const std::filesystem::path& path,
                  PackageWriting how = PackageWriting::Fastest);

}  // namespace zbir::workbook
