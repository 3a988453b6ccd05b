#include "jpkvat/jpk_writer.h"

#include "jpkvat/subject.h"
#include "jpkvat/values.h"
#include "operation/operation.h"
#include "base/durable_file.h"
#include "base/formatters.h"
#include "base/winfs.h"
#include "spreadsheet/automation.h"
#include "spreadsheet/embedded_application.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/workbook.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace zbir::jpkvat {

namespace {

using workbook::Application;
using workbook::AutomationError;

// File sheet layout of the transport.
constexpr int kCountColumn = 1;        // record number; "LuKa-Werks" after the last row
constexpr int kLastValueColumn = 52;   // record values in columns 2..52
constexpr int kHeadingColumns = 53;
constexpr int kRootTagColumn = 53;     // structure tags of level 1
constexpr int kRecordTagColumn = 54;   // level 2: record lists, control blocks
constexpr int kFieldTagColumn = 55;    // level 3: fields of a record, header elements
constexpr int kUnmappedColumn = 75;    // values of elements without a column
constexpr int kPeriodRows = 49;
constexpr std::string_view kEndMark = "LuKa-Werks";

// Rows of a sheet: searches end here when the application cannot tell the
// sheet's last used row.
constexpr int kSheetRows = 1048576;

constexpr double kAmountWidth = 0.28;
constexpr std::size_t kPeriodLength = 99;
constexpr std::size_t kFlushSize = 1 << 20;
constexpr long long kProgressEvery = 500;

constexpr std::string_view kEtdNamespace =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/";
constexpr std::string_view kJpkVatNamespace = "http://jpk.mf.gov.pl/wzor/2016/10/26/10261/";

// The last row the selected sheet uses.
int lastUsedRow(Application& xl)
{
    // The interface has no used range; the embedded spreadsheet knows it.
    if (auto* embedded = dynamic_cast<workbook::EmbeddedApplication*>(&xl)) {
        if (workbook::Workbook* book = embedded->engine().activeWorkbook())
            return std::min(book->activeSheet().usedRows(), kSheetRows);
    }
    return kSheetRows;
}

struct Pair {
    std::string_view base;
    std::string_view partner;
};

struct TaxTerm {
    std::string_view name;
    int sign;
};

// The two record sections of the file.
struct Section {
    std::string_view recordTag;   // in column 54 of the list's heading row
    std::string_view element;
    std::string_view progress;
    std::string_view control;
    std::string_view countElement;
    std::string_view sumElement;
    std::string_view zero;        // the value written for a missing pair partner
    const Pair* pairs;
    std::size_t pairCount;
    const TaxTerm* terms;
    std::size_t termCount;
};

// Pairs the schema requires together: the tax follows its base.
constexpr Pair kSalesPairs[] = {
    {"K_15", "K_16"}, {"K_17", "K_18"}, {"K_19", "K_20"}, {"K_23", "K_24"}, {"K_25", "K_26"},
    {"K_27", "K_28"}, {"K_29", "K_30"}, {"K_32", "K_33"}, {"K_34", "K_35"},
};
constexpr Pair kPurchasePairs[] = {{"K_43", "K_44"}, {"K_45", "K_46"}};

// PodatekNalezny and PodatekNaliczony as the schema defines them.
constexpr TaxTerm kSalesTax[] = {
    {"K_16", 1}, {"K_18", 1}, {"K_20", 1}, {"K_24", 1}, {"K_26", 1}, {"K_28", 1}, {"K_30", 1},
    {"K_33", 1}, {"K_35", 1}, {"K_36", 1}, {"K_37", 1}, {"K_38", -1}, {"K_39", -1},
};
constexpr TaxTerm kPurchaseTax[] = {
    {"K_44", 1}, {"K_46", 1}, {"K_47", 1}, {"K_48", 1}, {"K_49", 1}, {"K_50", 1},
};

constexpr Section kSales{
    "<SprzedazWiersz>", "SprzedazWiersz", "Tworzenie sekcji \"Sprzeda\xBF\"", "SprzedazCtrl",
    "LiczbaWierszySprzedazy", "PodatekNalezny", "0.0",
    kSalesPairs, std::size(kSalesPairs), kSalesTax, std::size(kSalesTax),
};
constexpr Section kPurchases{
    "<ZakupWiersz>", "ZakupWiersz", "Tworzenie sekcji \"Zakup\"", "ZakupCtrl",
    "LiczbaWierszyZakupow", "PodatekNaliczony", "0",
    kPurchasePairs, std::size(kPurchasePairs), kPurchaseTax, std::size(kPurchaseTax),
};

// The output: written to a temporary file beside the target and renamed to
// the target only when complete; otherwise the temporary file goes.
class OutputFile {
public:
    OutputFile(std::filesystem::path target)
        : m_target(std::move(target)), m_temp(m_target)
    {
        m_temp += ".tmp";
    }
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    bool open()
    {
        m_file = std::fopen(m_temp.c_str(), "wb");
        m_created = m_file != nullptr;
        return m_created;
    }

