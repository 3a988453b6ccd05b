#include "xlsx/workbook_file.h"
#include "xlsx/parallel.h"

#include "base/durable_file.h"
#include "spreadsheet/automation.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/text_codec.h"
#include "spreadsheet/text_metrics.h"
#include "xlsx/package_writer.h"
#include "xlsx/zip_check.h"
#include "xlsx/zip_join.h"

#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <xlsxwriter.h>

#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <unordered_map>

namespace zbir::workbook {

std::string displayPath(const std::filesystem::path& path)
{
    return text::fromUtf8(path.string());
}

namespace {

// Why a save failed, as program text.
class SaveError {
public:
    std::string reason;
};

void check(lxw_error e)
{
    if (e != LXW_NO_ERROR)
        throw SaveError{text::fromUtf8(lxw_strerror(e))};
}

// One libxlsxwriter workbook being written.
class XlsxWriter {
public:
    // `styles`: every style the workbook uses, in the order their formats
    // are made, so that writers of the same workbook number them alike.
    XlsxWriter(Workbook& wb, const std::filesystem::path& path, const std::vector<std::uint32_t>& styles)
        : m_wb(wb), m_styles(styles), m_folder(path.parent_path().string())
    {
        lxw_workbook_options options{};
        options.tmpdir = m_folder.data();
        options.constant_memory = LXW_TRUE;  // rows go to a file as written; texts inline
        m_book = workbook_new_opt(path.c_str(), &options);
        if (!m_book)
            throw SaveError{"libxlsxwriter nie utworzy\xB3 skoroszytu"};
    }
    ~XlsxWriter()
    {
        if (m_book)
            lxw_workbook_free(m_book);
    }
    XlsxWriter(const XlsxWriter&) = delete;
    XlsxWriter& operator=(const XlsxWriter&) = delete;

    // The whole workbook in one package.
    void writeWhole()
    {
        std::vector<lxw_worksheet*> sheets = addAllSheets();
        prepareFormats();
        writeAllRows(sheets);
        for (int i = 0; i < m_wb.sheetCount(); ++i)
            finishSheet(sheets[static_cast<std::size_t>(i)], i);
        close();
    }

    // Every part of the workbook's package but its sheets' rows.
    void writeSkeleton()
    {
        std::vector<lxw_worksheet*> sheets = addAllSheets();
        prepareFormats();
        for (int i = 0; i < m_wb.sheetCount(); ++i)
            finishSheet(sheets[static_cast<std::size_t>(i)], i);
        close();
    }

    // Sheet `index` whole, as the second sheet of a package of its own
    // (xl/worksheets/sheet2.xml): behind an empty first sheet it is selected
    // only when it is the workbook's active sheet, as in the whole package.
    void writeSheetAlone(int index, std::string& buffer)
    {
        const Sheet& sheet = m_wb.sheet(index);
        const char* placeholder = sheet.name() == "A" || sheet.name() == "a" ? "B" : "A";
        if (!workbook_add_worksheet(m_book, placeholder))
            throw SaveError{"libxlsxwriter nie przyj\xB9\xB3 nazwy arkusza"};
        lxw_worksheet* ws = workbook_add_worksheet(m_book, utf8(sheet.name()));
        if (!ws)
            throw SaveError{"libxlsxwriter nie przyj\xB9\xB3 nazwy arkusza"};
        prepareFormats();
        writeRows(ws, sheet, buffer);
        finishSheet(ws, index);
        close();
    }

    // The style of every cell, row and column of the workbook, in id order.
    static std::vector<std::uint32_t> usedStyles(const Workbook& wb)
    {
        std::vector<bool> used(wb.styles().size(), false);
        auto mark = [&](std::int64_t style) {
            if (style > 0 && static_cast<std::size_t>(style) < used.size())
                used[static_cast<std::size_t>(style)] = true;
        };
        for (int i = 0; i < wb.sheetCount(); ++i) {
            const Sheet& sheet = wb.sheet(i);
            for (int row = 1; row <= sheet.usedRows(); ++row) {
                mark(sheet.rowStyle(row));
                for (const Cell& cell : sheet.rowCells(row))
                    mark(cell.style);
            }
            for (int c = 1; c <= std::min(sheet.usedColumns() + 1, kMaxColumns); ++c) {
                std::int32_t style = sheet.columnStyle(c);
                mark(style >= 0 ? style : static_cast<std::int64_t>(sheet.defaultStyle()));
            }
        }
        std::vector<std::uint32_t> styles;
        for (std::size_t style = 1; style < used.size(); ++style)
            if (used[style])
                styles.push_back(static_cast<std::uint32_t>(style));
        return styles;
    }

private:
    Workbook& m_wb;
    const std::vector<std::uint32_t>& m_styles;
    std::string m_folder;
    lxw_workbook* m_book = nullptr;
    std::unordered_map<std::uint32_t, lxw_format*> m_formats;
    std::string m_utf8;

