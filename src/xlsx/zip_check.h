#pragma once
// A check of a zip archive just written, before it may replace a good file:
// one sequential read of the file with bounded memory. Every entry the
// central directory lists must have its local header where the directory
// says, inflate to exactly its recorded size and CRC-32, and end before the
// directory starts; each entry's first and last bytes are kept for the
// caller's own checks (an XML part's root end).

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace zbir::workbook {

struct CheckedZipEntry {
    std::string name;
    std::size_t size = 0;  // uncompressed
    // The whole entry when it is at most 2 * kEdge bytes; else its first
    // kEdge bytes followed by its last kEdge bytes.
    std::string edges;
    static constexpr std::size_t kEdge = 4096;
};

class ZipCheckError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raises ZipCheckError (UTF-8 reason) when the archive is cut, damaged or unreadable.
std::vector<CheckedZipEntry> checkZipFile(const std::filesystem::path& path);

}  // namespace zbir::workbook