    std::string& buffer() { return m_buffer; }

    void flushIfFull()
    {
        if (m_buffer.size() >= kFlushSize)
            flush();
    }

    // Closes the file; false when anything failed to reach it.
    bool close()
    {
        flush();
        if (m_file) {
            m_ok = std::fclose(m_file) == 0 && m_ok;
            m_file = nullptr;
        }
        return m_ok;
    }

    bool commit()
    {
        if (base::durable::replace(m_temp, m_target, "combined"))
            return false;
        m_committed = true;
        return true;
    }

    void discard()
    {
        if (m_file) {
            std::fclose(m_file);
            m_file = nullptr;
        }
        if (m_created && !m_committed) {
            std::error_code ec;
            std::filesystem::remove(m_temp, ec);
        }
    }

private:
    void flush()
    {
        if (m_file && !m_buffer.empty())
            m_ok = std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) == m_buffer.size() && m_ok;
        m_buffer.clear();
    }

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE* m_file = nullptr;
    std::string m_buffer;
    bool m_ok = true;
    bool m_created = false;
    bool m_committed = false;
};

struct Element {
    std::string_view name;  // a heading, or a name kept in the record's own list
    std::string value;
};

// Element names of one file sheet's record list.
struct Headings {
    std::array<std::string, kHeadingColumns + 1> name;  // 1..53
    std::array<bool, kHeadingColumns + 1> valid{};
    std::array<bool, kHeadingColumns + 1> reported{};
    bool unmappedReported = false;
};

class Writer {
public:
    Writer(operation::Operation& app, Application& xl, OutputFile& out,
           const std::array<bool, kHeadingColumns + 1>& amount)
        : m_app(app), m_xl(xl), m_out(out), m_amount(amount)
    {
    }

    void writeSection(const Section& section);

private:
    int findListRow(std::string_view recordTag);
    void readHeadings(int row);
    void reportInvalid(int column, std::string_view name);
    void collectRow(int row);
    void collectContinuation(int row);
    void writeRecord(const Section& section);
    void writeElement(const Section& section, std::string_view name, std::string_view value);
    bool structureFree(int row) const;
    void addElement(std::string_view name, const std::string& value);
    bool present(std::string_view name) const;

    operation::Operation& m_app;
    Application& m_xl;
    OutputFile& m_out;
    const std::array<bool, kHeadingColumns + 1>& m_amount;

    Headings m_headings;
    std::string m_sheetName;
    int m_lastRow = 0;
    std::vector<Element> m_record;
    std::size_t m_elements = 0;  // elements of the current record in m_record
    std::deque<std::string> m_recordNames;  // names of elements without a column
    std::array<std::string, kHeadingColumns + 1> m_cells;
    std::array<std::string, kHeadingColumns + 1> m_skipped;
    bool m_anyAmount = false;
    long long m_count = 0;
    double m_tax = 0;
};

