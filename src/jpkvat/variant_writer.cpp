#include "jpkvat/variant_writer.h"

#include "base/formatters.h"
#include "jpkvat/output_file.h"
#include "jpkvat/subject.h"
#include "jpkvat/values.h"
#include "jpkvat/messages.h"

#include <algorithm>

namespace zbir::jpkvat {

namespace {

using jpkforms::Family;
using jpkforms::Form;
using jpkforms::RecordElement;
using jpkforms::Section;

constexpr long long kProgressEvery = 500;

// Pairs the schemas require together (the transport leaves zero amounts
// out): the missing one is written as 0.
struct Pair {
    std::string_view first;
    std::string_view second;
};
constexpr Pair kVatPairs[] = {
    {"K_15", "K_16"}, {"K_17", "K_18"}, {"K_19", "K_20"}, {"K_23", "K_24"}, {"K_25", "K_26"},
    {"K_27", "K_28"}, {"K_29", "K_30"}, {"K_32", "K_33"}, {"K_34", "K_35"}, {"K_43", "K_44"},
    {"K_45", "K_46"},
};
constexpr Pair kV7Pairs[] = {
    {"K_15", "K_16"}, {"K_17", "K_18"}, {"K_19", "K_20"}, {"K_23", "K_24"}, {"K_25", "K_26"},
    {"K_27", "K_28"}, {"K_29", "K_30"}, {"K_31", "K_32"}, {"K_40", "K_41"}, {"K_42", "K_43"},
};

std::span<const Pair> pairsOf(const Form& form)
{
    if (form.family == Family::V7)
        return kV7Pairs;
    return kVatPairs;
}

// Elements of the shared type definitions ("etd:") in the subject: a natural
// person's identity in V7.
bool etdElement(const Form& form, std::string_view parent, std::string_view name)
{
    return form.family == Family::V7 && parent == "OsobaFizyczna" &&
           (name == "NIP" || name == "ImiePierwsze" || name == "Nazwisko" || name == "DataUrodzenia");
}

std::string prefixed(std::string_view prefix, std::string_view name)
{
    std::string s(prefix);
    s += name;
    return s;
}

std::string trimmedNip(std::string_view text)
{
    const std::string nip = nipDigits(text);
    return nip.empty() ? std::string(text) : nip;
}

// The declaration as one text, to compare sheets.
std::string declarationText(const FileSheet& s)
{
    std::string text;
    for (const Node& n : s.declaration)
        text += std::to_string(n.kind) + "|" + std::to_string(n.level) + "|" + n.name + "|" + n.value + "|" +
                n.attributes + "\n";
    return text;
}

std::string periodText(const DateRange& p)
{
    return p.known() ? p.from + " .. " + p.to : std::string(msg::kNone);
}

// ---- checks

class SheetChecker {
public:
    SheetChecker(const FileSheet& sheet, const DateRange& period, Problems& problems)
        : m_sheet(sheet), m_period(period), m_problems(problems)
    {
    }

    void check()
    {
        checkTaxpayer();
        checkSection(m_sheet.form->sales, m_sheet.sales);
        checkSection(m_sheet.form->purchases, m_sheet.purchases);
    }

private:
    std::string where(int row, int column) const { return cellAddress(m_sheet.name, row, column); }

    void checkTaxpayer()
    {
        const Node* nip = m_sheet.subjectNip();
        if (!nip || nip->value.empty()) {
            m_problems.error(msg::noTaxpayerNip(m_sheet.name));
            return;
        }
        const std::string digits = nipDigits(nip->value);
        if (digits.empty() || !nipCheckDigitOk(digits))
            m_problems.error(msg::badTaxpayerNip(where(nip->row, layout::kUnmappedColumn), nip->value));
    }

    void checkSection(const Section& section, const std::vector<Record>& records)
    {
        for (const Record& r : records) {
            checkRequired(section, r);
            const RecordValue* country = r.find("KodKrajuNadaniaTIN");
            const bool polish = !country || country->value == "PL";
            for (const RecordValue& v : r.values) {
                CellKind kind = v.element->kind == 'K' ? CellKind::Amount : kindOf(v.element->name);
                if (kind == CellKind::Nip && !polish)
                    kind = CellKind::Text;
                const std::string value = kind == CellKind::Amount ? rowValue(v.value, true) : v.value;
                checkValue(kind, v.element->name, value, {m_sheet.name, v.row, v.column}, m_period, m_problems);
            }
        }
    }

    void checkRequired(const Section& section, const Record& r)
    {
        for (const RecordElement& e : section.elements)
            if (requiredElement(e.name) && !r.find(e.name))
                m_problems.error(msg::emptyElement(where(r.row, e.column), std::string(e.name)));
    }

    const FileSheet& m_sheet;
    const DateRange& m_period;
    Problems& m_problems;
};

// ---- writing

class FileWriter {
public:
    FileWriter(OutputFile& out, const std::vector<FileSheet>& sheets, const std::tm& now,
               const RecordProgress& progress)
        : m_out(out), m_sheets(sheets), m_form(*sheets.front().form), m_now(now), m_progress(progress)
    {
    }

