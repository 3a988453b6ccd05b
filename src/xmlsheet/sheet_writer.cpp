#include "xmlsheet/sheet_writer.h"

#include "operation/operation.h"
#include "base/formatters.h"
#include "encoding/charset.h"
#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"
#include "spreadsheet/automation.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/input_checks.h"
#include "xmlsheet/messages.h"
#include "xmlsheet/xml_scanner.h"

#include <algorithm>

namespace zbir::xmlsheet {

using base::integerText;

namespace {

constexpr int kProgressEvery = 100;  // records between progress reports
constexpr std::size_t kMaxSheetName = 31;

bool forbiddenInSheetName(char c)
{
    return std::string_view(":\\/?*[]").find(c) != std::string_view::npos ||
           static_cast<unsigned char>(c) < 0x20;
}

// UTF-8 as libxml2 hands it over, in program text.
std::string programText(const std::string& utf8)
{
    return std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })
               ? utf8
               : encoding::utf8ToWindows1250(utf8);
}

std::string baseName(const std::string& fileName)
{
    return fileName.substr(0, fileName.find('.'));
}

}  // namespace

std::vector<std::string> schemaMessages(const std::string& fileName, const jpkforms::CheckResult& check)
{
    std::vector<std::string> out;
    for (const jpkforms::SchemaProblem& p : check.problems) {
        std::string text = fileName;
        if (p.line > 0)
            text += msg::schemaLine(p.line);
        out.push_back(text + ": " + programText(p.message));
    }
    if (out.empty() && check.verdict != jpkforms::Verdict::Valid)
        out.push_back(msg::notSchemaValid(fileName));
    return out;
}

std::string sheetNameFor(const std::string& fileName)
{
    std::string base = baseName(fileName);
    return base.size() > 16 ? base.substr(16, 99) : std::string();
}

bool sameSheetName(const std::string& a, const std::string& b)
{
    return encoding::equalIgnoringCase(a, b);
}

bool isValidSheetName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxSheetName && name.front() != '\'' && name.back() != '\'' &&
           std::none_of(name.begin(), name.end(), forbiddenInSheetName) && !sameSheetName(name, "History");
}

std::string fallbackSheetName(const std::string& fileName, int attempt)
{
    std::string name = sheetNameFor(fileName);
    if (name.empty())
        name = baseName(fileName);
    if (name.empty())
        name = "Arkusz";
    std::replace_if(name.begin(), name.end(), forbiddenInSheetName, '_');
    const std::string suffix = attempt > 0 ? " (" + integerText(attempt + 1) + ")" : std::string();
    name.resize(std::min(name.size(), kMaxSheetName - suffix.size()));
    if (name.front() == '\'')
        name.front() = '_';
    if (name.back() == '\'')
        name.back() = '_';
    if (sameSheetName(name, "History"))
        name += '_';
    return name + suffix;
}

TransportContext::TransportContext(operation::Operation& a, workbook::Application& x) : app(a), xl(x) {}

TransportContext::~TransportContext() = default;

SheetWriter::SheetWriter(TransportContext& ctx, int index, ScanConsumer* copy)
    : m_ctx(ctx),
      m_map(&ctx.map),
      m_xl(ctx.xl),
      m_index(index),
      m_copy(copy),
      m_fileName(ctx.app.files().at(static_cast<std::size_t>(index)))
{
}

void SheetWriter::start()
{
    operation::Operation& app = m_ctx.app;
    app.showProgress(m_fileName);
    app.reportProgress({m_index, static_cast<int>(app.files().size()), m_ctx.records});

    app.processEvents();
    m_xl.setScreenUpdating(false);
    m_xl.sheetsAddAfter(m_index + 1);
    nameSheet();
    m_xl.cellsSelect();
    m_xl.selectionSetNumberFormat("@");
    m_xl.selectionSetFontSize(8);
    m_xl.selectionSetColumnWidth(0.14);
    m_xl.setCellValue(1, kTextColumn, m_fileName);
    if (!m_rootNamespace.empty())
        m_xl.setCellValue(1, kNamespaceColumn, m_rootNamespace);
    m_xl.rangeSelect("A1");

    for (int i = 1; i <= m_map->count(); ++i) {
        const FieldEntry& e = m_map->entry(i);
        switch (e.kind) {
        case 'C': m_xl.setColumnHorizontalAlignment(e.column, workbook::xl::Center); break;
        case 'P': m_xl.setColumnHorizontalAlignment(e.column, workbook::xl::Right); break;
        case 'K': m_xl.setColumnNumberFormat(e.column, "# ##0,00"); break;
        default: break;
        }
    }
}