// The first row of the sheet holding the list's record tag in column 54; 0
// when "LuKa-Werks" in column 1 comes first or the sheet has neither.
int Writer::findListRow(std::string_view recordTag)
{
    for (int row = 1; row <= m_lastRow; ++row) {
        if (m_xl.cellValue(row, kRecordTagColumn) == recordTag)
            return row;
        if (m_xl.cellValue(row, kCountColumn) == kEndMark)
            return 0;
    }
    return 0;
}

void Writer::readHeadings(int row)
{
    m_headings = Headings{};
    for (int col = 1; col <= kHeadingColumns; ++col) {
        const auto c = static_cast<std::size_t>(col);
        m_headings.name[c] = headingName(cellText(m_xl, row, col));
        m_headings.valid[c] = isElementName(m_headings.name[c]);
    }
}

// A value under a heading that is no element name is left out, once said.
void Writer::reportInvalid(int column, std::string_view name)
{
    std::string where = column == kUnmappedColumn
                            ? "kolumna " + base::columnLetters(column) + " (" + std::string(name) + ")"
                            : "kolumna " + base::columnLetters(column);
    m_app.logEvent(9, "arkusz " + m_sheetName + ", " + where + ": nag\xB3\xF3wek \"" +
                          std::string(name) + "\" to nie nazwa elementu, warto\x9C" "ci pomini\xEAte");
    m_app.showError("Pomijam kolumn\xEA " + base::columnLetters(column) + ", z\xB3y nag\xB3\xF3wek: " +
                    std::string(name));
}

// Adds the values of columns 2..52 of `row` to the record.
void Writer::collectRow(int row)
{
    for (int col = 2; col <= kLastValueColumn; ++col) {
        const auto c = static_cast<std::size_t>(col);
        std::string& text = m_cells[c];
        text = cellText(m_xl, row, col);
        if (text.empty())
            continue;
        const std::string& name = m_headings.name[c];
        if (name.compare(0, 2, "K_") == 0)
            m_anyAmount = true;
        if (!m_headings.valid[c]) {
            if (!m_headings.reported[c]) {
                m_headings.reported[c] = true;
                reportInvalid(col, name);
            }
            continue;
        }
        addElement(name, text);
        if (m_amount[c])
            m_record[m_elements - 1].value = rowValue(std::move(m_record[m_elements - 1].value), true);
    }
}

// A row that an element without a column of its own started inside a
// record: that element (tag in column 55, value in column 75), then the
// record's following fields.
void Writer::collectContinuation(int row)
{
    std::string value = cellText(m_xl, row, kUnmappedColumn);
    if (!value.empty()) {
        std::string name = headingName(cellText(m_xl, row, kFieldTagColumn));
        if (!isElementName(name)) {
            if (!m_headings.unmappedReported) {
                m_headings.unmappedReported = true;
                reportInvalid(kUnmappedColumn, name);
            }
        } else {
            double number = 0;
            if (name.compare(0, 2, "K_") == 0 && !(parseNumber(value, number) && number == 0))
                m_anyAmount = true;
            m_recordNames.push_back(std::move(name));
            addElement(m_recordNames.back(), value);
        }
    }
    collectRow(row);
}

bool Writer::structureFree(int row) const
{
    return cellText(m_xl, row, kRootTagColumn).empty() && cellText(m_xl, row, kRecordTagColumn).empty();
}

// The record's elements are kept between records so that their texts keep
// their storage.
void Writer::addElement(std::string_view name, const std::string& value)
{
    if (m_elements == m_record.size())
        m_record.emplace_back();
    Element& e = m_record[m_elements++];
    e.name = name;
    e.value.assign(value);
}

bool Writer::present(std::string_view name) const
{
    return std::any_of(m_record.begin(), m_record.begin() + static_cast<std::ptrdiff_t>(m_elements),
                       [&](const Element& e) { return e.name == name; });
}