    long long write()
    {
        std::string& out = m_out.buffer();
        out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
        appendElementLine(out, 0, "tns:JPK",
                          "xmlns:etd=\"" + std::string(m_form.etdNamespace) + "\" xmlns:tns=\"" +
                              std::string(m_form.ns) + "\"",
                          {});
        writeHeader();
        writeNodes(m_sheets.front().subject);
        writeNodes(declaration());
        const bool v7 = m_form.family == Family::V7;
        if (v7)
            appendElementLine(out, 1, "tns:Ewidencja", {}, {});
        const int level = v7 ? 2 : 1;
        writeSection(m_form.sales, &FileSheet::sales, level);
        writeSection(m_form.purchases, &FileSheet::purchases, level);
        if (v7)
            appendElementLine(m_out.buffer(), 1, "/tns:Ewidencja", {}, {});
        m_out.buffer() += "</tns:JPK>\r\n";
        return m_total;
    }

private:
    const std::vector<Node>& declaration() const
    {
        for (const FileSheet& s : m_sheets)
            if (!s.declaration.empty())
                return s.declaration;
        return m_sheets.front().declaration;
    }

    // The first input's header with this file's form code and time.
    void writeHeader()
    {
        std::string& out = m_out.buffer();
        appendElementLine(out, 1, "tns:Naglowek", {}, {});
        for (const Node& n : m_sheets.front().header) {
            std::string attributes = n.attributes;
            std::string value = n.value;
            if (n.name == "KodFormularza")
                attributes = "kodSystemowy=\"" + std::string(m_form.kodSystemowy) + "\" wersjaSchemy=\"" +
                             std::string(m_form.wersjaSchemy) + "\"";
            else if (n.name == "DataWytworzeniaJPK")
                value = generationTime(m_now);
            else if (n.name == "CelZlozenia" && attributes.empty() && m_form.family == Family::V7)
                attributes = "poz=\"P_7\"";
            writeLeaf(2, prefixed("tns:", n.name), attributes, value);
        }
        appendElementLine(out, 1, "/tns:Naglowek", {}, {});
    }

    void writeLeaf(int level, const std::string& name, std::string_view attributes, std::string_view value)
    {
        if (value.empty() && attributes.empty())
            appendElementLine(m_out.buffer(), level, name + "/", {}, {});
        else if (value.empty())
            appendElementLine(m_out.buffer(), level, name, std::string(attributes) + "/", {});
        else
            appendElementLine(m_out.buffer(), level, name, attributes, value);
    }

    // A subtree as the sheet holds it, each element in this form's namespace
    // or the shared types' one.
    void writeNodes(const std::vector<Node>& nodes)
    {
        std::vector<std::string_view> parents;
        for (const Node& n : nodes) {
            const int level = n.level - 1;
            switch (n.kind) {
            case Node::Open: {
                std::string attributes = n.attributes;
                if (n.name == "Podmiot1" && attributes.empty() && m_form.family == Family::V7)
                    attributes = "rola=\"Podatnik\"";
                appendElementLine(m_out.buffer(), level, prefixed("tns:", n.name), attributes, {});
                parents.push_back(n.name);
                break;
            }
            case Node::Close:
                appendElementLine(m_out.buffer(), level, prefixed("/tns:", n.name), {}, {});
                if (!parents.empty())
                    parents.pop_back();
                break;
            case Node::Leaf: {
                const std::string_view parent = parents.empty() ? std::string_view() : parents.back();
                const char* prefix = etdElement(m_form, parent, n.name) ? "etd:" : "tns:";
                writeLeaf(level, prefixed(prefix, n.name), n.attributes, n.value);
                break;
            }
            }
        }
    }

    void writeSection(const Section& section, std::vector<Record> FileSheet::*records, int level)
    {
        SectionWriter w(*this, section, level);
        for (const FileSheet& s : m_sheets)
            for (const Record& r : s.*records)
                w.record(r);
        w.control(m_form.family == Family::V7);
    }

    class SectionWriter {
    public:
        SectionWriter(FileWriter& file, const Section& section, int level)
            : m_file(file), m_section(section), m_level(level), m_slots(section.elements.size()),
              m_partner(section.elements.size(), -1), m_sign(section.elements.size(), 0)
        {
            for (std::size_t i = 0; i < section.elements.size(); ++i) {
                const std::string_view name = section.elements[i].name;
                for (const jpkforms::Term& t : section.terms)
                    if (t.name == name)
                        m_sign[i] = t.sign;
                for (const Pair& p : pairsOf(*file.m_sheets.front().form)) {
                    const std::string_view other = name == p.first ? p.second : name == p.second ? p.first : "";
                    if (const RecordElement* e = other.empty() ? nullptr : jpkforms::findElement(section, other))
                        m_partner[i] = static_cast<int>(e - section.elements.data());
                }
            }
        }

