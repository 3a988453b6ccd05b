#pragma once
// File sheets of JPK_VAT(3) and JPK_V7 groups built cell by cell, laid out as
// the transport lays them out: the input's namespace in row 1, column 76;
// structure tags in column 52 + level with their attributes in column 77;
// values without a column of their own in column 75; records in the
// columns of the form's layout (jpkforms), V7 records inside Ewidencja.

#include "jpkforms/forms.h"
#include "spreadsheet/automation.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zbir::test {

// What a declaration of the variant carries in its header.
struct Variant {
    const char* form;
    const char* group;          // 15 characters
    const char* declCode;       // KodFormularzaDekl
    const char* declSystem;     // its kodSystemowy
    const char* declVersion;    // its wersjaSchemy
    const char* declVariant;    // WariantFormularzaDekl
};

// One record: element name -> value.
using Values = std::vector<std::pair<std::string, std::string>>;

// Writes a file sheet of `form` into the active sheet.
class VariantSheet {
public:
    VariantSheet(workbook::Application& xl, const jpkforms::Form& form) : m_xl(xl), m_form(form)
    {
        m_v7 = form.family == jpkforms::Family::V7;
    }

    VariantSheet& header(const std::string& month, const std::string& nip, bool person = false)
    {
        put(1, 76, std::string(m_form.ns));
        tag(1, "JPK");
        tag(2, "Naglowek");
        const std::string kod = "kodSystemowy=\"" + std::string(m_form.kodSystemowy) + "\" wersjaSchemy=\"" +
                                std::string(m_form.wersjaSchemy) + "\"";
        leaf(3, "KodFormularza", "JPK_VAT", kod);
        leaf(3, "WariantFormularza", std::string(m_form.wariant));
        if (m_v7) {
            leaf(3, "DataWytworzeniaJPK", "2026-04-02T10:00:00");
            leaf(3, "NazwaSystemu", "Ksiegowosc");
            leaf(3, "CelZlozenia", "1", "poz=\"P_7\"");
            leaf(3, "KodUrzedu", "1471");
            leaf(3, "Rok", "2026");
            leaf(3, "Miesiac", month);
        } else {
            leaf(3, "CelZlozenia", "0");
            leaf(3, "DataWytworzeniaJPK", "2026-04-02T10:00:00");
            leaf(3, "DataOd", "2026-" + month + "-01");
            leaf(3, "DataDo", "2026-" + month + "-31");
            leaf(3, "NazwaSystemu", "Ksiegowosc");
        }
        tag(2, "/Naglowek");
        tag(2, "Podmiot1", m_v7 ? "rola=\"Podatnik\"" : "");
        const int level = m_v7 ? 4 : 3;
        if (m_v7)
            tag(3, person ? "OsobaFizyczna" : "OsobaNiefizyczna");
        leaf(level, "NIP", nip);
        if (person) {
            leaf(level, "ImiePierwsze", "Jan");
            leaf(level, "Nazwisko", "Kowalski");
            leaf(level, "DataUrodzenia", "1979-08-13");
        } else {
            leaf(level, "PelnaNazwa", "Firma \xA3\xF3" "d\x9F");
        }
        leaf(level, "Email", "biuro@firma.pl");
        if (m_v7)
            tag(3, person ? "/OsobaFizyczna" : "/OsobaNiefizyczna");
        tag(2, "/Podmiot1");
        return *this;
    }

    VariantSheet& declaration(const Variant& v, const std::string& p38)
    {
        tag(2, "Deklaracja");
        tag(3, "Naglowek");
        leaf(4, "KodFormularzaDekl", v.declCode,
             "kodSystemowy=\"" + std::string(v.declSystem) +
                 "\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" wersjaSchemy=\"" + v.declVersion + "\"");
        leaf(4, "WariantFormularzaDekl", v.declVariant);
        if (std::string(v.declCode) == "VAT-7K")
            leaf(4, "Kwartal", "1");
        tag(3, "/Naglowek");
        tag(3, "PozycjeSzczegolowe");
        leaf(4, "P_38", p38);
        leaf(4, "P_51", "0");
        tag(3, "/PozycjeSzczegolowe");
        leaf(3, "Pouczenia", "1");
        tag(2, "/Deklaracja");
        return *this;
    }

    VariantSheet& records(const jpkforms::Section& section, const std::vector<Values>& records)
    {
        if (m_v7 && !m_inRegister) {
            tag(2, "Ewidencja");
            m_inRegister = true;
        }
        const int level = m_v7 ? 3 : 2;
        tag(level, std::string(section.record));
        const int heading = m_row;
        for (const Values& r : records) {
            ++m_row;
            for (const auto& [name, value] : r) {
                const jpkforms::RecordElement* e = jpkforms::findElement(section, name);
                if (!e)
                    throw std::invalid_argument(name + " is no element of " + std::string(m_form.name));
                put(heading, e->column, "<" + name + ">");
                put(m_row, e->column, value);
            }
        }
        tag(level, std::string(section.control));
        leaf(level + 1, std::string(section.countElement), std::to_string(records.size()));
        leaf(level + 1, std::string(section.sumElement), "0");
        std::string closing = "/";
        closing += section.control;
        tag(level, closing);
        return *this;
    }

    void end()
    {
        if (m_inRegister)
            tag(2, "/Ewidencja");
        tag(1, "/JPK");
        put(++m_row, 1, "LuKa-Werks");
    }

    int row() const { return m_row; }

private:
    void put(int row, int col, const std::string& text) { m_xl.setCellValue(row, col, text); }
    void tag(int level, const std::string& name, const std::string& attributes = {})
    {
        ++m_row;
        put(m_row, 52 + level, "<" + name + ">");
        if (!attributes.empty())
            put(m_row, 77, attributes);
    }
    void leaf(int level, const std::string& name, const std::string& value, const std::string& attributes = {})
    {
        tag(level, name, attributes);
        put(m_row, 75, value);
    }

    workbook::Application& m_xl;
    const jpkforms::Form& m_form;
    bool m_v7 = false;
    bool m_inRegister = false;
    int m_row = 0;
};

}  // namespace zbir::test
