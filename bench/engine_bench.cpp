// Writes a sheet of text and amount cells through the automation interface
// as the transport does (AutoFit after every row, totals at the end) and
// saves it; then writes the same cells with libxlsxwriter alone, the floor
// any save through it has. Each run is a child process, so that its peak
// memory is its own.
//
//   engine_bench [cells] [columns] [folder]

#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"

#include <xlsxwriter.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using zbir::workbook::Application;

struct Shape {
    long rows;
    int columns;
};

bool isAmount(int col)
{
    return col % 4 == 0;
}

// The text of cell (row, col): amounts with a decimal comma, otherwise texts
// of varied length, some with Polish letters.
std::string cellText(long row, int col)
{
    char buf[64];
    if (isAmount(col))
        std::snprintf(buf, sizeof buf, "%ld,%02ld", (row * 7919 + col * 104729) % 1000000, (row + col) % 100);
    else if (col % 4 == 1)
        std::snprintf(buf, sizeof buf, "%ld", row);
    else if (col % 4 == 2)
        std::snprintf(buf, sizeof buf, "FV/%ld/2017", row * 3 + col);
    else
        std::snprintf(buf, sizeof buf, "Kontrahent \xB3\xF3" "d\x9F %ld", (row * 31 + col) % 5000);
    return buf;
}

