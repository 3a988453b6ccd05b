// Builds a JPK_VAT(2) transport workbook of 100,000 record rows (80,000
// sales and 20,000 purchases on two file sheets) in the embedded spreadsheet,
// then times writing the combined file from it; then the same for a
// JPK_V7M(2) group. The build includes the checks of every cell and the
// schema check of the result; the schema check is also timed alone.
//   bench_jpkvat [ROWS]

#include "jpkforms/schema_check.h"
#include "jpkvat/jpk_writer.h"
#include "jpkvat/jpk_workbook.h"
#include "jpkvat/variant_workbook.h"
#include "shell/app.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::vector<zbir::test::JpkRecord> records(int count, bool sales)
{
    std::vector<zbir::test::JpkRecord> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        zbir::test::JpkRecord r;
        const std::string n = std::to_string(i);
        r.cells = {{1, n}, {2, "5260250274"}, {3, "Kontrahent " + n}, {4, "ul. Prosta " + n + ", Warszawa"},
                   {5, "FV/" + n + "/2017"}, {sales ? 6 : 7, "2017-05-15"}};
        if (sales)
            r.cells.insert(r.cells.end(), {{19, std::to_string(i % 1000) + ",50"}, {20, "23,12"}});
        else
            r.cells.insert(r.cells.end(), {{45, std::to_string(i % 700) + ".25"}, {46, "18.46"}});
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace

std::vector<zbir::test::Values> v7Records(const zbir::jpkforms::Form& form, int count, bool sales)
{
    std::vector<zbir::test::Values> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 1; i <= count; ++i) {
        const std::string n = std::to_string(i);
        if (sales)
            out.push_back({{"LpSprzedazy", n}, {"NrKontrahenta", "5260250274"}, {"NazwaKontrahenta", "Kontrahent " + n},
                           {"DowodSprzedazy", "FV/" + n + "/2026"}, {"DataWystawienia", "2026-03-15"},
                           {"GTU_01", "1"}, {"K_19", std::to_string(i % 1000) + ",50"}, {"K_20", "23,12"}});
        else
            out.push_back({{"LpZakupu", n}, {"NrDostawcy", "5260250274"}, {"NazwaDostawcy", "Dostawca " + n},
                           {"DowodZakupu", "Z/" + n + "/2026"}, {"DataZakupu", "2026-03-15"},
                           {"K_42", std::to_string(i % 700) + ".25"}, {"K_43", "18.46"}});
    }
    (void)form;
    return out;
}

// Times makeJpk on the open workbook and the schema check of its result.
bool timeBuild(zbir::shell::App& app, const std::filesystem::path& out, const char* what)
{
    auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    const bool ok = zbir::jpkvat::makeJpk(app);
    const double took = seconds(start);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::error_code ec;
    const auto size = std::filesystem::file_size(out, ec);
    std::printf("%s combined file: %s, %llu bytes, %.3f s (%.3f s of processor time; goal under 1 s)\n", what,
                ok ? "written" : "FAILED", static_cast<unsigned long long>(ec ? 0 : size), took, cpu);
    if (!ok)
        std::printf("  status: %s\n", app.statusText().c_str());
    start = Clock::now();
    const std::clock_t checkStart = std::clock();
    const auto check = zbir::jpkforms::checkFile(out);
    std::printf("  of which the schema check alone: %.3f s (%.3f s of processor time; %s)\n", seconds(start),
                static_cast<double>(std::clock() - checkStart) / CLOCKS_PER_SEC,
                check.verdict == zbir::jpkforms::Verdict::Valid ? "valid" : "NOT VALID");
    return ok;
}

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int purchases = rows / 5;
    const int sales = rows - purchases;
    const std::string group = "JPK_VAT_2017_05";

    std::random_device rd;
    const auto root = std::filesystem::temp_directory_path() / ("zbir-bench-" + std::to_string(rd()));
    const auto work = root / "praca";
    std::filesystem::create_directories(work);
    std::ofstream(root / (group + "_A.XML")) << "<JPK/>";
    std::ofstream(root / (group + "_B.XML")) << "<JPK/>";
    std::ofstream(work / "Podmiot1.JPK") << "KodUrzedu: 1471\r\nNIP: 5260250274\r\nPelnaNazwa: Firma\r\n"
                                             "KodKraju: PL\r\nMiejscowosc: Warszawa\r\n";

    zbir::shell::WindowPort port;
    zbir::shell::App app(work, port);
    app.FoCreat();
    app.xl = app.provider().create();
    auto& xl = *app.xl;

    auto start = Clock::now();
    zbir::test::newTransportWorkbook(xl, group, {19, 20, 45, 46}, (work / (group + ".XLS")).string());
    zbir::test::addFileSheet(xl, "A");
    zbir::test::FileSheetBuilder(xl)
        .header("2017-05-01", "2017-05-31")
        .list("<SprzedazWiersz>", zbir::test::salesHeadings({19, 20}), records(sales, true))
        .end();
    zbir::test::addFileSheet(xl, "B");
    zbir::test::FileSheetBuilder(xl)
        .header("2017-05-01", "2017-05-31")
        .list("<ZakupWiersz>", zbir::test::purchaseHeadings({45, 46}), records(purchases, false))
        .end();
    std::printf("workbook of %d rows built in %.3f s\n", rows, seconds(start));

    bool ok = timeBuild(app, root / (group + ".xml"), "JPK_VAT(2)");

    // JPK_V7M(2): 80 % sales on sheet A, purchases on sheet B.
    const std::string v7group = "JPK_V7M_2026_03";
    std::ofstream(root / (v7group + "_A.XML")) << "<JPK/>";
    std::ofstream(root / (v7group + "_B.XML")) << "<JPK/>";
    app.FoCreat();
    app.xl = app.provider().create();
    if (!app.selectGroup(v7group)) {
        std::printf("group %s not found\n", v7group.c_str());
        return 1;
    }
    const auto& form = *zbir::jpkforms::findFormByName("JPK_V7M(2)");
    auto& v7xl = *app.xl;
    start = Clock::now();
    zbir::test::newTransportWorkbook(v7xl, v7group, {}, (work / (v7group + ".XLS")).string());
    zbir::test::addFileSheet(v7xl, "A");
    zbir::test::VariantSheet(v7xl, form).header("03", "5260250274")
        .records(form.sales, v7Records(form, sales, true)).records(form.purchases, {}).end();
    zbir::test::addFileSheet(v7xl, "B");
    zbir::test::VariantSheet(v7xl, form).header("03", "5260250274")
        .records(form.sales, {}).records(form.purchases, v7Records(form, purchases, false)).end();
    std::printf("V7 workbook of %d rows built in %.3f s\n", rows, seconds(start));
    ok = timeBuild(app, root / (v7group + ".xml"), "JPK_V7M(2)") && ok;

    std::error_code ec;
    std::filesystem::remove_all(root, ec);
    return ok ? 0 : 1;
}
