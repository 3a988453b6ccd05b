#include "xlsx/workbook_file.h"

#include "spreadsheet/automation.h"
#include "xlsx/import_factory.h"
#include "xlsx/parallel.h"
#include "xlsx/sheet_data_reader.h"
#include "spreadsheet/text_codec.h"

#include <libxml/parser.h>
#include <zlib.h>
#include <orcus/format_detection.hpp>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>

#include <fstream>
#include <limits>
#include <sstream>

namespace zbir::workbook {

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw AutomationError("Nie mo\xBFna odczyta\xE6 pliku " + displayPath(path));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw AutomationError("Nie mo\xBFna odczyta\xE6 pliku " + displayPath(path));
    return std::move(bytes).str();
}

void ignoreXmlMessage(void*, const char*, ...) {}

// Whether a part is well-formed XML, parsed as a stream (no tree is built,
// nothing is fetched, entities are not expanded).
bool wellFormedPart(std::string_view part)
{
    if (part.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return false;
    xmlSAXHandler quiet;
    std::memset(&quiet, 0, sizeof quiet);
    quiet.warning = ignoreXmlMessage;
    quiet.error = ignoreXmlMessage;
    quiet.fatalError = ignoreXmlMessage;
    return xmlSAXUserParseMemory(&quiet, nullptr, reinterpret_cast<const char*>(part.data()),
                                 static_cast<int>(part.size())) == 0;
}

std::uint32_t le32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

unsigned le16(const std::string& b, std::size_t at)
{
    return static_cast<unsigned>(static_cast<unsigned char>(b[at])) |
           static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// A record of the central directory of an archive held in memory.
struct DirectoryRecord {
    std::string_view name;
    unsigned method = 0;
    std::uint64_t packed = 0, size = 0;
    std::size_t localHeader = 0;
};

// Calls `visit` with each record of the archive's central directory, in its
// order, until it returns true or a record cannot be followed (the end
// record missing, a record out of the file or without its signature).
template <class Visit>
void walkDirectory(const std::string& bytes, Visit&& visit)
{
    constexpr std::size_t kEndRecord = 22;
    constexpr std::size_t kEntryHeader = 46;
    if (bytes.size() < kEndRecord)
        return;
    std::size_t end = bytes.size() - kEndRecord;
    const std::size_t lowest = bytes.size() > kEndRecord + 0xFFFF ? bytes.size() - kEndRecord - 0xFFFF : 0;
    while (le32(bytes, end) != 0x06054b50) {
        if (end == lowest)
            return;
        --end;
    }
    std::size_t at = le32(bytes, end + 16);
    const unsigned entries = le16(bytes, end + 10);
    for (unsigned i = 0; i < entries; ++i) {
        if (at + kEntryHeader > bytes.size() || le32(bytes, at) != 0x02014b50)
            return;
        const std::size_t nameLength = le16(bytes, at + 28);
        const std::size_t next = at + kEntryHeader + nameLength + le16(bytes, at + 30) + le16(bytes, at + 32);
        if (next > bytes.size())
            return;
        DirectoryRecord r;
        r.name = std::string_view(bytes).substr(at + kEntryHeader, nameLength);
        r.method = le16(bytes, at + 10);
        r.packed = le32(bytes, at + 20);
        r.size = le32(bytes, at + 24);
        r.localHeader = le32(bytes, at + 42);
        if (visit(r))
            return;
        at = next;
    }
}

// The name of the first entry of the archive's central directory whose
// declared size cannot be true: more than a stored entry holds, or more
// than deflating can shrink to its compressed size. orcus sets aside the
// declared size before it inflates, so a damaged file of a few kilobytes
// could ask for gigabytes. Empty when all sizes are possible or the
// directory cannot be found (orcus then says why).
std::string impossibleEntrySize(const std::string& bytes)
{
    constexpr std::uint64_t kDeflateRatio = 1032;  // the most deflate can shrink
    std::string impossible;
    walkDirectory(bytes, [&](const DirectoryRecord& r) {
        // orcus reads no Zip64 sizes: the marker 0xFFFFFFFF is taken for the
        // size itself (4 GB), and no workbook needs them, so it is checked
        // as any size.
        if ((r.method == 0 && r.size != r.packed) || (r.method == 8 && r.size > r.packed * kDeflateRatio + 0xFFFF) ||
            r.packed > bytes.size())
            impossible = r.name.empty() ? std::string("?") : std::string(r.name);
        return !impossible.empty();
    });
    return impossible;
}

// Where an entry's compressed data lies in the archive; nullopt when the
// central directory or the entry's local header cannot be followed.
struct EntryData {
    unsigned method = 0;
    std::size_t begin = 0, packed = 0;
};

std::optional<EntryData> entryData(const std::string& bytes, std::string_view name)
{
    constexpr std::size_t kLocalHeader = 30;
    std::optional<EntryData> found;
    walkDirectory(bytes, [&](const DirectoryRecord& r) {
        if (r.name != name)
            return false;
        const std::size_t local = r.localHeader;
        if (local + kLocalHeader > bytes.size() || le32(bytes, local) != 0x04034b50)
            return true;
        EntryData e;
        e.method = r.method;
        e.packed = static_cast<std::size_t>(r.packed);
        e.begin = local + kLocalHeader + le16(bytes, local + 26) + le16(bytes, local + 28);
        if (e.begin <= bytes.size() && e.packed <= bytes.size() - e.begin)
            found = e;
        return true;
    });
    return found;
}

// The qualified name of a part's root element, from its first bytes.
std::optional<std::string> rootName(std::string_view xml)
{
    std::size_t at = 0;
    for (;;) {
        at = xml.find('<', at);
        if (at == std::string_view::npos || at + 1 >= xml.size())
            return std::nullopt;
        if (xml.compare(at, 2, "<?") == 0) {
            at = xml.find("?>", at);
        } else if (xml.compare(at, 4, "<!--") == 0) {
            at = xml.find("-->", at);
        } else if (xml[at + 1] == '!') {
            return std::nullopt;  // a document type declaration: the whole part goes the full way
        } else {
            const std::size_t nameEnd = xml.find_first_of(" \t\r\n/>", at + 1);
            if (nameEnd == std::string_view::npos || nameEnd == at + 1)
                return std::nullopt;
            return std::string(xml.substr(at + 1, nameEnd - at - 1));
        }
        if (at == std::string_view::npos)
            return std::nullopt;
    }
}

// A worksheet part as orcus gets it, from its first bytes only: everything
// before its <sheetData> (the columns and views orcus reads precede it),
// an empty <sheetData/> and the root's end. Only the beginning is inflated,
// so a big sheet is not inflated here and again for its cells; what follows
// <sheetData> (nothing this program reads) is checked when the cells are
// read. Nullopt when the part is not of that shape: it then goes the full way.
std::optional<std::string> worksheetHead(const std::string& bytes, const std::string& name)
{
    constexpr std::size_t kMostHead = 4 << 20;
    const std::optional<EntryData> entry = entryData(bytes, name);
    if (!entry || entry->method != 8)
        return std::nullopt;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    struct End {
        z_stream* z;
        ~End() { inflateEnd(z); }
    } end{&z};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + entry->begin));
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(entry->packed, std::numeric_limits<uInt>::max()));
    std::string head;
    std::optional<SheetDataSpan> span;
    while (!span && head.size() < kMostHead) {
        const std::size_t had = head.size();
        head.resize(had + (64 << 10));
        z.next_out = reinterpret_cast<Bytef*>(head.data() + had);
        z.avail_out = 64 << 10;
        const int rc = inflate(&z, Z_NO_FLUSH);
        head.resize(head.size() - z.avail_out);
        if (rc != Z_OK && rc != Z_STREAM_END)
            return std::nullopt;
        span = findSheetDataStart(head);
        if (rc == Z_STREAM_END || head.size() == had)
            break;
    }
    if (!span || span->elementEnd != 0)
        return std::nullopt;  // no cells to spare, or none found soon enough
    const std::optional<std::string> root = rootName(head);
    if (!root)
        return std::nullopt;
    std::string part = head.substr(0, span->elementBegin);
    part += '<' + span->qualifiedName + "/></" + *root + '>';
    if (!wellFormedPart(part))
        return std::nullopt;
    return part;
}