    // A NUL-terminated UTF-8 form of program text; valid until the next
    // call with the same buffer.
    static const char* utf8(std::string& buffer, std::string_view programText, const char* cstr = nullptr)
    {
        if (cstr && text::isAscii(programText))
            return cstr;
        buffer.clear();
        text::appendUtf8(buffer, programText);
        return buffer.c_str();
    }
    const char* utf8(std::string_view programText) { return utf8(m_utf8, programText); }

    std::vector<lxw_worksheet*> addAllSheets()
    {
        std::vector<lxw_worksheet*> sheets;
        for (int i = 0; i < m_wb.sheetCount(); ++i) {
            lxw_worksheet* ws = workbook_add_worksheet(m_book, utf8(m_wb.sheet(i).name()));
            if (!ws)
                throw SaveError{"libxlsxwriter nie przyj\xB9\xB3 nazwy arkusza"};
            sheets.push_back(ws);
        }
        return sheets;
    }

    // The format of every style, made before the rows are written on several
    // threads, which then only look formats up; each format's index is fixed
    // here, in the order given, where libxlsxwriter would fix it on first use.
    void prepareFormats()
    {
        for (std::uint32_t style : m_styles)
            lxw_format_get_xf_index(format(style));
    }

    // Columns, frozen rows and the active mark, after the rows: rows are
    // written out as they end (constant memory), and a column format to the
    // last column, given first, would make each row visit all 16,384 columns.
    void finishSheet(lxw_worksheet* ws, int index)
    {
        const Sheet& sheet = m_wb.sheet(index);
        writeColumns(ws, sheet);
        if (sheet.splitRow() > 0)
            worksheet_freeze_panes(ws, static_cast<lxw_row_t>(sheet.splitRow()), 0);
        if (index == m_wb.activeSheetIndex())
            worksheet_activate(ws);
    }

    void close()
    {
        lxw_workbook* book = m_book;
        m_book = nullptr;  // closing frees it, whatever the outcome
        check(workbook_close(book));
    }

    lxw_format* preparedFormat(std::uint32_t styleId) const
    {
        if (styleId == 0)
            return nullptr;
        auto it = m_formats.find(styleId);
        if (it == m_formats.end())
            throw SaveError{"libxlsxwriter nie doda\xB3 formatu"};
        return it->second;
    }

    // Every sheet's rows, the biggest sheets first, on as many threads as
    // there are processors: a worksheet in constant memory writes its rows
    // to a file of its own.
    void writeAllRows(const std::vector<lxw_worksheet*>& sheets)
    {
        std::vector<int> order(sheets.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            return m_wb.sheet(a).cellCount() > m_wb.sheet(b).cellCount();
        });
        forEachInParallel<std::string>(order.size(), [&](std::size_t k, std::string& buffer) {
            const auto i = static_cast<std::size_t>(order[k]);
            writeRows(sheets[i], m_wb.sheet(static_cast<int>(i)), buffer);
        });
    }

