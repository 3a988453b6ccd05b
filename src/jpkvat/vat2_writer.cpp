#include "jpkvat/vat2_writer.h"

#include "base/formatters.h"
#include "jpkvat/file_sheet.h"
#include "jpkvat/output_file.h"
#include "jpkvat/subject.h"
#include "jpkvat/values.h"
#include "operation/operation.h"
#include "spreadsheet/automation.h"
#include "jpkvat/messages.h"

#include <algorithm>
#include <deque>
#include <string_view>
#include <vector>

namespace zbir::jpkvat {

namespace {

using workbook::Application;

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


constexpr double kAmountWidth = 0.28;
constexpr std::size_t kPeriodLength = 99;
constexpr long long kProgressEvery = 500;

constexpr std::string_view kEtdNamespace =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/";
constexpr std::string_view kJpkVatNamespace = "http://jpk.mf.gov.pl/wzor/2016/10/26/10261/";

constexpr SubjectField kAddress[] = {
    SubjectField::KodKraju, SubjectField::Wojewodztwo, SubjectField::Powiat,   SubjectField::Gmina,
    SubjectField::Ulica,    SubjectField::NrDomu,      SubjectField::NrLokalu, SubjectField::Miejscowosc,
    SubjectField::KodPocztowy, SubjectField::Poczta,
};

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
    std::string_view required[5];  // elements a record must have
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
    {"NrKontrahenta", "NazwaKontrahenta", "AdresKontrahenta", "DowodSprzedazy", "DataWystawienia"},
};
constexpr Section kPurchases{
    "<ZakupWiersz>", "ZakupWiersz", "Tworzenie sekcji \"Zakup\"", "ZakupCtrl",
    "LiczbaWierszyZakupow", "PodatekNaliczony", "0",
    kPurchasePairs, std::size(kPurchasePairs), kPurchaseTax, std::size(kPurchaseTax),
    {"NrDostawcy", "NazwaDostawcy", "AdresDostawcy", "DowodZakupu", "DataZakupu"},
};

struct Element {
    std::string_view name;  // a heading, or a name kept in the record's own list
    std::string value;
    int row = 0;
    int column = 0;
};

// Element names of one file sheet's record list.
struct Headings {
    std::array<std::string, kHeadingColumns + 1> name;  // 1..53
    std::array<bool, kHeadingColumns + 1> valid{};
    std::array<bool, kHeadingColumns + 1> reported{};
    bool unmappedReported = false;
};

// The JPK_VAT(2) sections from the file sheets, written while they are read;
// problems of the cells go to `problems` (with errors the caller discards
// the output).
class Writer {
public:
    Writer(operation::Operation& app, Application& xl, OutputFile& out,
           const AmountColumns& amount, const DateRange& period, Problems& problems)
        : m_app(app), m_xl(xl), m_out(out), m_amount(amount), m_period(period), m_problems(problems)
    {
    }

    void writeSection(const Section& section);
    long long total() const { return m_total; }

private:
    int findListRow(std::string_view recordTag);
    void readHeadings(int row);
    void reportInvalid(int column, std::string_view name);
    void walkList(const Section& section, int listRow, int sheet, int sheets);
    void collectRow(int row);
    void collectContinuation(int row);
    void checkRecord(const Section& section, int row);
    void writeRecord(const Section& section);
    void writeElement(const Section& section, std::string_view name, std::string_view value);
    bool structureFree(int row) const;
    void addElement(std::string_view name, const std::string& value, int row, int column);
    bool present(std::string_view name) const;

    operation::Operation& m_app;
    Application& m_xl;
    OutputFile& m_out;
    const AmountColumns& m_amount;
    const DateRange& m_period;
    Problems& m_problems;

