#include "xlsx/zip_check.h"
#include "xlsx/parallel.h"
#include "xlsx/zip_directory.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace zbir::workbook {

namespace {

using namespace zip;

class EdgeKeeper {
public:
    explicit EdgeKeeper(std::string& out) : m_out(out) {}
    void add(const unsigned char* p, std::size_t n)
    {
        const char* c = reinterpret_cast<const char*>(p);
        if (m_head.size() < CheckedZipEntry::kEdge) {
            std::size_t take = std::min(n, CheckedZipEntry::kEdge - m_head.size());
            m_head.append(c, take);
            c += take;
            n -= take;
        }
        if (n == 0)
            return;
        m_tail.append(c, n);
        if (m_tail.size() > 4 * CheckedZipEntry::kEdge)
            m_tail.erase(0, m_tail.size() - CheckedZipEntry::kEdge);
    }
    void finish()
    {
        if (m_tail.size() > CheckedZipEntry::kEdge)
            m_tail.erase(0, m_tail.size() - CheckedZipEntry::kEdge);
        m_out = m_head + m_tail;
    }

private:
    std::string& m_out;
    std::string m_head, m_tail;
};

// One entry inflated and held against its directory record.
CheckedZipEntry checkEntry(Reader& in, const DirectoryEntry& e, std::uint64_t directoryStart,
                           std::vector<unsigned char>& packed, std::vector<unsigned char>& plain)
{
    const std::string broken = "zapisany plik jest uszkodzony (" + e.name + ")";
    const std::uint64_t start = dataStart(in, e, directoryStart);
    if (e.method != 0 && e.method != 8)
        fail(broken);
    CheckedZipEntry checked;
    checked.name = e.name;
    EdgeKeeper edges(checked.edges);
    std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, nullptr, 0));
    std::uint64_t produced = 0;
    z_stream z{};
    if (e.method == 8 && inflateInit2(&z, -MAX_WBITS) != Z_OK)
        fail(broken);
    struct InflateEnd {
        z_stream* z;
        bool on;
        ~InflateEnd()
        {
            if (on)
                inflateEnd(z);
        }
    } inflateEndGuard{&z, e.method == 8};
    auto take = [&](const unsigned char* p, std::size_t n) {
        crc = static_cast<std::uint32_t>(crc32(crc, p, static_cast<uInt>(n)));
        produced += n;
        edges.add(p, n);
    };
    in.seek(start);
    std::uint64_t left = e.packed;
    bool ended = e.method == 0;
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, packed.size()));
        if (in.readOn(packed.data(), n) != n)
            fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
        left -= n;
        if (e.method == 0) {
            take(packed.data(), n);
            continue;
        }
        if (ended)
            fail(broken);  // bytes after the end of the stream
        z.next_in = packed.data();
        z.avail_in = static_cast<uInt>(n);
        for (;;) {
            z.next_out = plain.data();
            z.avail_out = static_cast<uInt>(plain.size());
            const int rc = inflate(&z, Z_NO_FLUSH);
            if (rc == Z_BUF_ERROR)
                break;  // wants more input
            if (rc != Z_OK && rc != Z_STREAM_END)
                fail(broken);
            take(plain.data(), plain.size() - z.avail_out);
            if (rc == Z_STREAM_END) {
                ended = true;
                break;
            }
            if (z.avail_in == 0 && z.avail_out != 0)
                break;
        }
        if (ended && (z.avail_in > 0 || left > 0))
            fail(broken);
    }
    if (!ended || produced != e.size || crc != e.crc)
        fail(broken);
    edges.finish();
    checked.size = static_cast<std::size_t>(produced);
    return checked;
}

// A thread's own reading of the archive.
struct EntryReader {
    std::unique_ptr<Reader> in;
    std::vector<unsigned char> packed, plain;
};

}  // namespace

std::vector<CheckedZipEntry> checkZipFile(const std::filesystem::path& path)
{
    Reader in(path);
    std::uint64_t directoryStart = 0;
    const std::vector<DirectoryEntry> entries = centralDirectory(in, directoryStart);
    std::vector<CheckedZipEntry> out(entries.size());
    forEachInParallel<EntryReader>(entries.size(), [&](std::size_t i, EntryReader& reader) {
        if (!reader.in) {
            constexpr std::size_t kChunk = 1 << 18;
            reader.in = std::make_unique<Reader>(path);
            reader.packed.resize(kChunk);
            reader.plain.resize(kChunk);
        }
        out[i] = checkEntry(*reader.in, entries[i], directoryStart, reader.packed, reader.plain);
    });
    return out;
}

}  // namespace zbir::workbook