    lxw_format* format(std::uint32_t styleId)
    {
        if (styleId == 0)
            return nullptr;
        auto it = m_formats.find(styleId);
        if (it != m_formats.end())
            return it->second;
        const StyleTable& styles = m_wb.styles();
        const Style& s = styles.style(styleId);
        lxw_format* f = workbook_add_format(m_book);
        if (!f)
            throw SaveError{"libxlsxwriter nie doda\xB3 formatu"};
        const std::string& code = styles.format(s.numberFormat).code();
        int builtin = portableBuiltinFormatId(code);
        if (builtin > 0)
            format_set_num_format_index(f, static_cast<std::uint8_t>(builtin));
        else if (builtin < 0)
            format_set_num_format(f, utf8(code));
        if (s.fontSize != static_cast<float>(metrics::kDefaultFontSize))
            format_set_font_size(f, s.fontSize);
        if (s.bold)
            format_set_bold(f);
        switch (s.align) {
        case HAlign::General: break;
        case HAlign::Left: format_set_align(f, LXW_ALIGN_LEFT); break;
        case HAlign::Center: format_set_align(f, LXW_ALIGN_CENTER); break;
        case HAlign::Right: format_set_align(f, LXW_ALIGN_RIGHT); break;
        }
        m_formats.emplace(styleId, f);
        return f;
    }

    // Column widths and styles as non-overlapping runs up to the last column.
    void writeColumns(lxw_worksheet* ws, const Sheet& sheet)
    {
        auto widthOf = [&](int c) { return sheet.columnWidth(c); };
        auto styleOf = [&](int c) {
            std::int32_t s = sheet.columnStyle(c);
            return s >= 0 ? static_cast<std::uint32_t>(s) : sheet.defaultStyle();
        };
        int first = 1;
        while (first <= kMaxColumns) {
            int last = first;
            double width = widthOf(first);
            std::uint32_t style = styleOf(first);
            if (first > sheet.usedColumns()) {
                last = kMaxColumns;
            } else {
                while (last < sheet.usedColumns() && widthOf(last + 1) == width && styleOf(last + 1) == style)
                    ++last;
            }
            if (width != metrics::kDefaultColumnWidth || style != 0)
                check(worksheet_set_column(ws, static_cast<lxw_col_t>(first - 1), static_cast<lxw_col_t>(last - 1),
                                           width, format(style)));
            first = last + 1;
        }
    }

    void writeCell(lxw_worksheet* ws, int row, const Cell& cell, std::string& buffer) const
    {
        auto r = static_cast<lxw_row_t>(row - 1);
        auto c = static_cast<lxw_col_t>(cell.col - 1);
        lxw_format* f = preparedFormat(cell.style);
        switch (cell.kind) {
        case CellKind::Blank:
            if (f)
                check(worksheet_write_blank(ws, r, c, f));
            break;
        case CellKind::Number: check(worksheet_write_number(ws, r, c, cell.number, f)); break;
        case CellKind::Text:
            check(worksheet_write_string(ws, r, c, utf8(buffer, cell.textView(), cell.textCStr()), f));
            break;
        case CellKind::Bool: check(worksheet_write_boolean(ws, r, c, cell.number != 0, f)); break;
        case CellKind::Error: {
            std::string e(errorText(cell.error));
            check(worksheet_write_formula_str(ws, r, c, e.c_str(), f, e.c_str()));
            break;
        }
        case CellKind::Formula: writeFormula(ws, row, cell, f, buffer); break;
        }
    }

    void writeFormula(lxw_worksheet* ws, int row, const Cell& cell, lxw_format* f, std::string& buffer) const
    {
        auto r = static_cast<lxw_row_t>(row - 1);
        auto c = static_cast<lxw_col_t>(cell.col - 1);
        const Formula& formula = m_wb.formulas().formula(cell.formula);
        if (!formula.tree) {
            // Text the engine could not read as a formula stays as the text written.
            check(worksheet_write_string(ws, r, c, utf8(buffer, formula.source), f));
            return;
        }
        std::string a1 = text::toUtf8(printFormulaA1(*formula.tree, row, cell.col, m_wb));
        const CellValue& v = formula.value;
        switch (v.kind) {
        case CellValue::Kind::Empty: check(worksheet_write_formula_num(ws, r, c, a1.c_str(), f, 0)); break;
        case CellValue::Kind::Number: check(worksheet_write_formula_num(ws, r, c, a1.c_str(), f, v.number)); break;
        case CellValue::Kind::Bool:
            check(worksheet_write_formula_num(ws, r, c, a1.c_str(), f, v.boolean ? 1 : 0));
            break;
        case CellValue::Kind::Text:
            check(worksheet_write_formula_str(ws, r, c, a1.c_str(), f, utf8(buffer, v.text)));
            break;
        case CellValue::Kind::Error: {
            std::string e(errorText(v.error));
            check(worksheet_write_formula_str(ws, r, c, a1.c_str(), f, e.c_str()));
            break;
        }
        }
    }

