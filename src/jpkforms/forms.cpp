#include "jpkforms/forms.h"

#include <algorithm>
#include <array>

namespace zbir::jpkforms {

namespace {

// Labels are program text (Windows-1250).

// JPK_VAT(2) and JPK_VAT(3): one layout, the elements' places as the
// transport has always laid JPK_VAT out.
constexpr RecordElement kVatSales[] = {
    {"LpSprzedazy", 1, 'P', {}},      {"NrKontrahenta", 2, 0, {}},
    {"NazwaKontrahenta", 3, 0, {}},   {"AdresKontrahenta", 4, 0, {}},
    {"DowodSprzedazy", 5, 0, {}},     {"DataWystawienia", 6, 'C', {}},
    {"DataSprzedazy", 7, 'C', {}},
    {"K_10", 10, 'K', "dost.zw."},    {"K_11", 11, 'K', "dost.poza."},
    {"K_12", 12, 'K', "art. 100"},    {"K_13", 13, 'K', "dost.0 %"},
    {"K_14", 14, 'K', "art. 129"},    {"K_15", 15, 'K', "dost.5 %"},
    {"K_16", 16, 'K', "ptiu 5 %"},    {"K_17", 17, 'K', "dost.8 %"},
    {"K_18", 18, 'K', "ptiu 8 %"},    {"K_19", 19, 'K', "dost.23 %"},
    {"K_20", 20, 'K', "ptiu 23 %"},   {"K_21", 21, 'K', "ww.dost."},
    {"K_22", 22, 'K', "eksport"},     {"K_23", 23, 'K', "ww.nab."},
    {"K_24", 24, 'K', "ptiu wwn"},    {"K_25", 25, 'K', "art. 33a"},
    {"K_26", 26, 'K', "ptiu 33a"},    {"K_27", 27, 'K', {}},
    {"K_28", 28, 'K', {}},            {"K_29", 29, 'K', {}},
    {"K_30", 30, 'K', {}},            {"K_31", 31, 'K', "odwr.obc."},
    {"K_32", 32, 'K', "oo pkt 5"},    {"K_33", 33, 'K', "ptiu pkt 5"},
    {"K_34", 34, 'K', "oo pkt 78"},   {"K_35", 35, 'K', "ptiu pkt 78"},
    {"K_36", 36, 'K', {}},            {"K_37", 37, 'K', {}},
    {"K_38", 38, 'K', {}},            {"K_39", 39, 'K', {}},
};
constexpr RecordElement kVatPurchases[] = {
    {"LpZakupu", 1, 'P', {}},         {"NrDostawcy", 2, 0, {}},
    {"NazwaDostawcy", 3, 0, {}},      {"AdresDostawcy", 4, 0, {}},
    {"DowodZakupu", 5, 0, {}},        {"DataZakupu", 7, 0, {}},
    {"DataWplywu", 8, 'C', {}},
    {"K_43", 43, 'K', "nab. \x8C-T"}, {"K_44", 44, 'K', "ptiu \x8C-T"},
    {"K_45", 45, 'K', "nab. TiU"},    {"K_46", 46, 'K', "ptiu TiU"},
    {"K_47", 47, 'K', {}},            {"K_48", 48, 'K', {}},
    {"K_49", 49, 'K', {}},            {"K_50", 50, 'K', {}},
};
constexpr Term kVatSalesTax[] = {
    {"K_16", 1}, {"K_18", 1}, {"K_20", 1}, {"K_24", 1}, {"K_26", 1}, {"K_28", 1}, {"K_30", 1},
    {"K_33", 1}, {"K_35", 1}, {"K_36", 1}, {"K_37", 1}, {"K_38", -1}, {"K_39", -1},
};
constexpr Term kVatPurchaseTax[] = {
    {"K_44", 1}, {"K_46", 1}, {"K_47", 1}, {"K_48", 1}, {"K_49", 1}, {"K_50", 1},
};

// JPK_V7M / JPK_V7K: one layout for every version; each version lists the
// elements its schema has. Columns 52..77 stay the sheet's own (structure
// tags, unmapped values, attributes), so the rarely used markers go after them.
namespace v7 {
constexpr RecordElement Lp{"LpSprzedazy", 1, 'P', {}};
constexpr RecordElement Tin{"KodKrajuNadaniaTIN", 4, 'C', {}};
constexpr RecordElement Nr{"NrKontrahenta", 2, 0, {}};
constexpr RecordElement Nazwa{"NazwaKontrahenta", 3, 0, {}};
constexpr RecordElement Dowod{"DowodSprzedazy", 5, 0, {}};
constexpr RecordElement DataW{"DataWystawienia", 6, 'C', {}};
constexpr RecordElement DataS{"DataSprzedazy", 7, 'C', {}};
constexpr RecordElement Ksef{"NrKSeF", 48, 0, {}};
constexpr RecordElement Off{"OFF", 49, 'C', {}};
constexpr RecordElement Bfk{"BFK", 50, 'C', {}};
constexpr RecordElement Di{"DI", 51, 'C', {}};
constexpr RecordElement Typ{"TypDokumentu", 9, 'C', {}};
constexpr RecordElement Termin{"TerminPlatnosci", 78, 'C', {}};
constexpr RecordElement Zaplata{"DataZaplaty", 79, 'C', {}};
constexpr RecordElement Korekta{"KorektaPodstawyOpodt", 80, 'C', {}};
constexpr RecordElement Mpp{"MPP", 81, 'C', {}};
constexpr RecordElement Imp{"IMP", 82, 'C', {}};
constexpr RecordElement Gtu[] = {
    {"GTU_01", 83, 'C', {}}, {"GTU_02", 84, 'C', {}}, {"GTU_03", 85, 'C', {}},
    {"GTU_04", 86, 'C', {}}, {"GTU_05", 87, 'C', {}}, {"GTU_06", 88, 'C', {}},
    {"GTU_07", 89, 'C', {}}, {"GTU_08", 90, 'C', {}}, {"GTU_09", 91, 'C', {}},
    {"GTU_10", 92, 'C', {}}, {"GTU_11", 93, 'C', {}}, {"GTU_12", 94, 'C', {}},
    {"GTU_13", 95, 'C', {}},
};
constexpr RecordElement Sw{"SW", 96, 'C', {}};
constexpr RecordElement Ee{"EE", 97, 'C', {}};
constexpr RecordElement WstoEe{"WSTO_EE", 98, 'C', {}};
constexpr RecordElement Ied{"IED", 99, 'C', {}};
constexpr RecordElement Tail[] = {  // TP .. B_MPV_PROWIZJA
    {"TP", 100, 'C', {}},     {"TT_WNT", 101, 'C', {}}, {"TT_D", 102, 'C', {}},
    {"MR_T", 103, 'C', {}},   {"MR_UZ", 104, 'C', {}},  {"I_42", 105, 'C', {}},
    {"I_63", 106, 'C', {}},   {"B_SPV", 107, 'C', {}},  {"B_SPV_DOSTAWA", 108, 'C', {}},
    {"B_MPV_PROWIZJA", 109, 'C', {}},
};
constexpr RecordElement K[] = {  // K_10 .. K_36
    {"K_10", 10, 'K', "dost.zw."},      {"K_11", 11, 'K', "poza kraj."},
    {"K_12", 12, 'K', "art. 100"},      {"K_13", 13, 'K', "dost.0 %"},
    {"K_14", 14, 'K', "art. 129"},      {"K_15", 15, 'K', "dost.5 %"},
    {"K_16", 16, 'K', "ptiu 5 %"},      {"K_17", 17, 'K', "dost.8 %"},
    {"K_18", 18, 'K', "ptiu 8 %"},      {"K_19", 19, 'K', "dost.23 %"},
    {"K_20", 20, 'K', "ptiu 23 %"},     {"K_21", 21, 'K', "WDT"},
    {"K_22", 22, 'K', "eksport"},       {"K_23", 23, 'K', "WNT"},
    {"K_24", 24, 'K', "ptiu WNT"},      {"K_25", 25, 'K', "import 33a"},
    {"K_26", 26, 'K', "ptiu 33a"},      {"K_27", 27, 'K', "import us\xB3."},
    {"K_28", 28, 'K', "ptiu imp.us\xB3."}, {"K_29", 29, 'K', "imp.us\xB3. 28b"},
    {"K_30", 30, 'K', "ptiu 28b"},      {"K_31", 31, 'K', "odwr.obc."},
    {"K_32", 32, 'K', "ptiu odwr.obc."}, {"K_33", 33, 'K', "spis z natury"},
    {"K_34", 34, 'K', "zwrot kas"},     {"K_35", 35, 'K', "WNT transp."},
    {"K_36", 36, 'K', "WNT paliw"},
};
constexpr RecordElement K360{"K_360", 37, 'K', "kaucja"};
constexpr RecordElement MarzaS{"SprzedazVAT_Marza", 38, 'K', "mar\xBF" "a sprz."};

constexpr RecordElement LpZ{"LpZakupu", 1, 'P', {}};
constexpr RecordElement NrZ{"NrDostawcy", 2, 0, {}};
constexpr RecordElement NazwaZ{"NazwaDostawcy", 3, 0, {}};
constexpr RecordElement DowodZ{"DowodZakupu", 5, 0, {}};
constexpr RecordElement DataZ{"DataZakupu", 7, 'C', {}};
constexpr RecordElement Wplyw{"DataWplywu", 8, 'C', {}};
constexpr RecordElement DokZ{"DokumentZakupu", 9, 'C', {}};
constexpr RecordElement KZ[] = {  // K_40 .. K_47
    {"K_40", 40, 'K', "nab. \x8C-T"},   {"K_41", 41, 'K', "ptiu \x8C-T"},
    {"K_42", 42, 'K', "nab. TiU"},      {"K_43", 43, 'K', "ptiu TiU"},
    {"K_44", 44, 'K', "kor. \x8C-T"},   {"K_45", 45, 'K', "kor. TiU"},
    {"K_46", 46, 'K', "kor. 89b/1"},    {"K_47", 47, 'K', "kor. 89b/4"},
};
constexpr RecordElement MarzaZ{"ZakupVAT_Marza", 39, 'K', "mar\xBF" "a zak."};

}  // namespace v7

// Builds an array from pieces: single elements and runs.
template <std::size_t N>
struct Builder {
    std::array<RecordElement, N> out{};
    std::size_t size = 0;
    constexpr Builder& add(const RecordElement& e)
    {
        out[size++] = e;
        return *this;
    }
    template <std::size_t M>
    constexpr Builder& add(const RecordElement (&run)[M])
    {
        for (const RecordElement& e : run)
            out[size++] = e;
        return *this;
    }
    // Fails to compile when the pieces do not fill the array exactly.
    constexpr std::array<RecordElement, N> done() const
    {
        if (size != N)
            throw "record element count differs from the array size";
        return out;
    }
};

// V7M(1), V7K(1): SW, EE and MPP in the sales record; MPP and IMP in purchases.
constexpr auto kV7Sales1 = Builder<63>{}
                               .add(v7::Lp).add(v7::Tin).add(v7::Nr).add(v7::Nazwa)
                               .add(v7::Dowod).add(v7::DataW).add(v7::DataS).add(v7::Typ)
                               .add(v7::Gtu).add(v7::Sw).add(v7::Ee).add(v7::Tail)
                               .add(v7::Mpp).add(v7::Korekta).add(v7::K).add(v7::MarzaS)
                               .done();
constexpr auto kV7Purchases1 = Builder<19>{}
                                   .add(v7::LpZ).add(v7::Tin).add(v7::NrZ).add(v7::NazwaZ)
                                   .add(v7::DowodZ).add(v7::DataZ).add(v7::Wplyw).add(v7::DokZ)
                                   .add(v7::Mpp).add(v7::Imp).add(v7::KZ).add(v7::MarzaZ)
                                   .done();
// V7M(2), V7K(2): WSTO_EE and IED instead of SW and EE, no MPP; the choice
// TerminPlatnosci | DataZaplaty.
constexpr auto kV7Sales2 = Builder<64>{}
                               .add(v7::Lp).add(v7::Tin).add(v7::Nr).add(v7::Nazwa)
                               .add(v7::Dowod).add(v7::DataW).add(v7::DataS).add(v7::Typ)
                               .add(v7::Gtu).add(v7::WstoEe).add(v7::Ied).add(v7::Tail)
                               .add(v7::Korekta).add(v7::Termin).add(v7::Zaplata).add(v7::K)
                               .add(v7::MarzaS)
                               .done();
constexpr auto kV7Purchases2 = Builder<18>{}
                                   .add(v7::LpZ).add(v7::Tin).add(v7::NrZ).add(v7::NazwaZ)
                                   .add(v7::DowodZ).add(v7::DataZ).add(v7::Wplyw).add(v7::DokZ)
                                   .add(v7::Imp).add(v7::KZ).add(v7::MarzaZ)
                                   .done();
// V7M(3): the choice NrKSeF | OFF | BFK | DI after the dates, K_360.
constexpr auto kV7Sales3 = Builder<69>{}
                               .add(v7::Lp).add(v7::Tin).add(v7::Nr).add(v7::Nazwa)
                               .add(v7::Dowod).add(v7::DataW).add(v7::DataS).add(v7::Ksef)
                               .add(v7::Off).add(v7::Bfk).add(v7::Di).add(v7::Typ)
                               .add(v7::Gtu).add(v7::WstoEe).add(v7::Ied).add(v7::Tail)
                               .add(v7::Korekta).add(v7::Termin).add(v7::Zaplata).add(v7::K)
                               .add(v7::K360).add(v7::MarzaS)
                               .done();
constexpr auto kV7Purchases3 = Builder<22>{}
                                   .add(v7::LpZ).add(v7::Tin).add(v7::NrZ).add(v7::NazwaZ)
                                   .add(v7::DowodZ).add(v7::DataZ).add(v7::Wplyw).add(v7::Ksef)
                                   .add(v7::Off).add(v7::Bfk).add(v7::Di).add(v7::DokZ)
                                   .add(v7::Imp).add(v7::KZ).add(v7::MarzaZ)
                                   .done();

constexpr Term kV7SalesTax[] = {
    {"K_16", 1}, {"K_18", 1}, {"K_20", 1}, {"K_24", 1}, {"K_26", 1}, {"K_28", 1},
    {"K_30", 1}, {"K_32", 1}, {"K_33", 1}, {"K_34", 1}, {"K_35", -1}, {"K_36", -1},
};
constexpr Term kV7SalesTax3[] = {
    {"K_16", 1}, {"K_18", 1}, {"K_20", 1}, {"K_24", 1}, {"K_26", 1}, {"K_28", 1},
    {"K_30", 1}, {"K_32", 1}, {"K_33", 1}, {"K_34", 1}, {"K_35", -1}, {"K_36", -1},
    {"K_360", -1},
};
constexpr Term kV7PurchaseTax[] = {
    {"K_41", 1}, {"K_43", 1}, {"K_44", 1}, {"K_45", 1}, {"K_46", 1}, {"K_47", 1},
};

constexpr Section vatSales(std::span<const Term> terms)
{
    return {"SprzedazWiersz", "SprzedazCtrl", "LpSprzedazy", "LiczbaWierszySprzedazy",
            "PodatekNalezny", kVatSales, terms, {}, {}};
}
constexpr Section vatPurchases()
{
    return {"ZakupWiersz", "ZakupCtrl", "LpZakupu", "LiczbaWierszyZakupow",
            "PodatekNaliczony", kVatPurchases, kVatPurchaseTax, {}, {}};
}
constexpr Section v7Sales(std::span<const RecordElement> elements, std::span<const Term> terms)
{
    return {"SprzedazWiersz", "SprzedazCtrl", "LpSprzedazy", "LiczbaWierszySprzedazy",
            "PodatekNalezny", elements, terms, "TypDokumentu", "FP"};
}
constexpr Section v7Purchases(std::span<const RecordElement> elements)
{
    return {"ZakupWiersz", "ZakupCtrl", "LpZakupu", "LiczbaWierszyZakupow",
            "PodatekNaliczony", elements, kV7PurchaseTax, {}, {}};
}

constexpr std::string_view kEtd2016 =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2016/01/25/eD/DefinicjeTypy/";
constexpr std::string_view kEtd2018 =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2018/08/24/eD/DefinicjeTypy/";
constexpr std::string_view kEtd2020 =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2020/03/11/eD/DefinicjeTypy/";
constexpr std::string_view kEtd2021 =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2021/06/08/eD/DefinicjeTypy/";
constexpr std::string_view kEtd2022 =
    "http://crd.gov.pl/xml/schematy/dziedzinowe/mf/2022/09/13/eD/DefinicjeTypy/";

constexpr Form other(std::string_view ns, std::string_view name, std::string_view schema)
{
    return {ns, name, {}, {}, {}, {}, schema, {}, Family::Other, Period::None, {}, {}};
}

const Form kForms[] = {
    {"http://jpk.mf.gov.pl/wzor/2016/10/26/10261/", "JPK_VAT(2)", "JPK_VAT", "JPK_VAT (2)", "1-0",
     "2", "Schemat_JPK_VAT(2)_v1-0.xsd", kEtd2016, Family::Vat2, Period::Dates,
     vatSales(kVatSalesTax), vatPurchases()},
    {"http://jpk.mf.gov.pl/wzor/2017/11/13/1113/", "JPK_VAT(3)", "JPK_VAT", "JPK_VAT (3)", "1-1",
     "3", "Schemat_JPK_VAT(3)_v1-1.xsd", kEtd2018, Family::Vat3, Period::Dates,
     vatSales(kVatSalesTax), vatPurchases()},
    {"http://crd.gov.pl/wzor/2020/05/08/9393/", "JPK_V7M(1)", "JPK_VAT", "JPK_V7M (1)", "1-2E",
     "1", "Schemat_JPK_V7M(1)_v1-2E.xsd", kEtd2020, Family::V7, Period::Month,
     v7Sales(kV7Sales1, kV7SalesTax), v7Purchases(kV7Purchases1)},
    {"http://crd.gov.pl/wzor/2021/07/08/07081/", "JPK_V7M(2)", "JPK_VAT", "JPK_V7M (2)", "1-0E",
     "2", "Schemat_JPK_V7M(2)_v1-0.xsd", kEtd2021, Family::V7, Period::Month,
     v7Sales(kV7Sales2, kV7SalesTax), v7Purchases(kV7Purchases2)},
    {"http://crd.gov.pl/wzor/2025/12/19/14090/", "JPK_V7M(3)", "JPK_VAT", "JPK_V7M (3)", "1-0E",
     "3", "JPK_V7M(3)/jpk_v7m.xsd", kEtd2022, Family::V7, Period::Month,
     v7Sales(kV7Sales3, kV7SalesTax3), v7Purchases(kV7Purchases3)},
    {"http://crd.gov.pl/wzor/2020/05/08/9394/", "JPK_V7K(1)", "JPK_VAT", "JPK_V7K (1)", "1-2E",
     "1", "Schemat_JPK_V7K(1)_v1-2E.xsd", kEtd2020, Family::V7, Period::Month,
     v7Sales(kV7Sales1, kV7SalesTax), v7Purchases(kV7Purchases1)},
    {"http://crd.gov.pl/wzor/2021/07/08/07082/", "JPK_V7K(2)", "JPK_VAT", "JPK_V7K (2)", "1-0E",
     "2", "Schemat_JPK_V7K(2)_v1-0.xsd", kEtd2021, Family::V7, Period::Month,
     v7Sales(kV7Sales2, kV7SalesTax), v7Purchases(kV7Purchases2)},
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03094/", "JPK_VAT(1)", "Schemat_JPK_VAT(1)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03091/", "JPK_KR(1)", "Schemat_JPK_KR(1)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03092/", "JPK_WB(1)", "Schemat_JPK_WB(1)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03093/", "JPK_MAG(1)", "Schemat_JPK_MAG(1)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03095/", "JPK_FA(1)", "Schemat_JPK_FA(1)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2019/03/21/03211/", "JPK_FA(2)", "Schemat_JPK_FA(2)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2019/09/27/09271/", "JPK_FA(3)", "Schemat_JPK_FA(3)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03096/", "JPK_PKPIR(1)", "Schemat_JPK_PKPIR_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/10/26/10262/", "JPK_PKPIR(2)", "Schemat_JPK_PKPIR(2)_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2016/03/09/03097/", "JPK_EWP(1)", "Schemat_JPK_EWP_v1-0.xsd"),
    other("http://jpk.mf.gov.pl/wzor/2021/01/25/01251/", "JPK_EWP(2)", "Schemat_JPK_EWP(2)_v1-1.xsd"),
};

}  // namespace

std::span<const Form> forms()
{
    return kForms;
}

const Form* findForm(std::string_view ns)
{
    for (const Form& f : kForms)
        if (f.ns == ns)
            return &f;
    return nullptr;
}

const Form* findFormByName(std::string_view name)
{
    for (const Form& f : kForms)
        if (f.name == name)
            return &f;
    return nullptr;
}

const RecordElement* findElement(const Section& section, std::string_view name)
{
    const auto it = std::find_if(section.elements.begin(), section.elements.end(),
                                 [&](const RecordElement& e) { return e.name == name; });
    return it == section.elements.end() ? nullptr : &*it;
}

}  // namespace zbir::jpkforms
