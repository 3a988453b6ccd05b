#include "xlsx/zip_directory.h"

#include <algorithm>

namespace zbir::workbook::zip {

std::uint32_t le32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

unsigned le16(const unsigned char* p)
{
    return static_cast<unsigned>(p[0]) | static_cast<unsigned>(p[1]) << 8;
}

std::uint64_t le64(const unsigned char* p)
{
    return static_cast<std::uint64_t>(le32(p)) | static_cast<std::uint64_t>(le32(p + 4)) << 32;
}

[[noreturn]] void fail(const std::string& why)
{
    throw ZipCheckError(why);
}

Reader::Reader(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "rb"))
{
    if (!m_file)
        fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
    if (std::fseek(m_file.get(), 0, SEEK_END) != 0)
        fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
    long size = std::ftell(m_file.get());
    if (size < 0)
        fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
    m_size = static_cast<std::uint64_t>(size);
}

void Reader::read(std::uint64_t at, void* into, std::size_t n)
{
    if (at > m_size || n > m_size - at)
        fail("zapisany plik jest niepe\xC5\x82ny");
    if (std::fseek(m_file.get(), static_cast<long>(at), SEEK_SET) != 0 ||
        std::fread(into, 1, n, m_file.get()) != n)
        fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
}

void Reader::seek(std::uint64_t at)
{
    if (at > m_size || std::fseek(m_file.get(), static_cast<long>(at), SEEK_SET) != 0)
        fail("zapisany plik jest niepe\xC5\x82ny");
}

std::vector<DirectoryEntry> centralDirectory(Reader& in, std::uint64_t& directoryStart)
{
    constexpr std::size_t kEnd = 22;
    if (in.size() < kEnd)
        fail("zapisany plik jest niepe\xC5\x82ny");
    const std::size_t window = static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), kEnd + 0xFFFF));
    std::vector<unsigned char> tail(window);
    in.read(in.size() - window, tail.data(), window);
    std::size_t at = window - kEnd;
    while (le32(&tail[at]) != kDirectoryEnd) {
        if (at == 0)
            fail("zapisany plik jest niepe\xC5\x82ny (brak katalogu archiwum)");
        --at;
    }
    std::uint64_t entries = le16(&tail[at + 10]);
    std::uint64_t dirSize = le32(&tail[at + 12]);
    std::uint64_t dirOffset = le32(&tail[at + 16]);
    const std::uint64_t endAt = in.size() - window + at;
    if (dirOffset == 0xFFFFFFFF || entries == 0xFFFF || dirSize == 0xFFFFFFFF) {
        // Zip64: its end record, through the locator just before the end record.
        unsigned char loc[20];
        if (endAt < 20)
            fail("zapisany plik jest niepe\xC5\x82ny");
        in.read(endAt - 20, loc, 20);
        if (le32(loc) != 0x07064b50)
            fail("zapisany plik jest niepe\xC5\x82ny");
        unsigned char rec[56];
        in.read(le64(loc + 8), rec, 56);
        if (le32(rec) != 0x06064b50)
            fail("zapisany plik jest niepe\xC5\x82ny");
        entries = le64(rec + 32);
        dirSize = le64(rec + 40);
        dirOffset = le64(rec + 48);
    }
    if (dirOffset > in.size() || dirSize > in.size() - dirOffset)
        fail("zapisany plik jest niepe\xC5\x82ny");
    std::vector<unsigned char> dir(static_cast<std::size_t>(dirSize));
    in.read(dirOffset, dir.data(), dir.size());
    std::vector<DirectoryEntry> out;
    std::size_t p = 0;
    for (std::uint64_t i = 0; i < entries; ++i) {
        if (p + 46 > dir.size() || le32(&dir[p]) != kDirectoryHeader)
            fail("zapisany plik jest uszkodzony (katalog archiwum)");
        DirectoryEntry e;
        e.versionMadeBy = le16(&dir[p + 4]);
        e.versionNeeded = le16(&dir[p + 6]);
        e.flags = le16(&dir[p + 8]);
        e.method = le16(&dir[p + 10]);
        e.time = le16(&dir[p + 12]);
        e.date = le16(&dir[p + 14]);
        e.crc = le32(&dir[p + 16]);
        e.packed = le32(&dir[p + 20]);
        e.size = le32(&dir[p + 24]);
        const std::size_t nameLength = le16(&dir[p + 28]), extraLength = le16(&dir[p + 30]),
                          commentLength = le16(&dir[p + 32]);
        e.internalAttributes = le16(&dir[p + 36]);
        e.externalAttributes = le32(&dir[p + 38]);
        e.offset = le32(&dir[p + 42]);
        if (p + 46 + nameLength + extraLength + commentLength > dir.size())
            fail("zapisany plik jest uszkodzony (katalog archiwum)");
        e.name.assign(reinterpret_cast<const char*>(&dir[p + 46]), nameLength);
        // Zip64 sizes and offset, in this order, for the fields that overflowed.
        std::size_t x = p + 46 + nameLength;
        const std::size_t extraEnd = x + extraLength;
        while (x + 4 <= extraEnd) {
            const unsigned id = le16(&dir[x]), length = le16(&dir[x + 2]);
            if (x + 4 + length > extraEnd)
                break;
            if (id == 0x0001) {
                std::size_t f = x + 4;
                auto take = [&](std::uint64_t& field) {
                    if (field == 0xFFFFFFFF && f + 8 <= x + 4 + length) {
                        field = le64(&dir[f]);
                        f += 8;
                    }
                };
                take(e.size);
                take(e.packed);
                take(e.offset);
            }
            x += 4 + length;
        }
        p += 46 + nameLength + extraLength + commentLength;
        out.push_back(std::move(e));
    }
    directoryStart = dirOffset;
    return out;
}

std::uint64_t dataStart(Reader& in, const DirectoryEntry& e, std::uint64_t directoryStart)
{
    unsigned char local[30];
    in.read(e.offset, local, sizeof local);
    if (le32(local) != kLocalHeader)
        fail("zapisany plik jest uszkodzony (" + e.name + ")");
    const std::uint64_t start = e.offset + 30 + le16(local + 26) + le16(local + 28);
    if (start > directoryStart || e.packed > directoryStart - start)
        fail("zapisany plik jest niepe\xC5\x82ny (" + e.name + ")");
    return start;
}

}  // namespace zbir::workbook::zip
