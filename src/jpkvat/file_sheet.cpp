#include "jpkvat/file_sheet.h"

#include "spreadsheet/automation.h"
#include "jpkvat/messages.h"

#include <algorithm>

namespace zbir::jpkvat {

namespace {

using jpkforms::Form;
using jpkforms::Section;
using namespace layout;

constexpr int kTopLevel = 2;  // Naglowek, Podmiot1, Deklaracja, Ewidencja

// The level of the record lists: in Ewidencja for V7, under the root else.
int recordLevel(const Form& form)
{
    return form.family == jpkforms::Family::V7 ? 3 : 2;
}

class SheetReader {
public:
    SheetReader(const workbook::Application& xl, const Form& form, int lastRow, Problems& problems,
                bool headerOnly)
        : m_xl(xl), m_form(form), m_lastRow(lastRow), m_problems(problems), m_headerOnly(headerOnly),
          m_recordColumn(kStructureBase + recordLevel(form))
    {
        m_sheet.name = xl.activeSheetName();
        m_sheet.form = &form;
    }

    FileSheet read();

private:
    bool tagRow(int row, int lastColumn, Node& node) const;
    int readList(int headingRow, const Section& section, std::vector<Record>& records);
    bool continuation(int row, const Section& section, Record* record);
    void readRecordRow(int row, const Section& section, Record& record) const;
    void organise(std::vector<Node>& nodes);
    std::vector<Node> subtree(const std::vector<Node>& nodes, std::string_view name) const;

    const workbook::Application& m_xl;
    const Form& m_form;
    int m_lastRow;
    Problems& m_problems;
    bool m_headerOnly;
    int m_recordColumn;
    FileSheet m_sheet;
};

// The first tag of `row` in columns 53..lastColumn, with its value and
// attribute text. Open nodes are sorted into containers and leaves later.
bool SheetReader::tagRow(int row, int lastColumn, Node& node) const
{
    for (int col = kStructureBase + 1; col <= lastColumn; ++col) {
        std::string text = m_xl.cellValue(row, col);
        if (text.empty())
            continue;
        if (text.size() < 3 || text.front() != '<' || text.back() != '>')
            return false;
        const bool closing = text[1] == '/';
        node.kind = closing ? Node::Close : Node::Open;
        node.name = text.substr(closing ? 2 : 1, text.size() - (closing ? 3 : 2));
        node.level = col - kStructureBase;
        node.row = row;
        node.value = closing ? std::string() : m_xl.cellValue(row, kUnmappedColumn);
        node.attributes = closing ? std::string() : m_xl.cellValue(row, kAttributeColumn);
        return true;
    }
    return false;
}

FileSheet SheetReader::read()
{
    std::vector<Node> nodes;
    for (int row = 1; row <= m_lastRow;) {
        if (m_xl.cellValue(row, kCountColumn) == kEndMark)
            break;
        Node node;
        if (!tagRow(row, kLastTagColumn, node)) {
            ++row;
            continue;
        }
        if (node.kind == Node::Open && node.level == recordLevel(m_form)) {
            const bool list = node.name == m_form.sales.record || node.name == m_form.purchases.record;
            if (list && m_headerOnly)
                break;
            if (node.name == m_form.sales.record) {
                row = readList(row, m_form.sales, m_sheet.sales);
                continue;
            }
            if (node.name == m_form.purchases.record) {
                row = readList(row, m_form.purchases, m_sheet.purchases);
                continue;
            }
        }
        nodes.push_back(std::move(node));
        ++row;
    }
    organise(nodes);
    for (const Node& n : subtree(nodes, "Naglowek"))
        if (n.kind == Node::Leaf && n.level == kTopLevel + 1)
            m_sheet.header.push_back(n);
    m_sheet.subject = subtree(nodes, "Podmiot1");
    m_sheet.declaration = subtree(nodes, "Deklaracja");
    return std::move(m_sheet);
}

// An opening tag without a value is a container when its closing tag
// follows before anything of its level or above; else an empty leaf.
void SheetReader::organise(std::vector<Node>& nodes)
{
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Node& n = nodes[i];
        if (n.kind != Node::Open)
            continue;
        bool container = false;
        if (n.value.empty()) {
            for (std::size_t j = i + 1; j < nodes.size() && nodes[j].level >= n.level; ++j) {
                if (nodes[j].level == n.level) {
                    container = nodes[j].kind == Node::Close && nodes[j].name == n.name;
                    break;
                }
            }
        }
        if (!container)
            n.kind = Node::Leaf;
    }
}

// The container `name` of the top level with everything inside it.
std::vector<Node> SheetReader::subtree(const std::vector<Node>& nodes, std::string_view name) const
{
    std::vector<Node> out;
    auto open = std::find_if(nodes.begin(), nodes.end(), [&](const Node& n) {
        return n.kind == Node::Open && n.level == kTopLevel && n.name == name;
    });
    for (auto it = open; it != nodes.end(); ++it) {
        if (it != open && it->level <= kTopLevel) {
            if (it->kind == Node::Close && it->name == name)
                out.push_back(*it);
            break;
        }
        out.push_back(*it);
    }
    return out;
}

// The records below a list's heading row; returns the first row after them.
// A record row is any row without a tag of the list's level or above: its
// number cell may be empty (the numbers are written anew). A row that an
// element without a column started continues the record above it.
int SheetReader::readList(int headingRow, const Section& section, std::vector<Record>& records)
{
    int row = headingRow + 1;
    for (; row <= m_lastRow; ++row) {
        if (m_xl.cellValue(row, kCountColumn) == kEndMark)
            break;
        Node node;
        if (tagRow(row, m_recordColumn, node))
            break;
        if (continuation(row, section, records.empty() ? nullptr : &records.back()))
            continue;
        Record record;
        record.row = row;
        readRecordRow(row, section, record);
        if (record.values.empty()) {
            m_problems.emptyRow();
            m_problems.warning(msg::emptyRowSkipped(cellAddress(m_sheet.name, row, kCountColumn)));
            continue;
        }
        records.push_back(std::move(record));
    }
    return row;
}

bool SheetReader::continuation(int row, const Section& section, Record* record)
{
    const std::string tag = m_xl.cellValue(row, m_recordColumn + 1);
    if (tag.size() < 3 || tag.front() != '<' || tag[1] == '/')
        return false;
    const std::string name = tag.substr(1, tag.size() - 2);
    const jpkforms::RecordElement* element = jpkforms::findElement(section, name);
    const std::string where = cellAddress(m_sheet.name, row, kUnmappedColumn);
    if (!element)
        m_problems.error(msg::notElementOf(where, name, std::string(section.record), std::string(m_form.name)));
    else if (!record)
        m_problems.error(msg::outsideRecord(where, name));
    else
        record->values.push_back({element, m_xl.cellValue(row, kUnmappedColumn), row, kUnmappedColumn});
    return true;
}

void SheetReader::readRecordRow(int row, const Section& section, Record& record) const
{
    for (const jpkforms::RecordElement& e : section.elements) {
        std::string value = m_xl.cellValue(row, e.column);
        if (!value.empty())
            record.values.push_back({&e, std::move(value), row, e.column});
    }
}

}  // namespace

