#pragma once
// The command line's own faults in the program's words: what the argument
// parser refused, and a working folder that cannot be one.

#include <string>
#include <vector>

namespace CLI {
class ParseError;
}

namespace zbir::shell {

// Program text for a refused command line; `extras` are the arguments the
// parser did not take (native text).
std::string usageErrorText(const CLI::ParseError& error, const std::vector<std::string>& extras);

// Why `folder` (native text) cannot be the working folder; empty when it can.
std::string folderFault(const std::string& folder);

}  // namespace zbir::shell
