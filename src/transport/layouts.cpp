#include "transport/layouts.h"

#include "operation/operation.h"

#include "jpkforms/forms.h"

#include <set>
#include <string>

namespace zbir::workbook {

namespace {

void declareKr(xmlsheet::FieldMap& map)
{
    // Accounts.
    map.add(1, "KodKonta");
    map.add(2, "OpisKonta");
    map.add(3, "TypKonta");
    map.add(4, "KodZespolu");
    map.add(5, "OpisZespolu");
    map.add(6, "KodKategorii");
    map.add(7, "OpisKategorii");
    map.add(11, "BilansOtwarciaWinien");
    map.add(12, "BilansOtwarciaMa");
    map.add(15, "ObrotyWinien");
    map.add(16, "ObrotyMa");
    map.add(19, "ObrotyWinienNarast");
    map.add(20, "ObrotyMaNarast");
    map.add(23, "SaldoWinien");
    map.add(24, "SaldoMa");
    // Journal.
    map.add(1, "LpZapisuDziennika");
    map.add(2, "NrZapisuDziennika");
    map.add(3, "OpisDziennika");
    map.add(4, "NrDowoduKsiegowego");
    map.add(5, "RodzajDowodu");
    map.add(6, "DataOperacji");
    map.add(7, "DataDowodu");
    map.add(8, "DataKsiegowania");
    map.add(9, "KodOperatora");
    map.add(10, "OpisOperacji");
    map.add(12, "DziennikKwotaOperacji");
    // Postings.
    map.add(1, "LpZapisu");
    map.add(2, "NrZapisu");
    map.add(4, "KodKontaWinien");
    map.add(5, "KwotaWinien");
    map.add(6, "OpisZapisuWinien");
    map.add(7, "KodKontaMa");
    map.add(8, "KwotaMa");
    map.add(9, "OpisZapisuMa");
}

void declareVat(xmlsheet::FieldMap& map)
{
    // Sales.
    map.addWithKind(1, "LpSprzedazy", 'P');
    map.add(2, "NrKontrahenta");
    map.add(3, "NazwaNabywcy");
    map.add(3, "NazwaKontrahenta");
    map.add(4, "AdresNabywcy");
    map.add(4, "AdresKontrahenta");
    map.add(5, "NrDokumentu");
    map.add(5, "DowodSprzedazy");
    map.addWithKind(6, "DataWystawienia", 'C');
    map.addWithKind(7, "DataSprzedazy", 'C');
    // Purchases.
    map.addWithKind(1, "LpZakupu", 'P');
    map.add(2, "NrIdWystawcy");
    map.add(2, "NrDostawcy");
    map.add(3, "NazwaWystawcy");
    map.add(3, "NazwaDostawcy");
    map.add(4, "AdresWystawcy");
    map.add(4, "AdresDostawcy");
    map.add(5, "NrFaktury");
    map.add(5, "DowodZakupu");
    map.add(7, "DataZakupu");
    map.addWithKind(8, "DataWplywuFaktury", 'C');
    map.addWithKind(8, "DataWplywu", 'C');
    // Amounts K_10..K_39 and K_42..K_50 (K_39, K_49 and K_50 are JPK_VAT(2) fields).
    for (int n = 10; n <= 39; ++n)
        map.addWithKind(n, "K_" + std::to_string(n), 'K');
    for (int n = 42; n <= 50; ++n)
        map.addWithKind(n, "K_" + std::to_string(n), 'K');
}

void declareFa(xmlsheet::FieldMap& map)
{
    struct Field {
        const char* name;
        char kind;
    };
    static const Field fields[] = {
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
    for (const Field& f : fields) {
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
