#pragma once
// The central directory of a zip archive this program wrote, read back: the
// zip check and the joining of packages share it. Faults raise
// ZipCheckError with a UTF-8 reason.

#include "xlsx/zip_check.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zbir::workbook::zip {

std::uint32_t le32(const unsigned char* p);
unsigned le16(const unsigned char* p);
std::uint64_t le64(const unsigned char* p);

[[noreturn]] void fail(const std::string& why);

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kDirectoryHeader = 0x02014b50;
constexpr std::uint32_t kDirectoryEnd = 0x06054b50;

struct DirectoryEntry {
    std::string name;
    unsigned versionMadeBy = 0, versionNeeded = 0, flags = 0, method = 0, time = 0, date = 0;
    unsigned internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0, size = 0, offset = 0;
};

// A file read at given offsets or on from the last one.
class Reader {
public:
    explicit Reader(const std::filesystem::path& path);
    std::uint64_t size() const { return m_size; }
    void read(std::uint64_t at, void* into, std::size_t n);
    void seek(std::uint64_t at);
    // Sequential reading from the position the last read() or seek() left.
    std::size_t readOn(void* into, std::size_t n) { return std::fread(into, 1, n, m_file.get()); }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::uint64_t m_size = 0;
};

// Every entry the directory lists, in its order; `directoryStart` is where
// the directory begins (no entry's data may reach past it).
std::vector<DirectoryEntry> centralDirectory(Reader& in, std::uint64_t& directoryStart);

// Where an entry's compressed data begins, after its local header; raises
// when the header is not there or the data would run into the directory.
std::uint64_t dataStart(Reader& in, const DirectoryEntry& e, std::uint64_t directoryStart);

}  // namespace zbir::workbook::zip
