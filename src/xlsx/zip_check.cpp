#include "xlsx/zip_check.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace zbir::workbook {

namespace {

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

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

struct DirectoryEntry {
    std::string name;
    unsigned method = 0;
    std::uint32_t crc = 0;
    std::uint64_t packed = 0, size = 0, offset = 0;
};

class Reader {
public:
    explicit Reader(const std::filesystem::path& path) : m_file(std::fopen(path.c_str(), "rb"))
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
    std::uint64_t size() const { return m_size; }
    void read(std::uint64_t at, void* into, std::size_t n)
    {
        if (at > m_size || n > m_size - at)
            fail("zapisany plik jest niepe\xC5\x82ny");
        if (std::fseek(m_file.get(), static_cast<long>(at), SEEK_SET) != 0 ||
            std::fread(into, 1, n, m_file.get()) != n)
            fail("nie mo\xC5\xBC" "na odczyta\xC4\x87 zapisanego pliku");
    }
    void seek(std::uint64_t at)
    {
        if (at > m_size || std::fseek(m_file.get(), static_cast<long>(at), SEEK_SET) != 0)
            fail("zapisany plik jest niepe\xC5\x82ny");
    }
    // Sequential reading from the position the last read() or seek() left.
    std::size_t readOn(void* into, std::size_t n) { return std::fread(into, 1, n, m_file.get()); }

private:
    std::unique_ptr<std::FILE, FileCloser> m_file;
    std::uint64_t m_size = 0;
};

std::vector<DirectoryEntry> centralDirectory(Reader& in, std::uint64_t& directoryStart)
{
    constexpr std::size_t kEnd = 22;
    if (in.size() < kEnd)
        fail("zapisany plik jest niepe\xC5\x82ny");
    const std::size_t window = static_cast<std::size_t>(std::min<std::uint64_t>(in.size(), kEnd + 0xFFFF));
    std::vector<unsigned char> tail(window);
    in.read(in.size() - window, tail.data(), window);
    std::size_t at = window - kEnd;
    while (le32(&tail[at]) != 0x06054b50) {
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
        if (p + 46 > dir.size() || le32(&dir[p]) != 0x02014b50)
            fail("zapisany plik jest uszkodzony (katalog archiwum)");
        DirectoryEntry e;
        e.method = le16(&dir[p + 10]);
        e.crc = le32(&dir[p + 16]);
        e.packed = le32(&dir[p + 20]);
        e.size = le32(&dir[p + 24]);
        const std::size_t nameLength = le16(&dir[p + 28]), extraLength = le16(&dir[p + 30]),
                          commentLength = le16(&dir[p + 32]);
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

}  // namespace

std::vector<CheckedZipEntry> checkZipFile(const std::filesystem::path& path)
{
    Reader in(path);
    std::uint64_t directoryStart = 0;
    std::vector<DirectoryEntry> entries = centralDirectory(in, directoryStart);
    std::vector<CheckedZipEntry> out;
    constexpr std::size_t kChunk = 1 << 18;
    std::vector<unsigned char> packed(kChunk), plain(kChunk);
    for (const DirectoryEntry& e : entries) {
        const std::string broken = "zapisany plik jest uszkodzony (" + e.name + ")";
        unsigned char local[30];
        in.read(e.offset, local, sizeof local);
        if (le32(local) != 0x04034b50)
            fail(broken);
        const std::uint64_t dataStart = e.offset + 30 + le16(local + 26) + le16(local + 28);
        if (dataStart > directoryStart || e.packed > directoryStart - dataStart)
            fail("zapisany plik jest niepe\xC5\x82ny (" + e.name + ")");
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
        in.seek(dataStart);
        std::uint64_t left = e.packed;
        bool ended = e.method == 0;
        while (left > 0) {
            const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunk));
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
        out.push_back(std::move(checked));
    }
    return out;
}

}  // namespace zbir::workbook
