#pragma once
// `zbir sprawdz PLIK...`: checks JPK files against the schemas of their forms.

#include <ostream>
#include <string>
#include <vector>

namespace zbir::shell {

// Checks each file (native paths, relative to the current folder) and writes
// one verdict per file to `out`, every problem as "file:line: message" to
// `err` (UTF-8). Returns 0 when every file is valid, 1 when one is invalid,
// of a form the program does not know, or cannot be read or checked.
int runCheck(const std::vector<std::string>& files, std::ostream& out, std::ostream& err);

}  // namespace zbir::shell
