// Builds a JPK_VAT transport workbook of 100,000 record rows (80,000 sales
// and 20,000 purchases on two file sheets) in the embedded spreadsheet, then
// times writing the combined file from it.
//   bench_jpkvat [ROWS]

#include "jpkvat/jpk_writer.h"
#include "jpkvat/jpk_workbook.h"
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

    start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    const bool ok = zbir::jpkvat::makeJpk(app);
    const double took = seconds(start);
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const auto out = root / (group + ".xml");
    std::error_code ec;
    const auto size = std::filesystem::file_size(out, ec);
    std::printf("combined file: %s, %llu bytes, %.3f s (%.3f s of processor time; goal under 1 s)\n",
                ok ? "written" : "FAILED", static_cast<unsigned long long>(ec ? 0 : size), took, cpu);
    std::filesystem::remove_all(root, ec);
    return ok ? 0 : 1;
}