void Writer::writeElement(const Section& section, std::string_view name, std::string_view value)
{
    appendElementLine(m_out.buffer(), 2, name, {}, value);
    for (std::size_t i = 0; i < section.termCount; ++i) {
        if (section.terms[i].name == name) {
            double number = 0;
            if (parseNumber(value, number))
                m_tax += section.terms[i].sign * number;
            break;
        }
    }
}

void Writer::writeRecord(const Section& section)
{
    ++m_count;
    std::string& out = m_out.buffer();
    appendElementLine(out, 1, section.element, "typ=\"G\"", {});
    if (m_headings.valid[kCountColumn])
        appendElementLine(out, 2, m_headings.name[kCountColumn], {}, base::integerText(m_count));
    else if (!m_headings.reported[kCountColumn]) {
        m_headings.reported[kCountColumn] = true;
        reportInvalid(kCountColumn, m_headings.name[kCountColumn]);
    }
    for (std::size_t i = 0; i < m_elements; ++i) {
        const Element& e = m_record[i];
        // The schema wants both elements of a pair whenever one is there; an
        // empty cell is a zero amount the transport did not write.
        for (std::size_t k = 0; k < section.pairCount; ++k) {
            const Pair& p = section.pairs[k];
            if (e.name == p.partner && !present(p.base))
                writeElement(section, p.base, section.zero);
        }
        writeElement(section, e.name, e.value);
        for (std::size_t k = 0; k < section.pairCount; ++k) {
            const Pair& p = section.pairs[k];
            if (e.name == p.base && !present(p.partner))
                writeElement(section, p.partner, section.zero);
        }
    }
    appendElementLine(out, 1, "/" + std::string(section.element), {}, {});
    m_out.flushIfFull();
}

void Writer::writeSection(const Section& section)
{
    m_count = 0;
    m_tax = 0;
    const int sheets = m_xl.sheetsCount();
    for (int sheet = 2; sheet <= sheets && m_app.state == 1; ++sheet) {
        m_xl.sheetsSelect(sheet);
        m_sheetName = m_xl.activeSheetName();
        m_lastRow = lastUsedRow(m_xl);
        m_app.showProgress(std::string(section.progress));
        if (m_app.state != 1)
            break;
        const int listRow = findListRow(section.recordTag);
        if (listRow == 0)
            continue;
        readHeadings(listRow);

        // A record row has its number in column 1 and no structure tag of the
        // list's level or above (the next list, a control block). Rows that
        // an element without a column started inside the record follow it.
        int row = listRow + 1;
        std::string first = cellText(m_xl, row, kCountColumn);
        long long sinceProgress = 0;
        while (row <= m_lastRow && m_app.state == 1) {
            if (first.empty() || first == kEndMark || !structureFree(row))
                break;
            m_elements = 0;
            m_recordNames.clear();
            m_anyAmount = false;
            collectRow(row);
            std::swap(m_skipped, m_cells);  // the first row's cells, for a skipped row
            for (++row; row <= m_lastRow; ++row) {
                first = cellText(m_xl, row, kCountColumn);
                if (!first.empty() || !structureFree(row))
                    break;
                const std::string tag = cellText(m_xl, row, kFieldTagColumn);
                if (tag.size() < 2 || tag[0] != '<' || tag[1] == '/')
                    break;
                collectContinuation(row);
            }
            if (!m_anyAmount) {
                m_app.showProgress(m_skipped[4] + " " + m_skipped[5] + " " + m_skipped[6]);
                continue;
            }
            writeRecord(section);
            if (++sinceProgress >= kProgressEvery) {
                sinceProgress = 0;
                m_app.reportProgress({sheet - 2, sheets - 1, m_count});
                m_app.processEvents();
            }
        }
    }
    if (m_count > 0) {
        std::string& out = m_out.buffer();
        appendElementLine(out, 1, section.control, {}, {});
        appendElementLine(out, 2, section.countElement, {}, base::integerText(m_count));
        appendElementLine(out, 2, section.sumElement, {}, base::amountText(m_tax));
        appendElementLine(out, 1, "/" + std::string(section.control), {}, {});
    }
}