// The archive as orcus gets it: every XML part well-formed, since orcus's
// parser reads past the end of some damaged parts (one that ends inside an
// attribute value holding "&", for one); and each worksheet's <sheetData>
// emptied, its cells left to readSheetData, which is many times faster for
// millions of cells and reads inline strings.
struct PreparedArchive {
    std::string damaged;  // the first part that is not well-formed; empty when none
    std::string zip;
    std::vector<std::string> sheetParts;  // by sheet index; empty when its cells stay with orcus
    std::vector<std::string> headsOnly;   // worksheet parts given to orcus by their beginning alone
};

// Targets given from the package root ("/xl/worksheets/sheet1.xml", as some
// programs write them) made relative to the folder of the relationships
// part's source, the only form orcus follows.
std::string relativeTargets(const std::string& relsName, std::string rels)
{
    const std::size_t marker = relsName.rfind("_rels/");
    if (marker == std::string::npos || rels.find("Target=\"/") == std::string::npos)
        return rels;
    const std::string folder = relsName.substr(0, marker);  // "xl/" for "xl/_rels/workbook.xml.rels"
    std::size_t at = 0;
    while ((at = rels.find("Target=\"/", at)) != std::string::npos) {
        const std::size_t begin = at + 8;
        const std::size_t end = rels.find('"', begin);
        if (end == std::string::npos)
            break;
        std::string target = rels.substr(begin + 1, end - begin - 1);  // from the root, no "/"
        std::string up;
        std::string common = folder;
        while (!common.empty() && target.rfind(common, 0) != 0) {
            common.pop_back();
            common.erase(common.rfind('/') == std::string::npos ? 0 : common.rfind('/') + 1);
            up += "../";
        }
        target = up + target.substr(common.size());
        rels.replace(begin, end - begin, target);
        at = begin + target.size();
    }
    return rels;
}

