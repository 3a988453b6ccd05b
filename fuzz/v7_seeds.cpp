// Writes small JPK_V7M / JPK_V7K files, one group of two a form, each file
// valid against its form's schema: seeds for the V7 fuzz targets' corpora
// (scripts/make-fuzz-seeds.sh transports them into workbooks for the
// combined-file target). Usage: v7_seeds FOLDER; writes
// FOLDER/<form>/JPK_V7x_2026_03_A.XML (header, a company or a person,
// declaration, sales with an FP invoice, a purchase) and _B.XML (records
// only), with <form> as "V7M1" etc.

#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

using namespace zbir;
namespace fs = std::filesystem;

namespace {

struct Declaration {
    const char* form;
    const char* code;
    const char* system;
    const char* version;
    const char* variant;
    bool person;  // the taxpayer a natural person
};

const Declaration kDeclarations[] = {
    {"JPK_V7M(1)", "VAT-7", "VAT-7 (21)", "1-2E", "21", false},
    {"JPK_V7M(2)", "VAT-7", "VAT-7 (22)", "1-0E", "22", false},
    {"JPK_V7M(3)", "VAT-7", "VAT-7 (23)", "1-0E", "23", false},
    {"JPK_V7K(1)", "VAT-7K", "VAT-7K (15)", "1-2E", "15", true},
    {"JPK_V7K(2)", "VAT-7K", "VAT-7K (16)", "1-0E", "16", true},
};

using Values = std::map<std::string, std::string>;

std::string leaf(int level, const std::string& name, const std::string& value, const std::string& attributes = {})
{
    std::string line(static_cast<std::size_t>(level) * 2, ' ');
    line += "<" + name + (attributes.empty() ? "" : " " + attributes) + ">" + value + "</" + name + ">\r\n";
    return line;
}

std::string open(int level, const std::string& name, const std::string& attributes = {})
{
    return std::string(static_cast<std::size_t>(level) * 2, ' ') + "<" + name +
           (attributes.empty() ? "" : " " + attributes) + ">\r\n";
}

// A record with `values`, in the schema's order of the section.
std::string record(const jpkforms::Section& s, const Values& values)
{
    std::string x = open(2, "tns:" + std::string(s.record));
    for (const jpkforms::RecordElement& e : s.elements)
        if (auto it = values.find(std::string(e.name)); it != values.end())
            x += leaf(3, "tns:" + it->first, it->second);
    return x + open(2, "/tns:" + std::string(s.record));
}

std::string file(const jpkforms::Form& f, const Declaration& d, bool first)
{
    const bool bfk = jpkforms::findElement(f.sales, "BFK") != nullptr;
    const bool k360 = jpkforms::findElement(f.sales, "K_360") != nullptr;
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    x += "<tns:JPK xmlns:etd=\"" + std::string(f.etdNamespace) + "\" xmlns:tns=\"" + std::string(f.ns) + "\">\r\n";
    x += open(1, "tns:Naglowek");
    x += leaf(2, "tns:KodFormularza", "JPK_VAT",
              "kodSystemowy=\"" + std::string(f.kodSystemowy) + "\" wersjaSchemy=\"" + std::string(f.wersjaSchemy) + "\"");
    x += leaf(2, "tns:WariantFormularza", std::string(f.wariant));
    x += leaf(2, "tns:DataWytworzeniaJPK", "2026-04-02T10:00:00");
    x += leaf(2, "tns:NazwaSystemu", "Ksi\xC4\x99gowo\xC5\x9B\xC4\x87");
    x += leaf(2, "tns:CelZlozenia", "1", "poz=\"P_7\"");
    x += leaf(2, "tns:KodUrzedu", "1471");
    x += leaf(2, "tns:Rok", "2026");
    x += leaf(2, "tns:Miesiac", "3");
    x += open(1, "/tns:Naglowek");
    x += open(1, "tns:Podmiot1", "rola=\"Podatnik\"");
    if (d.person) {
        x += open(2, "tns:OsobaFizyczna");
        x += leaf(3, "etd:NIP", "7018631981");
        x += leaf(3, "etd:ImiePierwsze", "Jan");
        x += leaf(3, "etd:Nazwisko", "Kowalski");
        x += leaf(3, "etd:DataUrodzenia", "1979-08-13");
        x += leaf(3, "tns:Email", "biuro@firma.pl");
        x += open(2, "/tns:OsobaFizyczna");
    } else {
        x += open(2, "tns:OsobaNiefizyczna");
        x += leaf(3, "tns:NIP", "5252614371");
        x += leaf(3, "tns:PelnaNazwa", "Hurtownia \xC5\x81\xC3\xB3" "d\xC5\xBA &amp; Syn");
        x += leaf(3, "tns:Email", "biuro@firma.pl");
        x += open(2, "/tns:OsobaNiefizyczna");
    }
    x += open(1, "/tns:Podmiot1");
    if (first) {
        x += open(1, "tns:Deklaracja");
        x += open(2, "tns:Naglowek");
        x += leaf(3, "tns:KodFormularzaDekl", d.code,
                  "kodSystemowy=\"" + std::string(d.system) + "\" kodPodatku=\"VAT\" rodzajZobowiazania=\"Z\" "
                  "wersjaSchemy=\"" + d.version + "\"");
        x += leaf(3, "tns:WariantFormularzaDekl", d.variant);
        if (std::string(d.code) == "VAT-7K")
            x += leaf(3, "tns:Kwartal", "1");
        x += open(2, "/tns:Naglowek");
        x += open(2, "tns:PozycjeSzczegolowe");
        x += leaf(3, "tns:P_38", "123");
        x += leaf(3, "tns:P_51", "0");
        x += open(2, "/tns:PozycjeSzczegolowe");
        x += leaf(2, "tns:Pouczenia", "1");
        x += open(1, "/tns:Deklaracja");
    }
    x += open(1, "tns:Ewidencja");
    Values sale{{"LpSprzedazy", "1"}, {"NrKontrahenta", "5213004183"}, {"NazwaKontrahenta", "Nabywca"},
                {"DowodSprzedazy", first ? "FV/1" : "FV/3"}, {"DataWystawienia", "2026-03-05"},
                {"K_19", "100.00"}, {"K_20", "23.00"}};
    if (bfk)
        sale["BFK"] = "1";
    Values fp = sale;
    fp["LpSprzedazy"] = "2";
    fp["DowodSprzedazy"] = first ? "FP/1" : "FP/2";
    fp["TypDokumentu"] = "FP";
    fp["KodKrajuNadaniaTIN"] = "PL";
    Values other = sale;
    other["LpSprzedazy"] = "2";
    other["DataSprzedazy"] = "2026-03-06";
    other["GTU_06"] = "1";
    other["K_11"] = "50.00";
    if (k360)
        other["K_360"] = "2.50";
    double due = 23.0 + (first ? 0.0 : 23.0) - (k360 && !first ? 2.5 : 0.0);
    x += record(f.sales, sale) + record(f.sales, first ? fp : other);
    char sum[32];
    std::snprintf(sum, sizeof sum, "%.2f", due);
    x += open(2, "tns:SprzedazCtrl") + leaf(3, "tns:LiczbaWierszySprzedazy", "2") +
         leaf(3, "tns:PodatekNalezny", sum) + open(2, "/tns:SprzedazCtrl");
    Values purchase{{"LpZakupu", "1"}, {"KodKrajuNadaniaTIN", "PL"}, {"NrDostawcy", "8133764427"},
                    {"NazwaDostawcy", "Dostawca"}, {"DowodZakupu", "Z/1"}, {"DataZakupu", "2026-03-04"},
                    {"K_42", "100.00"}, {"K_43", "23.00"}};
    if (bfk)
        purchase["BFK"] = "1";
    x += record(f.purchases, purchase);
    x += open(2, "tns:ZakupCtrl") + leaf(3, "tns:LiczbaWierszyZakupow", "1") +
         leaf(3, "tns:PodatekNaliczony", "23.00") + open(2, "/tns:ZakupCtrl");
    x += open(1, "/tns:Ewidencja");
    return x + "</tns:JPK>\r\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: v7_seeds FOLDER\n");
        return 2;
    }
    int invalid = 0;
    for (const Declaration& d : kDeclarations) {
        const jpkforms::Form* f = jpkforms::findFormByName(d.form);
        if (!f) {
            std::fprintf(stderr, "v7_seeds: no form %s\n", d.form);
            return 1;
        }
        std::string tag = std::string(d.form).substr(4);  // "V7M(1)"
        std::erase_if(tag, [](char c) { return c == '(' || c == ')'; });
        const fs::path folder = fs::path(argv[1]) / tag;
        fs::create_directories(folder);
        const std::string group = std::string("JPK_") + tag.substr(0, 3) + "_2026_03";
        for (bool first : {true, false}) {
            const std::string text = file(*f, d, first);
            const jpkforms::CheckResult check = jpkforms::checkDocument(text);
            if (check.verdict != jpkforms::Verdict::Valid) {
                std::fprintf(stderr, "v7_seeds: %s %s not valid: %s\n", d.form, first ? "A" : "B",
                             check.problems.empty() ? "?" : check.problems.front().message.c_str());
                ++invalid;
            }
            std::ofstream(folder / (group + (first ? "_A.XML" : "_B.XML")), std::ios::binary) << text;
        }
    }
    return invalid ? 1 : 0;
}