// The asked-for name when the spreadsheet takes it; otherwise the first valid,
// unused name derived from the file name, so that one odd file name does not
// end the whole transport.
void SheetWriter::nameSheet()
{
    const int self = m_xl.activeSheetIndex();
    const int count = m_xl.sheetsCount();
    std::vector<std::string> others;
    for (int i = 1; i <= count; ++i)
        if (i != self)
            others.push_back(m_xl.sheetsName(i));
    auto usable = [&](const std::string& name) {
        if (!isValidSheetName(name))
            return false;
        for (const std::string& o : others)
            if (sameSheetName(o, name))
                return false;
        try {
            m_xl.activeSheetSetName(name);
        } catch (const workbook::AutomationError&) {
            return false;
        }
        return true;
    };

    bool named = usable(sheetNameFor(m_fileName));
    for (int attempt = 0; !named && attempt <= count + 1; ++attempt)
        named = usable(fallbackSheetName(m_fileName, attempt));
    if (!named)
        throw workbook::AutomationError(msg::noSheetName(m_fileName));
    m_sheetName = m_xl.activeSheetName();
}

void SheetWriter::countRecord()
{
    if (++m_ctx.records % kProgressEvery == 0)
        m_ctx.app.reportProgress({m_index, static_cast<int>(m_ctx.app.files().size()), m_ctx.records});
}

void SheetWriter::writeCell(int column, const std::string& value, bool formula)
{
    const int r = m_row;
    if (value == "false")
        return;
    if (FieldEntry* e = m_map->findEntryForColumn(column); e && e->kind == 'K') {
        if (value == "0")
            return;
        e->filled = 'L';
    }
    if (formula) {
        m_xl.setCellFormulaR1C1(r, column, value);
        m_xl.setCellFormulaR1C1(1, column, value);
    } else {
        // The spreadsheet takes "=..." as a formula unless the cell is text.
        if (value.starts_with('='))
            m_xl.setCellNumberFormat(r, column, "@");
        m_xl.setCellValue(r, column, value);
    }
    // A level-2 opening tag shows the sheet growing.
    const bool refresh = column == kStructureBase + 2 && !(value.size() > 1 && value[1] == '/');
    if (refresh)
        m_xl.setScreenUpdating(true);
    m_xl.cellSelect(r, column);
    if (column == 1 && (r - m_recordTagRow) % 5 == 0)
        m_xl.setScreenUpdating(true);
    if (formula || r < 500 || r % 1000 < 30)
        m_xl.cellsAutoFit();
    m_xl.cellSelect(r, 1);
    if (refresh || column == 1) {
        m_ctx.app.processEvents();
        m_xl.setScreenUpdating(false);
    }
}

void SheetWriter::writeInNewRow(int column, const std::string& value)
{
    ++m_row;
    writeCell(column, value);
}

void SheetWriter::declaration(const Declaration& item)
{
    if (m_copy)
        m_copy->declaration(item);
    writeInNewRow(kTextColumn, item.text);
}

void SheetWriter::comment(const Comment& item)
{
    if (m_copy)
        m_copy->comment(item);
    writeInNewRow(kTextColumn, item.text);
}

void SheetWriter::opening(const ContainerOpening& item)
{
    if (m_copy)
        m_copy->opening(item);
    if (item.cls == OpeningClass::RecordRepeat) {
        ++m_row;
        countRecord();
        return;
    }
    if (item.cls == OpeningClass::RecordStart) {
        m_recordTagRow = m_row + 1;
        m_headingsWanted = true;
        countRecord();
    } else if (item.cls == OpeningClass::Control) {
        m_headingsWanted = false;
    }
    writeInNewRow(kStructureBase + item.level, item.tag);
    writeCell(kTextColumn, item.attributes);
    if (m_headingsWanted)
        ++m_row;
}

void SheetWriter::closing(const ContainerClosing& item)
{
    if (m_copy)
        m_copy->closing(item);
    if (!item.recordListRunning)
        writeInNewRow(kStructureBase + item.level, item.tag);
}

void SheetWriter::element(const Element& item)
{
    if (m_copy)
        m_copy->element(item);
    if (item.column == FieldMap::kUnmappedColumn) {
        writeInNewRow(kStructureBase + item.level, item.tag);
        writeCell(FieldMap::kUnmappedColumn, item.value);
        if (!item.attributes.empty())
            writeCell(kTextColumn, item.attributes);
        return;
    }
    if (m_row == 0)  // a field before anything else: row 0 does not exist
        m_row = 1;
    if (m_headingsWanted) {
        if (!m_xl.cellValue(m_row, item.column).empty())
            m_headingsWanted = false;
        else if (!item.value.empty() && item.value != "false")
            m_xl.setCellValue(m_recordTagRow, item.column, item.tag);
    }
    writeCell(item.column, item.value);
    if (!item.attributes.empty())
        writeCell(kTextColumn, item.attributes);
}