    void writeRows(lxw_worksheet* ws, const Sheet& sheet, std::string& buffer) const
    {
        for (int row = 1; row <= sheet.usedRows(); ++row) {
            bool height = sheet.rowHeightSet(row);
            std::int32_t style = sheet.rowStyle(row);
            if (height || style >= 0)
                check(worksheet_set_row(ws, static_cast<lxw_row_t>(row - 1),
                                        height ? sheet.rowHeight(row) : LXW_DEF_ROW_HEIGHT,
                                        style >= 0 ? preparedFormat(static_cast<std::uint32_t>(style)) : nullptr));
            for (const Cell& cell : sheet.rowCells(row))
                writeCell(ws, row, cell, buffer);
        }
    }
};

// Whether an XML part's text (or its first and last bytes) ends with the end of its root.
bool endsWithRootEnd(std::string_view s)
{
    auto start = s.find('<', s.rfind("?>") == std::string_view::npos ? 0 : s.find("?>"));
    if (start == std::string_view::npos)
        return false;
    auto nameEnd = s.find_first_of(" \t\r\n/>", start + 1);
    if (nameEnd == std::string_view::npos)
        return false;
    std::string closing = "</" + std::string(s.substr(start + 1, nameEnd - start - 1)) + ">";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\0'))
        s.remove_suffix(1);
    return s.ends_with(closing) || (s.ends_with("/>") && s.find('<', start + 1) == std::string_view::npos);
}

// libxlsxwriter does not notice every failed write (a full disk gives a cut
// file and success), so the written file is read back: every part must be
// whole (its CRC and size as recorded, its XML ending with its root's end)
// before it may replace the old file. One streaming read, no parse.
void verify(const std::filesystem::path& path, int sheets)
{
    try {
        std::vector<CheckedZipEntry> parts;
        try {
            parts = checkZipFile(path);
        } catch (const ZipCheckError& e) {
            throw SaveError{text::fromUtf8(e.what())};
        }
        int sheetParts = 0;
        bool workbookPart = false;
        for (const CheckedZipEntry& part : parts) {
            const std::string& name = part.name;
            if (name.empty() || name.back() == '/')
                continue;
            if ((name.ends_with(".xml") || name.ends_with(".rels")) && !endsWithRootEnd(part.edges))
                throw SaveError{"zapisany plik jest niepe\xB3ny (" + name + ")"};
            sheetParts += name.starts_with("xl/worksheets/sheet") ? 1 : 0;
            workbookPart = workbookPart || name == "xl/workbook.xml";
        }
        if (!workbookPart || sheetParts != sheets)
            throw SaveError{"w zapisanym pliku brak cz\xEA\x9C" "ci skoroszytu"};
    } catch (const orcus::zip_error& e) {
        throw SaveError{std::string("zapisany plik jest uszkodzony: ") + e.what()};
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const SaveError&) {
        throw;
    } catch (const std::exception& e) {
        throw SaveError{std::string("zapisany plik jest uszkodzony: ") + e.what()};
    }
}

std::filesystem::path temporaryPath(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    auto name = ".~" + target.filename().string() + "." + std::to_string(::getpid()) + "-" +
                std::to_string(counter++) + ".tmp";
    return target.parent_path() / name;
}

// Removes what saves of `target` left when their process was killed: the
// temporaries (the package and its parts) of a process that no longer runs.
// A running process's are its own, still being written.
void removeLeftTemporaries(const std::filesystem::path& target)
{
    const std::string prefix = ".~" + target.filename().string() + ".";
    std::error_code ec;
    std::filesystem::directory_iterator it(target.parent_path(), ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0 || !name.ends_with(".tmp"))
            continue;
        const std::size_t dash = name.find('-', prefix.size());
        if (dash == std::string::npos || dash == prefix.size() || dash - prefix.size() > 9 ||
            name.find_first_not_of("0123456789", prefix.size()) != dash)
            continue;
        const auto pid = static_cast<pid_t>(std::stol(name.substr(prefix.size(), dash - prefix.size())));
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        std::error_code removed;
        std::filesystem::remove(it->path(), removed);
    }
}

