#include "transport/layouts.h"

#include "operation/operation.h"

#include "jpkforms/forms.h"

#include <set>
#include <span>
#include <string>

namespace zbir::workbook {

namespace {

// A layout entry: the column, the element's name, the column's kind.
struct Field {
    int column;
    const char* name;
    char kind;
};

void declare(xmlsheet::FieldMap& map, std::span<const Field> fields)
{
    for (const Field& f : fields) {
        if (f.kind)
            map.addWithKind(f.column, f.name, f.kind);
        else
            map.add(f.column, f.name);
    }
}

constexpr Field kKr[] = {
    // Accounts.
    {1, "KodKonta", 0},
    {2, "OpisKonta", 0},
    {3, "TypKonta", 0},
    {4, "KodZespolu", 0},
    {5, "OpisZespolu", 0},
    {6, "KodKategorii", 0},
    {7, "OpisKategorii", 0},
    {11, "BilansOtwarciaWinien", 0},
    {12, "BilansOtwarciaMa", 0},
    {15, "ObrotyWinien", 0},
    {16, "ObrotyMa", 0},
    {19, "ObrotyWinienNarast", 0},
    {20, "ObrotyMaNarast", 0},
    {23, "SaldoWinien", 0},
    {24, "SaldoMa", 0},
    // Journal.
    {1, "LpZapisuDziennika", 0},
    {2, "NrZapisuDziennika", 0},
    {3, "OpisDziennika", 0},
    {4, "NrDowoduKsiegowego", 0},
    {5, "RodzajDowodu", 0},
    {6, "DataOperacji", 0},
    {7, "DataDowodu", 0},
    {8, "DataKsiegowania", 0},
    {9, "KodOperatora", 0},
    {10, "OpisOperacji", 0},
    {12, "DziennikKwotaOperacji", 0},
    // Postings.
    {1, "LpZapisu", 0},
    {2, "NrZapisu", 0},
    {4, "KodKontaWinien", 0},
    {5, "KwotaWinien", 0},
    {6, "OpisZapisuWinien", 0},
    {7, "KodKontaMa", 0},
    {8, "KwotaMa", 0},
    {9, "OpisZapisuMa", 0},
};

constexpr Field kVatNames[] = {
    // Sales.
    {1, "LpSprzedazy", 'P'},
    {2, "NrKontrahenta", 0},
    {3, "NazwaNabywcy", 0},
    {3, "NazwaKontrahenta", 0},
    {4, "AdresNabywcy", 0},
    {4, "AdresKontrahenta", 0},
    {5, "NrDokumentu", 0},
    {5, "DowodSprzedazy", 0},
    {6, "DataWystawienia", 'C'},
    {7, "DataSprzedazy", 'C'},
    // Purchases.
    {1, "LpZakupu", 'P'},
    {2, "NrIdWystawcy", 0},
    {2, "NrDostawcy", 0},
    {3, "NazwaWystawcy", 0},
    {3, "NazwaDostawcy", 0},
    {4, "AdresWystawcy", 0},
    {4, "AdresDostawcy", 0},
    {5, "NrFaktury", 0},
    {5, "DowodZakupu", 0},
    {7, "DataZakupu", 0},
    {8, "DataWplywuFaktury", 'C'},
    {8, "DataWplywu", 'C'},
    // Amounts K_10..K_39 and K_42..K_50 (K_39, K_49 and K_50 are JPK_VAT(2) fields).
};

void declareKr(xmlsheet::FieldMap& map)
{
    declare(map, kKr);
}

void declareVat(xmlsheet::FieldMap& map)
{
    declare(map, kVatNames);
    // Amounts K_10..K_39 and K_42..K_50 (K_39, K_49 and K_50 are JPK_VAT(2) fields).
    for (int n = 10; n <= 39; ++n)
        map.addWithKind(n, "K_" + std::to_string(n), 'K');
    for (int n = 42; n <= 50; ++n)
        map.addWithKind(n, "K_" + std::to_string(n), 'K');
}

void declareFa(xmlsheet::FieldMap& map)
{
    struct Named {
        const char* name;
        char kind;
    };
    static const Named fields[] = {
        {"P_1", 0},        {"P_2A", 'P'},      {"P_3A", 0},        {"P_3B", 0},
        {"P_3C", 0},       {"P_3D", 0},        {"P_4A", 0},        {"P_4B", 0},
        {"P_5A", 0},       {"P_5B", 0},        {"P_6", 0},         {"P_13_1", 'K'},
        {"P_14_1", 'K'},   {"P_13_2", 'K'},    {"P_14_2", 'K'},    {"P_13_3", 'K'},
        {"P_14_3", 'K'},   {"P_13_4", 'K'},    {"P_14_4", 'K'},    {"P_13_5", 'K'},
        {"P_14_5", 'K'},   {"P_13_6", 'K'},    {"P_13_7", 'K'},    {"P_15", 'K'},
        {"P_16", 0},       {"P_17", 0},        {"P_18", 0},        {"P_19", 0},
        {"P_19A", 0},      {"P_19B", 0},       {"P_19C", 0},       {"P_20", 0},
        {"P_20A", 0},      {"P_20B", 0},       {"P_21", 0},        {"P_21A", 0},
        {"P_21B", 0},      {"P_21C", 0},       {"P_22A", 0},       {"P_22B", 'P'},
        {"P_22C", 'P'},    {"P_23", 0},        {"P_106E_2", 0},    {"P_106E_3", 0},
        {"P_106E_3A", 0},  {"RodzajFaktury", 0}, {"PrzyczynaKorekty", 0}, {"NrFaKorygowanej", 0},
        {"OkresFaKorygowanej", 0}, {"ZALZaplata", 'K'}, {"ZALPodatek", 'K'},
    };
    int column = 1;
    for (const Named& f : fields) {
        if (f.kind)
            map.addWithKind(column, f.name, f.kind);
        else
            map.add(column, f.name);
        ++column;
    }
}

void declareElements(const jpkforms::Section& section, std::set<std::string_view>& seen,
                     xmlsheet::FieldMap& map)
{
    for (const jpkforms::RecordElement& e : section.elements) {
        if (!seen.insert(e.name).second)
            continue;
        if (e.kind)
            map.addWithKind(e.column, e.name, e.kind);
        else
            map.add(e.column, e.name);
    }
}

}  // namespace

void declareV7Layout(xmlsheet::FieldMap& map)
{
    std::set<std::string_view> seen;
    for (const jpkforms::Form& f : jpkforms::forms())
        if (f.family == jpkforms::Family::V7)
            declareElements(f.sales, seen, map);
    for (const jpkforms::Form& f : jpkforms::forms())
        if (f.family == jpkforms::Family::V7)
            declareElements(f.purchases, seen, map);
}

void declareLayout(int jpkType, xmlsheet::FieldMap& map)
{
    switch (jpkType) {
    case operation::Kr:
        declareKr(map);
        break;
    case operation::Vat:
        declareVat(map);
        break;
    case operation::Fa:
        declareFa(map);
        break;
    default:
        break;
    }
}

}  // namespace zbir::workbook