// Places the spreadsheet's window below the program's window.
void placeWindow(operation::Operation& app, Application& xl)
{
    xl.setWindowState(workbook::xl::Maximized);
    const double top = xl.top();
    const double height = xl.height();
    xl.setWindowState(workbook::xl::Normal);
    const operation::Geometry g = app.windowGeometry();
    const int b = (g.width - g.clientWidth) / 2;
    const int screen = g.screenHeight + 2 * b + 2;
    if (screen <= 0)
        return;
    const double k = height / screen;
    const int y = g.top + g.height + 1;
    const double newHeight = std::nearbyint((g.screenHeight - y - 20) * k);
    if (newHeight < 1)
        return;  // no room below the program's window: the window stays as it is
    xl.setTop(std::nearbyint(y * k + k * b + top));
    xl.setHeight(newHeight);
}

// An element whose value may be empty. A lone opening tag would leave the
// file malformed: an empty optional element is left out, an empty required
// one is written empty.
void appendValueLine(std::string& out, int level, std::string_view name, std::string_view value,
                     bool optional = false)
{
    if (!value.empty())
        appendElementLine(out, level, name, {}, value);
    else if (!optional)
        appendElementLine(out, level, std::string(name) + "/", {}, {});
}

void writeHeader(std::string& out, char type, const std::tm& now, const std::string& dataOd,
                 const std::string& dataDo)
{
    out += "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n";
    appendElementLine(out, 0, "JPK",
                      "xmlns:etd=\"" + std::string(kEtdNamespace) + "\" xmlns=\"" +
                          std::string(kJpkVatNamespace) + "\"",
                      {});
    appendElementLine(out, 1, "Naglowek", {}, {});
    if (type == 'V') {
        const std::string made = generationTime(now);
        appendElementLine(out, 2, "KodFormularza", "kodSystemowy=\"JPK_VAT (2)\" wersjaSchemy=\"1-0\"",
                          "JPK_VAT");
        appendElementLine(out, 2, "WariantFormularza", {}, "2");
        appendElementLine(out, 2, "CelZlozenia", {}, submissionPurpose(dataDo, made));
        appendElementLine(out, 2, "DataWytworzeniaJPK", {}, made);
        appendValueLine(out, 2, "DataOd", dataOd);
        appendValueLine(out, 2, "DataDo", dataDo);
        appendElementLine(out, 2, "DomyslnyKodWaluty", {}, "PLN");
        appendValueLine(out, 2, "KodUrzedu", subjectRecord()[SubjectField::KodUrzedu]);
    } else {
        out += "\r\n";
    }
    appendElementLine(out, 1, "/Naglowek", {}, {});

    const SubjectRecord& s = subjectRecord();
    appendElementLine(out, 1, "Podmiot1", {}, {});
    appendElementLine(out, 2, "IdentyfikatorPodmiotu", {}, {});
    appendValueLine(out, 3, "etd:NIP", s[SubjectField::NIP]);
    appendValueLine(out, 3, "etd:PelnaNazwa", s[SubjectField::PelnaNazwa]);
    appendValueLine(out, 3, "etd:REGON", s[SubjectField::REGON], true);
    appendElementLine(out, 2, "/IdentyfikatorPodmiotu", {}, {});
    appendElementLine(out, 2, "AdresPodmiotu", {}, {});
    for (SubjectField f : {SubjectField::KodKraju, SubjectField::Wojewodztwo, SubjectField::Powiat,
                           SubjectField::Gmina, SubjectField::Ulica, SubjectField::NrDomu,
                           SubjectField::NrLokalu, SubjectField::Miejscowosc,
                           SubjectField::KodPocztowy, SubjectField::Poczta}) {
        const bool required = f == SubjectField::KodKraju || f == SubjectField::Miejscowosc;
        appendValueLine(out, 3, SubjectRecord::key(f), s[f], !required);
    }
    appendElementLine(out, 2, "/AdresPodmiotu", {}, {});
    appendElementLine(out, 1, "/Podmiot1", {}, {});
}