        void record(const Record& r)
        {
            std::fill(m_slots.begin(), m_slots.end(), nullptr);
            for (const RecordValue& v : r.values)
                m_slots[static_cast<std::size_t>(v.element - m_section.elements.data())] = &v;
            const bool counted = !excluded();
            ++m_count;
            std::string& out = m_file.m_out.buffer();
            appendElementLine(out, m_level, prefixed("tns:", m_section.record), {}, {});
            for (std::size_t i = 0; i < m_slots.size(); ++i)
                element(i, counted);
            appendElementLine(out, m_level, prefixed("/tns:", m_section.record), {}, {});
            m_file.m_out.flushIfFull();
            if (++m_file.m_total % kProgressEvery == 0 && m_file.m_progress)
                m_file.m_progress(m_file.m_total);
        }

        // The control block: always in V7, with records only in JPK_VAT(3).
        void control(bool always)
        {
            if (m_count == 0 && !always)
                return;
            std::string& out = m_file.m_out.buffer();
            appendElementLine(out, m_level, prefixed("tns:", m_section.control), {}, {});
            appendElementLine(out, m_level + 1, prefixed("tns:", m_section.countElement), {},
                              base::integerText(m_count));
            appendElementLine(out, m_level + 1, prefixed("tns:", m_section.sumElement), {}, base::amountText(m_tax));
            appendElementLine(out, m_level, prefixed("/tns:", m_section.control), {}, {});
        }

    private:
        bool excluded() const
        {
            if (m_section.excludeElement.empty())
                return false;
            const RecordElement* e = jpkforms::findElement(m_section, m_section.excludeElement);
            const RecordValue* v = e ? m_slots[static_cast<std::size_t>(e - m_section.elements.data())] : nullptr;
            return v && v->value == m_section.excludeValue;
        }

        void element(std::size_t i, bool counted)
        {
            const RecordElement& e = m_section.elements[i];
            std::string value;
            if (e.name == m_section.numberElement)
                value = base::integerText(m_count);
            else if (m_slots[i])
                value = e.kind == 'K' ? rowValue(m_slots[i]->value, true) : m_slots[i]->value;
            else if (m_partner[i] >= 0 && m_slots[static_cast<std::size_t>(m_partner[i])])
                value = "0";
            else
                return;
            appendElementLine(m_file.m_out.buffer(), m_level + 1, prefixed("tns:", e.name), {}, value);
            double number = 0;
            if (counted && m_sign[i] != 0 && parseNumber(value, number))
                m_tax += m_sign[i] * number;
        }

        FileWriter& m_file;
        const Section& m_section;
        int m_level;
        std::vector<const RecordValue*> m_slots;
        std::vector<int> m_partner;
        std::vector<int> m_sign;
        long long m_count = 0;
        double m_tax = 0;
    };

    OutputFile& m_out;
    const std::vector<FileSheet>& m_sheets;
    const Form& m_form;
    const std::tm& m_now;
    const RecordProgress& m_progress;
    long long m_total = 0;
};

}  // namespace

std::string groupRefusal(const std::vector<FileSheet>& sheets)
{
    const FileSheet& first = sheets.front();
    const Node* firstNip = first.subjectNip();
    const std::string nip = firstNip ? trimmedNip(firstNip->value) : std::string();
    const DateRange period = first.period();
    const FileSheet* declared = nullptr;
    for (const FileSheet& s : sheets) {
        const DateRange p = s.period();
        if (p.from != period.from || p.to != period.to)
            return msg::otherPeriod(s.name, periodText(p), first.name, periodText(period));
        const Node* n = s.subjectNip();
        const std::string other = n ? trimmedNip(n->value) : std::string();
        if (other != nip)
            return msg::otherNip(s.name, other.empty() ? msg::kNone : other, first.name,
                                 nip.empty() ? msg::kNone : nip);
        if (s.declaration.empty())
            continue;
        if (declared && declarationText(*declared) != declarationText(s))
            return msg::otherDeclaration(s.name, declared->name);
        if (!declared)
            declared = &s;
    }
    return {};
}

std::string subjectRefusal(const SubjectFile& subject, const FileSheet& first)
{
    if (!subject.found || !subject.has(SubjectField::NIP))
        return {};
    const Node* n = first.subjectNip();
    const std::string inputs = n ? trimmedNip(n->value) : std::string();
    const std::string own = trimmedNip(subject.record[SubjectField::NIP]);
    if (own == inputs)
        return {};
    return msg::subjectNipDiffersFromGroup(std::string(kSubjectFileName), own, inputs.empty() ? msg::kNone : inputs);
}

void checkSheets(const std::vector<FileSheet>& sheets, Problems& problems)
{
    const DateRange period = sheets.front().period();
    if (!period.known())
        problems.error(msg::noPeriod(sheets.front().name));
    for (const FileSheet& s : sheets)
        SheetChecker(s, period, problems).check();
}

long long writeVariantFile(OutputFile& out, const std::vector<FileSheet>& sheets, const std::tm& now,
                           const RecordProgress& progress)
{
    return FileWriter(out, sheets, now, progress).write();
}

}  // namespace zbir::jpkvat