// Raises orcus::zip_error for a damaged archive.
PreparedArchive prepareArchive(const std::string& bytes)
{
    xmlInitParser();
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<std::string> names;
    for (std::size_t i = 0; i < archive.get_file_entry_count(); ++i)
        names.emplace_back(archive.get_file_entry_name(i));
    auto has = [&](const std::string& name) { return std::find(names.begin(), names.end(), name) != names.end(); };

    PreparedArchive prepared;
    std::vector<unsigned char> part;
    auto smallPart = [&](const std::string& name) -> std::optional<std::string> {
        if (!has(name) || !(name.ends_with(".xml") || name.ends_with(".rels")))
            return std::nullopt;
        part.clear();
        if (!archive.read_file_entry(name, part))
            return std::nullopt;
        std::string xml(part.begin(), part.end());
        if (!wellFormedPart(xml))
            return std::nullopt;
        return xml;
    };
    std::vector<std::string> sheetParts = worksheetPartNames(smallPart).value_or(std::vector<std::string>{});
    // A part as orcus gets it; false when it is damaged.
    auto prepare = [&sheetParts](const std::string& name, std::string_view bytesRead, std::string& data) {
        std::optional<SheetDataSpan> span;
        if (std::find(sheetParts.begin(), sheetParts.end(), name) != sheetParts.end())
            span = findSheetData(bytesRead);
        data = span ? withoutSheetData(bytesRead, *span) : std::string(bytesRead);
        if (name.ends_with(".rels"))
            data = relativeTargets(name, std::move(data));
        return !(name.ends_with(".xml") || name.ends_with(".rels")) || wellFormedPart(data);
    };
    std::vector<std::pair<std::string, std::string>> entries;
    std::vector<std::size_t> sheets;     // entries of the worksheets: inflated in parallel below
    std::vector<char> damaged;           // by entry
    for (const std::string& name : names) {
        if (name.empty() || name.back() == '/')
            continue;
        entries.emplace_back(name, std::string());
        damaged.push_back(0);
        if (std::find(sheetParts.begin(), sheetParts.end(), name) != sheetParts.end()) {
            sheets.push_back(entries.size() - 1);
            continue;
        }
        part.clear();
        damaged.back() = !archive.read_file_entry(name, part) ||
                         !prepare(name, std::string_view(reinterpret_cast<const char*>(part.data()), part.size()),
                                  entries.back().second);
    }
    // The worksheets hold nearly all of the bytes: each thread inflates
    // them from an archive reader of its own.
    struct Reader {
        std::unique_ptr<orcus::zip_archive_stream_blob> stream;
        std::unique_ptr<orcus::zip_archive> archive;
        std::vector<unsigned char> part;
    };
    std::vector<char> headOnly(sheets.size(), 0);
    forEachInParallel<Reader>(sheets.size(), [&](std::size_t k, Reader& r) {
        auto& [name, data] = entries[sheets[k]];
        if (std::optional<std::string> head = worksheetHead(bytes, name)) {
            data = std::move(*head);
            headOnly[k] = 1;
            return;
        }
        if (!r.archive) {
            r.stream = std::make_unique<orcus::zip_archive_stream_blob>(
                reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            r.archive = std::make_unique<orcus::zip_archive>(r.stream.get());
            r.archive->load();
        }
        r.part.clear();
        damaged[sheets[k]] = !r.archive->read_file_entry(name, r.part) ||
                             !prepare(name, std::string_view(reinterpret_cast<const char*>(r.part.data()), r.part.size()),
                                      data);
    });
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (damaged[i]) {
            prepared.damaged = entries[i].first;
            return prepared;
        }
    }
    for (std::size_t k = 0; k < sheets.size(); ++k)
        if (headOnly[k])
            prepared.headsOnly.push_back(entries[sheets[k]].first);
    prepared.zip = storedZip(entries);
    prepared.sheetParts = std::move(sheetParts);
    return prepared;
}