// Ends the operation with a final message.
bool finish(operation::Operation& app, const std::string& message)
{
    app.showError(message);
    app.state = 0;
    return false;
}

}  // namespace

bool makeJpk(operation::Operation& app)
{
    return makeJpk(app, localNow);
}

bool makeJpk(operation::Operation& app, const std::function<std::tm()>& clock)
{
    if (app.state != 0 || app.jpkType == 0)
        return false;
    app.state = 1;
    const std::string g = app.groupText();
    const char type = g.size() > 4 ? g[4] : ' ';
    app.logEvent(2, "tworzenia pliku zbiorczego: " + g + ".xml");

    if (!app.xl) {
        try {
            app.xl = app.provider().attach();
        } catch (const AutomationError&) {
        }
        if (!app.xl)
            return finish(app, "Nie ma Excela");
    }
    Application& xl = *app.xl;
    try {
        xl.setVisible(true);
    } catch (const AutomationError&) {
        return finish(app, "Excel zaj\xEAty");
    }

    std::string book;
    try {
        book = xl.activeWorkbookName();
    } catch (const AutomationError&) {
        // no workbook open
    }
    if (book.empty() || base::winfs::upper(book) != base::winfs::upper(g + ".XLS"))
        return finish(app, "Bie\xBF\xB9" "cy zeszyt to nie " + g);

    xl.sheetsSelect(1);
    if (xl.activeSheetName() != "-SUMA-")
        return finish(app, "Aktualny arkusz to nie -SUMA-");
    app.showProgress("Widz\xEA arkusz -SUMA- w zeszycie " + book);

    std::array<bool, kHeadingColumns + 1> amount{};
    for (int col = 2; col <= kHeadingColumns; ++col)
        amount[static_cast<std::size_t>(col)] = xl.columnWidth(col) > kAmountWidth;

    placeWindow(app, xl);

    const std::string noSheets = "Nie ma prawid\xB3owych dalszych arkuszy";
    if (xl.sheetsCount() < 2)
        return finish(app, noSheets);
    xl.sheetsSelect(2);
    int periodRow = 0;
    for (int row = 1; row <= kPeriodRows && periodRow == 0; ++row)
        if (cellText(xl, row, kFieldTagColumn) == "<DataOd>")
            periodRow = row;
    if (periodRow == 0)
        return finish(app, noSheets);
    const std::string dataOd = cellText(xl, periodRow, kUnmappedColumn).substr(0, kPeriodLength);
    const std::string dataDo = cellText(xl, periodRow + 1, kUnmappedColumn).substr(0, kPeriodLength);

    const std::string fileName = "..\\" + g + ".xml";
    OutputFile out(app.resolve(fileName));
    if (!out.open())
        return finish(app, "Zaj\xEAty " + fileName);
    ReadSubjectDefinitions(app);

    writeHeader(out.buffer(), type, clock(), dataOd, dataDo);
    if (type == 'V') {
        Writer writer(app, xl, out, amount);
        writer.writeSection(kSales);
        writer.writeSection(kPurchases);
    } else {
        out.buffer() += "\r\n\r\n";
    }
    out.buffer() += "</JPK>";

    const bool written = out.close();
    xl.sheetsSelect(1);
    xl.cellSelect(1, 1);
    if (app.state != 1) {
        out.discard();
        return finish(app, "Plik wyj\x9C" "ciowy " + fileName + " usuni\xEAty");
    }
    if (!written) {
        out.discard();
        return finish(app, "B\xB3\xB9" "d zapisu " + fileName);
    }
    if (!out.commit())
        return finish(app, "Zaj\xEAty " + fileName);
    app.showError("Zako\xF1" "czono prac\xEA nad " + fileName);
    app.state = 0;
    return true;
}

}  // namespace zbir::jpkvat
