#include "xlsx/zip_join.h"
#include "xlsx/zip_directory.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>

namespace zbir::workbook {

namespace {

using namespace zip;

constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();

// An archive opened as a source: its directory by entry name.
struct Source {
    explicit Source(const std::filesystem::path& path) : in(path), list(centralDirectory(in, directoryStart))
    {
        for (const DirectoryEntry& e : list)
            byName.emplace(e.name, &e);
    }
    const DirectoryEntry* find(const std::string& name) const
    {
        auto it = byName.find(name);
        return it == byName.end() ? nullptr : it->second;
    }
    Reader in;
    std::uint64_t directoryStart = 0;
    const std::vector<DirectoryEntry> list;
    std::map<std::string, const DirectoryEntry*> byName;
};

class Writer {
public:
    explicit Writer(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "wb"))
    {
        if (!m_file)
            fail("nie mo\xC5\xBC" "na utworzy\xC4\x87 pliku");
        std::setvbuf(m_file.get(), nullptr, _IOFBF, 1 << 20);
    }
    std::uint64_t at() const { return m_at; }
    void bytes(const void* p, std::size_t n)
    {
        if (n > 0 && std::fwrite(p, 1, n, m_file.get()) != n)
            fail("nie mo\xC5\xBC" "na zapisa\xC4\x87 pliku");
        m_at += n;
    }
    void u16(unsigned v)
    {
        const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        bytes(b, 2);
    }
    void u32(std::uint64_t v)
    {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        bytes(b, 4);
    }
    void close()
    {
        std::FILE* f = m_file.release();
        if (std::fclose(f) != 0)
            fail("nie mo\xC5\xBC" "na zapisa\xC4\x87 pliku");
    }

private:
    struct FileCloser {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::uint64_t m_at = 0;
};

// The fields a local header and a directory record share, version needed
// to name length, with sizes and CRC always here (flag bit 3, a data
// descriptor after the data, off).
void sharedFields(Writer& out, const DirectoryEntry& from, const std::string& name)
{
    out.u16(from.versionNeeded);
    out.u16(from.flags & ~8u);
    out.u16(from.method);
    out.u16(from.time);
    out.u16(from.date);
    out.u32(from.crc);
    out.u32(from.packed);
    out.u32(from.size);
    out.u16(static_cast<unsigned>(name.size()));
}

// One entry as the joined archive lists it.
struct Written {
    const DirectoryEntry* source;
    std::string name;
    std::uint64_t offset;
};

}  // namespace

bool joinZipArchives(const std::filesystem::path& base, const std::vector<ZipReplacement>& replacements,
                     const std::filesystem::path& target)
{
    Source baseArchive(base);
    std::map<std::filesystem::path, std::unique_ptr<Source>> others;
    std::map<std::string, std::pair<Source*, const DirectoryEntry*>> taken;
    for (const ZipReplacement& r : replacements) {
        auto& source = others[r.archive];
        if (!source)
            source = std::make_unique<Source>(r.archive);
        const DirectoryEntry* from = source->find(r.from);
        if (!from || !baseArchive.find(r.entry))
            fail("brak cz\xC4\x99\xC5\x9B" "ci " + r.entry);
        taken[r.entry] = {source.get(), from};
    }

    // Every size and offset must fit the plain (not zip64) fields.
    std::uint64_t total = 22;
    for (const DirectoryEntry& e : baseArchive.list) {
        auto it = taken.find(e.name);
        const DirectoryEntry& from = it == taken.end() ? e : *it->second.second;
        if (from.packed >= kMax32 || from.size >= kMax32)
            return false;
        total += 30 + 46 + 2 * e.name.size() + from.packed;
    }
    if (baseArchive.list.size() >= 0xFFFF || total >= kMax32)
        return false;

    Writer out(target);
    std::vector<Written> written;
    std::vector<unsigned char> buffer(1 << 20);
    for (const DirectoryEntry& e : baseArchive.list) {
        auto it = taken.find(e.name);
        Source& source = it == taken.end() ? baseArchive : *it->second.first;
        const DirectoryEntry& from = it == taken.end() ? e : *it->second.second;
        const std::uint64_t start = dataStart(source.in, from, source.directoryStart);
        written.push_back({&from, e.name, out.at()});
        out.u32(kLocalHeader);
        sharedFields(out, from, e.name);
        out.u16(0);  // extra
        out.bytes(e.name.data(), e.name.size());
        source.in.seek(start);
        for (std::uint64_t left = from.packed; left > 0;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            if (source.in.readOn(buffer.data(), n) != n)
                fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
            out.bytes(buffer.data(), n);
            left -= n;
        }
    }
    const std::uint64_t directoryStart = out.at();
    for (const Written& w : written) {
        const DirectoryEntry& from = *w.source;
        out.u32(kDirectoryHeader);
        out.u16(from.versionMadeBy);
        sharedFields(out, from, w.name);
        out.u16(0);  // extra
        out.u16(0);  // comment
        out.u16(0);  // disk
        out.u16(from.internalAttributes);
        out.u32(from.externalAttributes);
        out.u32(w.offset);
        out.bytes(w.name.data(), w.name.size());
    }
    const std::uint64_t directorySize = out.at() - directoryStart;
    out.u32(kDirectoryEnd);
    out.u16(0);
    out.u16(0);
    out.u16(static_cast<unsigned>(written.size()));
    out.u16(static_cast<unsigned>(written.size()));
    out.u32(directorySize);
    out.u32(directoryStart);
    out.u16(0);
    out.close();
    return true;
}

}  // namespace zbir::workbook
