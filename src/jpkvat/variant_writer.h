#pragma once
// The combined file of a JPK_VAT(3) or JPK_V7 group in the inputs' own
// variant, from the group's file sheets as read back: header and subject as
// the inputs carry them, the one declaration, every record in file order
// renumbered from 1, control sums per the schema's definition.

#include "jpkvat/file_sheet.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace zbir::jpkvat {

struct SubjectFile;
class OutputFile;

// Why the sheets cannot make one file (another period, taxpayer or
// declaration; program text naming the sheet); empty when they can.
std::string groupRefusal(const std::vector<FileSheet>& sheets);

// The same for Podmiot1.JPK against the sheets: its NIP, when it gives one,
// must be the inputs'.
std::string subjectRefusal(const SubjectFile& subject, const FileSheet& first);

// Cell checks of every sheet: the taxpayer's NIP, required elements,
// amounts, dates (outside the period: warnings), counterparties' NIPs.
void checkSheets(const std::vector<FileSheet>& sheets, Problems& problems);

// Progress of writing: records written so far.
using RecordProgress = std::function<void(long long records)>;

// Writes the file into `out`; returns the records written.
long long writeVariantFile(OutputFile& out, const std::vector<FileSheet>& sheets, const std::tm& now,
                           const RecordProgress& progress);

}  // namespace zbir::jpkvat