const RecordValue* Record::find(std::string_view name) const
{
    for (const RecordValue& v : values)
        if (v.element->name == name)
            return &v;
    return nullptr;
}

const Node* FileSheet::headerLeaf(std::string_view name) const
{
    for (const Node& n : header)
        if (n.name == name)
            return &n;
    return nullptr;
}

const Node* FileSheet::subjectNip() const
{
    for (const Node& n : subject)
        if (n.kind == Node::Leaf && n.name == "NIP")
            return &n;
    return nullptr;
}

DateRange FileSheet::period() const
{
    if (form && form->period == jpkforms::Period::Month) {
        const Node* year = headerLeaf("Rok");
        const Node* month = headerLeaf("Miesiac");
        return year && month ? monthPeriod(year->value, month->value) : DateRange{};
    }
    const Node* from = headerLeaf("DataOd");
    const Node* to = headerLeaf("DataDo");
    return from && to ? DateRange{from->value, to->value} : DateRange{};
}

int lastUsedRow(const workbook::Application& xl)
{
    constexpr int kSheetRows = 1048576;
    return std::min(xl.activeSheetUsedRows(), kSheetRows);
}

const jpkforms::Form* sheetForm(const workbook::Application& xl, std::string* ns)
{
    const std::string text = xl.cellValue(kNamespaceRow, kNamespaceColumn);
    if (ns)
        *ns = text;
    if (text.empty())
        return jpkforms::findFormByName("JPK_VAT(2)");
    return jpkforms::findForm(text);
}

FileSheet readFileSheet(const workbook::Application& xl, const jpkforms::Form& form, int lastRow,
                        Problems& problems)
{
    return SheetReader(xl, form, lastRow, problems, false).read();
}

FileSheet readSheetHeader(const workbook::Application& xl, const jpkforms::Form& form, int lastRow)
{
    Problems none;
    return SheetReader(xl, form, lastRow, none, true).read();
}

}  // namespace zbir::jpkvat