void SheetWriter::finish()
{
    m_xl.setScreenUpdating(true);
    const int totalsRow = ++m_row;
    // Rows 2 .. totals row - 1 hold the file; with none of them a SUM would
    // run backwards over row 1 and the totals row themselves.
    if (totalsRow > 2) {
        const std::string sum = "=SUM(R2C:R" + integerText(totalsRow - 1) + "C)";
        for (int i = 1; i <= m_map->count(); ++i) {
            const FieldEntry& e = m_map->entry(i);
            if (e.filled == 'L')
                writeCell(e.column, sum, true);
        }
    }
    writeCell(1, "LuKa-Werks");
    m_ctx.app.reportProgress({m_index, static_cast<int>(m_ctx.app.files().size()), m_ctx.records});
}

void transportFile(TransportContext& ctx, int index)
{
    operation::Operation& app = ctx.app;
    auto inputPath = [&app](std::size_t i) { return app.resolve("..\\" + app.files().at(i)); };
    const std::filesystem::path input = inputPath(static_cast<std::size_t>(index));
    if (!ctx.checks) {
        // Every file of the group is checked against its schema on a thread
        // of its own, in the files' order, while the main thread scans.
        std::vector<std::filesystem::path> inputs;
        for (std::size_t i = 0; i < app.files().size(); ++i)
            inputs.push_back(i < static_cast<std::size_t>(index) ? std::filesystem::path() : inputPath(i));
        ctx.checks = std::make_unique<InputChecks>(std::move(inputs));
    }
    // The form decides the layout before the scan begins.
    const std::string ns = jpkforms::rootNamespaceOfFile(input);
    const jpkforms::Form* form = jpkforms::findForm(ns);
    const bool v7 = form && form->family == jpkforms::Family::V7;
    (v7 ? ctx.v7Used : ctx.mapUsed) = true;
    FieldMap& layout = v7 ? ctx.v7map : ctx.map;

    XmlScanner scanner(layout, app.jpkType, [&app] { return app.state == operation::Running; });
    CopyWriter copy(scanner);
    SheetWriter writer(ctx, index, &copy);
    writer.setLayout(layout);
    writer.setRootNamespace(programText(ns));
    writer.start();
    auto report = [&](const std::string& fault) {  // names the file
        ctx.faults.push_back(fault);
        app.logEvent(operation::LogDetail, fault);
        app.showError(fault);
    };
    if (!scanner.open(input)) {
        // Listed but gone, unreadable or a folder: its sheet keeps only the
        // name, and the run does not count as complete.
        report(msg::cannotRead(writer.fileName()));
        return;
    }

    // Only a copy of the whole file takes its place in TXT: one cut short by
    // a stop, a fault of the scanner or a failed write (a full disk) is
    // removed, and an earlier copy of that name stays as it was.
    // The copy of a valid file must stay valid: the file's empty elements
    // stay empty in it. The check runs while the file is scanned, so the
    // copy is written with the scanner's values for them, and they come out
    // again once the check has found the file valid.
    const std::filesystem::path temp = app.resolve(kCopyTemporary);
    std::error_code ec;
    jpkforms::CheckResult check;
    check.verdict = jpkforms::Verdict::Stopped;
    try {
        copy.rememberFilledValues(true);
        copy.create(temp);
        scanner.scan(writer);
        copy.close();
        if (app.state == operation::Running)
            check = ctx.checks->wait(static_cast<std::size_t>(index), [&app] {
                app.processEvents();
                return app.state != operation::Running;
            });
        if (scanner.complete() && check.verdict == jpkforms::Verdict::Valid)
            copy.dropFilledValues();
    } catch (...) {
        std::filesystem::remove(temp, ec);
        throw;
    }
    if (check.verdict != jpkforms::Verdict::Stopped) {
        const std::vector<std::string> problems = schemaMessages(writer.fileName(), check);
        for (const std::string& p : problems) {
            app.logEvent(operation::LogDetail, p);
            app.showDetail(p);
        }
        ctx.schemaProblems += static_cast<int>(problems.size());
        ctx.filesWithProblems += problems.empty() ? 0 : 1;
    }
    if (scanner.complete() && check.verdict != jpkforms::Verdict::Stopped) {
        const std::filesystem::path target = app.resolve(copyName(writer.fileName(), scanner.modified()));
        if (placeCopy(temp, target))
            ctx.copies.push_back(target);
    } else
        std::filesystem::remove(temp, ec);

    if (!scanner.error().empty())
        report(scanner.error());
    writer.finish();
}

}  // namespace zbir::xmlsheet
