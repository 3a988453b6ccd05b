#pragma once
// Replacing a file so that a crash or a power cut at any moment leaves
// either the earlier file or the new one whole: the new content is written
// to a temporary file beside the target, flushed to the disk, renamed over
// the target, and the folder flushed so that the rename itself lasts.

#include <filesystem>
#include <string_view>
#include <system_error>

namespace zbir::base::durable {

// Flushes a file's data, or a folder's entries, to the disk.
std::error_code syncFile(const std::filesystem::path& file);
std::error_code syncFolder(const std::filesystem::path& folder);

// `temporary`, written whole and closed, takes the place of `target`: it is
// synced, renamed over `target` and the folders of both synced. On failure
// `target` is as it was (or already the new file, when only the last sync
// failed) and `temporary` is left for the caller to remove. `what` names the
// kind of file for crashPoint ("workbook", "combined", "copy").
std::error_code replace(const std::filesystem::path& temporary, const std::filesystem::path& target,
                        std::string_view what);

// Renames `from` to `to` (a file kept aside under a new name) and syncs the
// folders, so that after a crash the file is under one of its names.
std::error_code move(const std::filesystem::path& from, const std::filesystem::path& to, std::string_view what);

// In test builds (ZBIR_CRASH_POINTS): when the environment variable
// ZBIR_CRASH_AT is "what:step" or "what:step:n", the process kills itself
// with SIGKILL the n-th time (1st by default) it reaches that point, to test
// what a crash there leaves. replace() passes the steps "written", "synced",
// "renamed" and "done"; move() "moving" and "moved". Does nothing otherwise.
void crashPoint(std::string_view what, std::string_view step);

// Whether this build honours ZBIR_CRASH_AT.
bool crashPointsBuiltIn();

}  // namespace zbir::base::durable