// The cells of sheet `index` read from its part in the original archive.
// The refusal of a damaged part, as the preparation words it.
std::string damagedPart(const std::string& name)
{
    return "uszkodzona cz\xEA\x9C\xE6 " + text::fromUtf8(name);
}

void readSheetCells(const PreparedArchive& prepared, const std::string& bytes, int index, ImportSheet& sheet)
{
    const std::vector<std::string>& sheetParts = prepared.sheetParts;
    if (index < 0 || static_cast<std::size_t>(index) >= sheetParts.size())
        return;
    const std::string& name = sheetParts[static_cast<std::size_t>(index)];
    // A part orcus had only the beginning of is checked whole here, as the
    // preparation checks every other part.
    const bool headOnly =
        std::find(prepared.headsOnly.begin(), prepared.headsOnly.end(), name) != prepared.headsOnly.end();
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<unsigned char> part;
    if (!archive.read_file_entry(name, part)) {
        if (headOnly)
            throw AutomationError(damagedPart(name));
        return;
    }
    std::string_view xml(reinterpret_cast<const char*>(part.data()), part.size());
    const std::optional<SheetDataSpan> span = findSheetData(xml);
    if (headOnly && (!span || !wellFormedPart(withoutSheetData(xml, *span))))
        throw AutomationError(damagedPart(name));
    if (span)
        readSheetData(xml.substr(span->contentBegin, span->contentEnd - span->contentBegin), sheet, name);
}

}  // namespace

std::unique_ptr<Workbook> loadWorkbookFile(const std::filesystem::path& path)
{
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        throw AutomationError("Nie ma pliku " + displayPath(path));
    if (std::filesystem::is_directory(status))
        throw AutomationError(displayPath(path) + " jest folderem, nie skoroszytem");
    std::string bytes = readAll(path);
    auto notAWorkbook = [&](const std::string& why) {
        return AutomationError("Plik " + displayPath(path) + " nie jest czytelnym skoroszytem (" + why + ")");
    };
    if (bytes.empty())
        throw notAWorkbook("pusty plik");
    // Detection parses parts of the file, so the parts are checked first.
    orcus::format_t format = orcus::format_t::unknown;
    PreparedArchive prepared;
    try {
        if (bytes.size() < 2 || bytes.compare(0, 2, "PK") != 0)
            throw notAWorkbook("to nie jest skoroszyt Office Open XML");
        std::string damaged = impossibleEntrySize(bytes);
        if (damaged.empty()) {
            prepared = prepareArchive(bytes);
            damaged = prepared.damaged;
        }
        if (!damaged.empty())
            throw notAWorkbook(damagedPart(damaged));
        format = orcus::detect(reinterpret_cast<const unsigned char*>(prepared.zip.data()), prepared.zip.size());
    } catch (const AutomationError&) {
        throw;
    } catch (const std::exception& e) {
        throw notAWorkbook(text::fromUtf8(e.what()));
    }
    if (format != orcus::format_t::xlsx)
        throw notAWorkbook("to nie jest skoroszyt Office Open XML");

    auto wb = std::make_unique<Workbook>(text::fromUtf8(path.filename().string()));
    try {
        ImportFactory factory(*wb);
        factory.setSheetDataReader([&](int index, ImportSheet& sheet) {
            readSheetCells(prepared, bytes, index, sheet);
        });
        orcus::orcus_xlsx filter(&factory);
        filter.read_stream(prepared.zip);
    } catch (const AutomationError& e) {
        throw notAWorkbook(e.what());
    } catch (const std::exception& e) {
        throw notAWorkbook(text::fromUtf8(e.what()));
    }
    if (wb->sheetCount() == 0)
        throw notAWorkbook("brak arkuszy");
    wb->setModified(false);
    return wb;
}

}  // namespace zbir::workbook