std::string columnName(lxw_col_t col)
{
    std::string s;
    for (long c = static_cast<long>(col) + 1; c > 0; c = (c - 1) / 26)
        s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void engineRun(const Shape& shape, const std::string& path, int out)
{
    auto app = zbir::workbook::embeddedProvider()->create();
    auto t0 = Clock::now();
    app->workbooksAdd();
    app->sheetsAddAfter(1);
    app->activeSheetSetName("JPK_VAT_2017 05");
    app->cellsSelect();
    app->selectionSetNumberFormat("@");
    app->selectionSetFontSize(8);
    app->selectionSetColumnWidth(0.14);
    app->rangeSelect("A1");
    for (int c = 1; c <= shape.columns; ++c)
        if (isAmount(c))
            app->setColumnNumberFormat(c, "# ##0,00");
    for (long r = 2; r <= shape.rows + 1; ++r) {
        int row = static_cast<int>(r);
        for (int c = 1; c <= shape.columns; ++c) {
            app->setCellValue(row, c, cellText(r, c));
            app->cellSelect(row, c);
        }
        app->cellsAutoFit();
        app->cellSelect(row, 1);
    }
    int totals = static_cast<int>(shape.rows) + 2;
    for (int c = 1; c <= shape.columns; ++c)
        if (isAmount(c)) {
            std::string f = "=SUM(R2C:R" + std::to_string(totals - 1) + "C)";
            app->setCellFormulaR1C1(totals, c, f);
            app->setCellFormulaR1C1(1, c, f);
            app->cellsAutoFit();
        }
    auto t1 = Clock::now();
    app->activeWorkbookSaveAs(path);
    auto t2 = Clock::now();
    double times[2] = {seconds(t0, t1), seconds(t1, t2)};
    if (write(out, times, sizeof times) != sizeof times)
        std::exit(1);
}

void floorRun(const Shape& shape, const std::string& path, int out)
{
    auto t0 = Clock::now();
    lxw_workbook* book = workbook_new(path.c_str());
    workbook_add_worksheet(book, "Arkusz1");
    lxw_worksheet* ws = workbook_add_worksheet(book, "JPK_VAT_2017 05");
    lxw_format* text = workbook_add_format(book);
    format_set_num_format_index(text, 49);
    format_set_font_size(text, 8);
    lxw_format* amount = workbook_add_format(book);
    format_set_num_format_index(amount, 4);
    format_set_font_size(amount, 8);
    for (long r = 2; r <= shape.rows + 1; ++r)
        for (int c = 1; c <= shape.columns; ++c) {
            std::string t = cellText(r, c);
            auto row = static_cast<lxw_row_t>(r - 1);
            auto col = static_cast<lxw_col_t>(c - 1);
            if (isAmount(c)) {
                std::replace(t.begin(), t.end(), ',', '.');
                worksheet_write_number(ws, row, col, std::strtod(t.c_str(), nullptr), amount);
            } else {
                worksheet_write_string(ws, row, col, t.c_str(), text);
            }
        }
    for (int c = 1; c <= shape.columns; ++c) {
        auto col = static_cast<lxw_col_t>(c - 1);
        worksheet_set_column(ws, col, col, 9.5, isAmount(c) ? amount : text);
        if (isAmount(c)) {
            std::string letter = columnName(col);
            std::string f = "=SUM(" + letter + "$2:" + letter + "$" + std::to_string(shape.rows + 1) + ")";
            worksheet_write_formula_num(ws, 0, col, f.c_str(), amount, 0);
            worksheet_write_formula_num(ws, static_cast<lxw_row_t>(shape.rows + 1), col, f.c_str(), amount, 0);
        }
    }
    worksheet_set_column(ws, static_cast<lxw_col_t>(shape.columns), 16383, 0.14, text);
    if (workbook_close(book) != LXW_NO_ERROR)
        std::exit(1);
    auto t1 = Clock::now();
    double times[2] = {0, seconds(t0, t1)};
    if (write(out, times, sizeof times) != sizeof times)
        std::exit(1);
}

struct Result {
    double build, save;  // wall seconds
    double cpu;          // user and system seconds of the whole run
    long peakKb;
};

template <class Run>
Result inChild(Run run)
{
    int fds[2];
    if (pipe(fds) != 0)
        std::exit(1);
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        run(fds[1]);
        std::_Exit(0);
    }
    close(fds[1]);
    double times[2] = {-1, -1};
    if (read(fds[0], times, sizeof times) != sizeof times)
        std::fprintf(stderr, "a run failed\n");
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    auto secs = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    return {times[0], times[1], secs(usage.ru_utime) + secs(usage.ru_stime), usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv)
{
    long cells = argc > 1 ? std::atol(argv[1]) : 2000000;
    int columns = argc > 2 ? std::atoi(argv[2]) : 40;
    std::filesystem::path folder = argc > 3 ? argv[3] : std::filesystem::temp_directory_path();
    Shape shape{cells / columns, columns};
    auto enginePath = (folder / "engine_bench.XLS").string();
    auto floorPath = (folder / "engine_bench_floor.xlsx").string();

    std::printf("%ld cells: %ld rows x %d columns, every fourth an amount column\n", shape.rows * columns, shape.rows,
                columns);
    Result engine = inChild([&](int out) { engineRun(shape, enginePath, out); });
    Result floor = inChild([&](int out) { floorRun(shape, floorPath, out); });
    double engineTotal = engine.build + engine.save;
    std::printf("engine: %.2f s writing with AutoFit after each row, %.2f s saving, %.2f s in all (%.2f s CPU), "
                "peak %.0f MB, file %.1f MB\n",
                engine.build, engine.save, engineTotal, engine.cpu, static_cast<double>(engine.peakKb) / 1024.0,
                static_cast<double>(std::filesystem::file_size(enginePath)) / 1048576.0);
    std::printf("floor (libxlsxwriter alone): %.2f s (%.2f s CPU), peak %.0f MB, file %.1f MB\n", floor.save, floor.cpu,
                static_cast<double>(floor.peakKb) / 1024.0,
                static_cast<double>(std::filesystem::file_size(floorPath)) / 1048576.0);
    std::printf("engine / floor: %.2f x time, %.2f x CPU time, %.2f x peak memory\n", engineTotal / floor.save,
                engine.cpu / floor.cpu, static_cast<double>(engine.peakKb) / static_cast<double>(floor.peakKb));
    if (!std::getenv("ENGINE_BENCH_KEEP"))
        std::filesystem::remove(enginePath);
    std::filesystem::remove(floorPath);
    return 0;
}
