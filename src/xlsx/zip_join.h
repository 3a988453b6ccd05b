#pragma once
// One zip archive made of the entries of others, their data copied as it is
// compressed: the package of a workbook whose sheets were written, and
// deflated, each on a thread of its own.

#include <filesystem>
#include <string>
#include <vector>

namespace zbir::workbook {

// Entry `entry` of the joined archive taken from entry `from` of `archive`.
struct ZipReplacement {
    std::string entry;
    std::filesystem::path archive;
    std::string from;
};

// Writes `target` with the entries of `base` in their order, each named in
// `replacements` taken from its archive instead. Returns false, having
// written nothing whole, when the result would need zip64 (over 4 GiB or
// 65,535 entries); raises ZipCheckError (UTF-8 reason) when a source is
// damaged, an entry to replace is missing, or the target cannot be written.
bool joinZipArchives(const std::filesystem::path& base, const std::vector<ZipReplacement>& replacements,
                     const std::filesystem::path& target);

}  // namespace zbir::workbook
