#include "xlsx/workbook_file.h"

#include "spreadsheet/automation.h"
#include "xlsx/import_factory.h"
#include "xlsx/parallel.h"
#include "xlsx/sheet_data_reader.h"
#include "spreadsheet/text_codec.h"

#include <libxml/parser.h>
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

// The name of the first entry of the archive's central directory whose
// declared size cannot be true: more than a stored entry holds, or more
// than deflating can shrink to its compressed size. orcus sets aside the
// declared size before it inflates, so a damaged file of a few kilobytes
// could ask for gigabytes. Empty when all sizes are possible or the
// directory cannot be found (orcus then says why).
std::string impossibleEntrySize(const std::string& bytes)
{
    constexpr std::size_t kEndRecord = 22;
    constexpr std::size_t kEntryHeader = 46;
    constexpr std::uint64_t kDeflateRatio = 1032;  // the most deflate can shrink
    if (bytes.size() < kEndRecord)
        return {};
    std::size_t end = bytes.size() - kEndRecord;
    const std::size_t lowest = bytes.size() > kEndRecord + 0xFFFF ? bytes.size() - kEndRecord - 0xFFFF : 0;
    while (le32(bytes, end) != 0x06054b50) {
        if (end == lowest)
            return {};
        --end;
    }
    std::size_t at = le32(bytes, end + 16);
    const unsigned entries = le16(bytes, end + 10);
    for (unsigned i = 0; i < entries; ++i) {
        if (at + kEntryHeader > bytes.size() || le32(bytes, at) != 0x02014b50)
            return {};
        const unsigned method = le16(bytes, at + 10);
        const std::uint64_t packed = le32(bytes, at + 20);
        const std::uint64_t size = le32(bytes, at + 24);
        const std::size_t nameLength = le16(bytes, at + 28);
        const std::size_t next = at + kEntryHeader + nameLength + le16(bytes, at + 30) + le16(bytes, at + 32);
        if (next > bytes.size())
            return {};
        const std::string name = bytes.substr(at + kEntryHeader, nameLength);
        // orcus reads no Zip64 sizes: the marker 0xFFFFFFFF is taken for the
        // size itself (4 GB), and no workbook needs them, so it is checked
        // as any size.
        if ((method == 0 && size != packed) || (method == 8 && size > packed * kDeflateRatio + 0xFFFF) ||
            packed > bytes.size())
            return name.empty() ? std::string("?") : name;
        at = next;
    }
    return {};
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
    forEachInParallel<Reader>(sheets.size(), [&](std::size_t k, Reader& r) {
        auto& [name, data] = entries[sheets[k]];
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
    prepared.zip = storedZip(entries);
    prepared.sheetParts = std::move(sheetParts);
    return prepared;
}

// The cells of sheet `index` read from its part in the original archive.
void readSheetCells(const std::string& bytes, const std::vector<std::string>& sheetParts, int index,
                    ImportSheet& sheet)
{
    if (index < 0 || static_cast<std::size_t>(index) >= sheetParts.size())
        return;
    const std::string& name = sheetParts[static_cast<std::size_t>(index)];
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<unsigned char> part;
    if (!archive.read_file_entry(name, part))
        return;
    std::string_view xml(reinterpret_cast<const char*>(part.data()), part.size());
    if (auto span = findSheetData(xml))
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
            throw notAWorkbook("uszkodzona cz\xEA\x9C\xE6 " + text::fromUtf8(damaged));
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
            readSheetCells(bytes, prepared.sheetParts, index, sheet);
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
