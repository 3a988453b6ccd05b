#pragma once
// The base room (the file layer, formatters, durable file replacement, the
// working folder's lock); this is its file layer.
//
// File-system semantics the program relies on, as on Windows: names matched
// without regard to ASCII letter case, "..\" and "\" in relative paths,
// wildcard searches. Names handled by the program are program text
// (Windows-1250); on disk they are UTF-8.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::base::winfs {

// Program text to the native (UTF-8) form of a file name, and back.
std::string toNative(std::string_view programText);
std::string fromNative(std::string_view native);

// Upper-cases a..z only.
std::string upper(std::string s);

// Wildcard match with "*" and "?", ASCII letters compared without case.
bool matchPattern(std::string_view pattern, std::string_view name);

// Names (program text) of the ordinary files of `dir` matching `pattern`
// (no folders), sorted by byte value. A missing folder gives none.
std::vector<std::string> findFiles(const std::filesystem::path& dir, std::string_view pattern);

// The native path of `relative` (program text; "\" or "/" separators, ".."
// allowed) below `base`. Each existing component is found without regard to
// letter case; a component that does not exist is kept as written.
std::filesystem::path resolve(const std::filesystem::path& base, std::string_view relative);

// Program text of a native path, for messages.
std::string display(const std::filesystem::path& path);

}  // namespace zbir::base::winfs