    Headings m_headings;
    std::string m_sheetName;
    int m_lastRow = 0;
    std::vector<Element> m_record;
    std::size_t m_elements = 0;  // elements of the current record in m_record
    std::deque<std::string> m_recordNames;  // names of elements without a column
    std::array<std::string, kHeadingColumns + 1> m_cells;
    std::vector<std::string> m_rowValues;  // a row as read, before it goes to m_cells
    std::array<std::string, kHeadingColumns + 1> m_skipped;
    bool m_anyAmount = false;
    long long m_count = 0;
    long long m_total = 0;
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
                            ? msg::columnName(base::columnLetters(column)) + " (" + std::string(name) + ")"
                            : msg::columnName(base::columnLetters(column));
    m_app.logEvent(operation::LogDetail, msg::invalidHeading(m_sheetName, where, std::string(name)));
    m_app.showError(msg::skippingColumn(base::columnLetters(column), std::string(name)));
}

// Adds the values of columns 2..52 of `row` to the record.
void Writer::collectRow(int row)
{
    m_xl.rowValues(row, 2, kLastValueColumn, m_rowValues);
    for (int col = 2; col <= kLastValueColumn; ++col) {
        const auto c = static_cast<std::size_t>(col);
        std::string& text = m_cells[c];
        text.swap(m_rowValues[c - 2]);
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
        addElement(name, text, row, col);
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
            addElement(m_recordNames.back(), value, row, kUnmappedColumn);
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
void Writer::addElement(std::string_view name, const std::string& value, int row, int column)
{
    if (m_elements == m_record.size())
        m_record.emplace_back();
    Element& e = m_record[m_elements++];
    e.name = name;
    e.value.assign(value);
    e.row = row;
    e.column = column;
}

bool Writer::present(std::string_view name) const
{
    return std::any_of(m_record.begin(), m_record.begin() + static_cast<std::ptrdiff_t>(m_elements),
                       [&](const Element& e) { return e.name == name; });
}

// The cells of a record that is written: required elements, amounts,
// dates and NIPs.
void Writer::checkRecord(const Section& section, int row)
{
    for (std::string_view name : section.required) {
        if (present(name))
            continue;
        int column = kCountColumn;
        for (int col = 2; col <= kLastValueColumn; ++col)
            if (m_headings.name[static_cast<std::size_t>(col)] == name)
                column = col;
        m_problems.error(msg::emptyElement(cellAddress(m_sheetName, row, column), std::string(name)));
    }
    for (std::size_t i = 0; i < m_elements; ++i) {
        const Element& e = m_record[i];
        checkValue(kindOf(e.name), e.name, e.value, {m_sheetName, e.row, e.column}, m_period, m_problems);
    }
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
    ++m_total;
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
    std::string closing = "/";
    closing += section.element;
    appendElementLine(out, 1, closing, {}, {});
    m_out.flushIfFull();
}

// Every row below the list's heading row up to the next structure tag or
// "LuKa-Werks" is a record, its number cell filled or not (the numbers are
// written anew); rows that an element without a column started inside the
// record follow it. Wholly empty rows are skipped and counted.
void Writer::walkList(const Section& section, int listRow, int sheet, int sheets)
{
    int row = listRow + 1;
    long long sinceProgress = 0;
    while (row <= m_lastRow && m_app.state == operation::Running) {
        const std::string first = cellText(m_xl, row, kCountColumn);
        if (first == kEndMark || !structureFree(row))
            break;
        const int recordRow = row;
        m_elements = 0;
        m_recordNames.clear();
        m_anyAmount = false;
        collectRow(row);
        std::swap(m_skipped, m_cells);  // the first row's cells, for a skipped row
        for (++row; row <= m_lastRow; ++row) {
            if (!cellText(m_xl, row, kCountColumn).empty() || !structureFree(row))
                break;
            const std::string tag = cellText(m_xl, row, kFieldTagColumn);
            if (tag.size() < 2 || tag[0] != '<' || tag[1] == '/')
                break;
            collectContinuation(row);
        }
        if (m_elements == 0 && first.empty()) {
            m_problems.emptyRow();
            m_problems.warning(msg::emptyRowSkipped(cellAddress(m_sheetName, recordRow, kCountColumn)));
            continue;
        }
        if (!m_anyAmount) {
            m_app.showProgress(m_skipped[4] + " " + m_skipped[5] + " " + m_skipped[6]);
            continue;
        }
        checkRecord(section, recordRow);
        writeRecord(section);
        if (++sinceProgress >= kProgressEvery) {
            sinceProgress = 0;
            m_app.reportProgress({sheet - 2, sheets - 1, m_total});
            m_app.processEvents();
        }
    }
}

void Writer::writeSection(const Section& section)
{
    m_count = 0;
    m_tax = 0;
    const int sheets = m_xl.sheetsCount();
    for (int sheet = 2; sheet <= sheets && m_app.state == operation::Running; ++sheet) {
        m_xl.sheetsSelect(sheet);
        m_sheetName = m_xl.activeSheetName();
        m_lastRow = lastUsedRow(m_xl);
        m_app.showProgress(std::string(section.progress));
        if (m_app.state != operation::Running)
            break;
        const int listRow = findListRow(section.recordTag);
        if (listRow == 0)
            continue;
        readHeadings(listRow);
        walkList(section, listRow, sheet, sheets);
    }
    if (m_count > 0) {
        std::string& out = m_out.buffer();
        std::string closing = "/";
        closing += section.control;
        appendElementLine(out, 1, section.control, {}, {});
        appendElementLine(out, 2, section.countElement, {}, base::integerText(m_count));
        appendElementLine(out, 2, section.sumElement, {}, base::amountText(m_tax));
        appendElementLine(out, 1, closing, {}, {});
    }
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

void writeSubject(std::string& out, const SubjectFile& subject)
{
    const SubjectRecord& s = subject.record;
    appendElementLine(out, 1, "Podmiot1", {}, {});
    appendElementLine(out, 2, "IdentyfikatorPodmiotu", {}, {});
    appendValueLine(out, 3, "etd:NIP", s[SubjectField::NIP]);
    appendValueLine(out, 3, "etd:PelnaNazwa", s[SubjectField::PelnaNazwa]);
    if (subject.set[static_cast<std::size_t>(SubjectField::REGON)])
        appendValueLine(out, 3, "etd:REGON", s[SubjectField::REGON], true);
    appendElementLine(out, 2, "/IdentyfikatorPodmiotu", {}, {});
    appendElementLine(out, 2, "AdresPodmiotu", {}, {});
    for (SubjectField f : kAddress) {
        // A key the file does not set is left out: its placeholder is no
        // value for the ministry (KodKraju is PL by the schema).
        if (!subject.set[static_cast<std::size_t>(f)] && f != SubjectField::KodKraju)
            continue;
        const bool required = f == SubjectField::KodKraju || f == SubjectField::Miejscowosc;
        appendValueLine(out, 3, SubjectRecord::key(f), s[f], !required);
    }
    appendElementLine(out, 2, "/AdresPodmiotu", {}, {});
    appendElementLine(out, 1, "/Podmiot1", {}, {});
}

void writeHeader(std::string& out, char type, const std::tm& now, const std::string& dataOd,
                 const std::string& dataDo, const SubjectFile& subject)
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
        appendValueLine(out, 2, "KodUrzedu", subject.record[SubjectField::KodUrzedu]);
    } else {
        out += "\r\n";
    }
    appendElementLine(out, 1, "/Naglowek", {}, {});
    writeSubject(out, subject);
}


}  // namespace

AmountColumns amountColumns(const workbook::Application& xl)
{
    AmountColumns amount{};
    for (int col = 2; col <= kHeadingColumns; ++col)
        amount[static_cast<std::size_t>(col)] = xl.columnWidth(col) > kAmountWidth;
    return amount;
}

Vat2Period findVat2Period(const workbook::Application& xl)
{
    Vat2Period p;
    for (int row = 1; row <= kPeriodRows && p.row == 0; ++row)
        if (cellText(xl, row, kFieldTagColumn) == "<DataOd>")
            p.row = row;
    if (p.row != 0) {
        p.dataOd = cellText(xl, p.row, kUnmappedColumn).substr(0, kPeriodLength);
        p.dataDo = cellText(xl, p.row + 1, kUnmappedColumn).substr(0, kPeriodLength);
    }
    return p;
}

std::string vat2SubjectRefusal(const SubjectFile& subject, const FileSheet* sheet, Problems& problems)
{
    const std::string file(kSubjectFileName);
    if (!subject.found)
        return msg::noSubjectFile(file);
    std::string missing;
    for (SubjectField f : {SubjectField::NIP, SubjectField::KodUrzedu, SubjectField::PelnaNazwa,
                           SubjectField::Miejscowosc})
        if (!subject.has(f))
            missing += (missing.empty() ? "" : ", ") + std::string(SubjectRecord::key(f));
    if (!missing.empty())
        return msg::subjectMissing(file, missing);
    for (const std::string& w : subject.warnings)
        problems.warning(w);
    const std::string& nip = subject.record[SubjectField::NIP];
    if (!nipCheckDigitOk(nipDigits(nip)))
        problems.error(msg::badSubjectNip(file, nip));
    for (SubjectField f : {SubjectField::NIP, SubjectField::REGON, SubjectField::KodUrzedu})
        if (subject.has(f) && subject.record[f] == SubjectRecord::placeholder(f))
            problems.error(msg::exampleValue(file, std::string(SubjectRecord::key(f)), subject.record[f]));
    std::string unset;
    for (SubjectField f : kAddress)
        if (!subject.set[static_cast<std::size_t>(f)] && f != SubjectField::KodKraju)
            unset += (unset.empty() ? "" : ", ") + std::string(SubjectRecord::key(f));
    if (!unset.empty())
        problems.warning(msg::addressUnset(file, unset));
    const Node* sheetNip = sheet ? sheet->subjectNip() : nullptr;
    if (sheetNip && nipDigits(sheetNip->value) != nipDigits(nip))
        problems.warning(msg::subjectNipDiffersFromSheet(file, nip, sheet->name, sheetNip->value));
    return {};
}

void writeVat2Header(std::string& out, char type, const std::tm& now, const Vat2Period& period,
                     const SubjectFile& subject)
{
    writeHeader(out, type, now, period.dataOd, period.dataDo, subject);
}

long long writeVat2Sections(operation::Operation& app, workbook::Application& xl, OutputFile& out,
                            const AmountColumns& amount, const DateRange& period, Problems& problems)
{
    Writer writer(app, xl, out, amount, period, problems);
    writer.writeSection(kSales);
    writer.writeSection(kPurchases);
    return writer.total();
}

}  // namespace zbir::jpkvat