// Removes the files it holds when it goes.
class PartFiles {
public:
    explicit PartFiles(std::vector<std::filesystem::path> paths) : m_paths(std::move(paths)) {}
    ~PartFiles()
    {
        std::error_code ec;
        for (const auto& p : m_paths)
            std::filesystem::remove(p, ec);
    }
    PartFiles(const PartFiles&) = delete;
    PartFiles& operator=(const PartFiles&) = delete;
    const std::filesystem::path& operator[](std::size_t i) const { return m_paths[i]; }

private:
    std::vector<std::filesystem::path> m_paths;
};

// More threads than processors: a few big sheets then share the processors
// evenly instead of one thread writing the last of them alone.
constexpr std::size_t kPackageThreads = 8;

// Each sheet in a package of its own and the rest of the workbook in one
// more, on all processors (deflating is most of a big save's time), then
// joined into `path`. False when the joined file would need zip64.
bool writePackageInParallel(Workbook& wb, const std::filesystem::path& path,
                            const std::vector<std::uint32_t>& styles)
{
    const auto sheets = static_cast<std::size_t>(wb.sheetCount());
    std::vector<std::filesystem::path> names;
    for (std::size_t i = 0; i <= sheets; ++i)
        names.push_back(std::filesystem::path(path).replace_extension(std::to_string(i) + ".tmp"));
    PartFiles parts(std::move(names));  // parts[sheets]: the rest

    std::vector<std::size_t> order(sheets);
    for (std::size_t i = 0; i < sheets; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return wb.sheet(static_cast<int>(a)).cellCount() > wb.sheet(static_cast<int>(b)).cellCount();
    });
    order.push_back(sheets);
    forEachInParallel<std::string>(order.size(), [&](std::size_t k, std::string& buffer) {
        const std::size_t i = order[k];
        if (i == sheets)
            XlsxWriter(wb, parts[i], styles).writeSkeleton();
        else
            XlsxWriter(wb, parts[i], styles).writeSheetAlone(static_cast<int>(i), buffer);
    }, kPackageThreads);

    std::vector<ZipReplacement> replacements;
    for (std::size_t i = 0; i < sheets; ++i)
        replacements.push_back({"xl/worksheets/sheet" + std::to_string(i + 1) + ".xml", parts[i],
                                "xl/worksheets/sheet2.xml"});
    try {
        return joinZipArchives(parts[sheets], replacements, path);
    } catch (const ZipCheckError& e) {
        throw SaveError{text::fromUtf8(e.what())};
    }
}

void writeAnyPackage(Workbook& wb, const std::filesystem::path& path, PackageWriting how)
{
    const std::vector<std::uint32_t> styles = XlsxWriter::usedStyles(wb);
    const bool parallel = how == PackageWriting::SheetsInParallel ||
                          (how == PackageWriting::Fastest && wb.sheetCount() > 1 &&
                           std::thread::hardware_concurrency() > 1);
    if (parallel && writePackageInParallel(wb, path, styles))
        return;
    XlsxWriter(wb, path, styles).writeWhole();
}

}  // namespace

void writePackage(Workbook& wb, const std::filesystem::path& path, PackageWriting how)
{
    try {
        writeAnyPackage(wb, path, how);
    } catch (const SaveError& e) {
        throw AutomationError(e.reason);
    }
}

void saveWorkbookFile(Workbook& wb, const std::filesystem::path& path)
{
    wb.formulas().evaluateDirty(nullptr);
    auto target = path.has_parent_path() ? path : std::filesystem::path(".") / path;
    removeLeftTemporaries(target);
    auto temporary = temporaryPath(target);
    std::error_code ec;
    try {
        writeAnyPackage(wb, temporary, PackageWriting::Fastest);
        verify(temporary, wb.sheetCount());
        ec = base::durable::replace(temporary, target, "workbook");
        if (ec)
            throw SaveError{text::fromUtf8(ec.message())};
    } catch (const SaveError& e) {
        std::filesystem::remove(temporary, ec);
        throw AutomationError("Nie mo\xBFna zapisa\xE6 pliku " + displayPath(path) + ": " + e.reason);
    } catch (...) {
        std::filesystem::remove(temporary, ec);
        throw;
    }
}

}  // namespace zbir::workbook
