// The transport of a generated JPK_VAT group with the spreadsheet window open
// against the same transport without a window, and the window repainting
// while it scrolls through the group's biggest sheet.
//
//   sheet_window_bench [--files N] [--records M] [--runs R]
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise. Each run removes the
// workbook first, so that every transport starts from the same case.

#include "shell/app.h"
#include "engine/embedded_application.h"
#include "engine/gui/sheet_grid.h"
#include "engine/gui/sheet_model.h"
#include "engine/gui/sheet_window.h"
#include "engine/gui/sheet_window_provider.h"
#include "spreadsheet/workbook.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace fs = std::filesystem;
using namespace zbir;

namespace {

const char* const kGroup = "JPK_VAT_2099_01";

double wallNow()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double cpuNow()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

class QtPort : public shell::WindowPort {
public:
    void processEvents() override { QApplication::processEvents(); }
};

struct Run {
    double wall = 0;
    double cpu = 0;
    long refreshes = 0;
};

// One transport; the window provider's window, when there is one, stays for the caller.
Run transport(const fs::path& work, std::shared_ptr<workbook::Provider> provider)
{
    for (const auto& e : fs::directory_iterator(work))
        if (e.path().extension() == ".XLS")
            fs::remove(e.path());
    QtPort port;
    shell::App app(work, port, provider);
    app.FoCreat();
    if (!app.selectGroup(kGroup)) {
        std::fprintf(stderr, "no group %s\n", kGroup);
        std::exit(1);
    }
    Run r;
    const double w0 = wallNow();
    const double c0 = cpuNow();
    app.MakeXLS();
    r.wall = wallNow() - w0;
    r.cpu = cpuNow() - c0;
    if (!app.lastOk()) {
        std::fprintf(stderr, "transport failed: %s\n", app.statusText().c_str());
        std::exit(1);
    }
    return r;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    int files = 2, records = 20000, runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const int v = std::atoi(argv[i + 1]);
        if (a == "--files")
            files = v;
        else if (a == "--records")
            records = v;
        else if (a == "--runs")
            runs = v;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);

    const fs::path root = fs::temp_directory_path() / ("zbir-window-bench-" + std::to_string(getpid()));
    const fs::path work = root / "praca";
    fs::create_directories(work);
    const std::string gen = "python3 '" + (fs::path(ZBIR_SOURCE_DIR) / "bench" / "make_jpk_vat_group.py").string() +
                            "' '" + root.string() + "' " + kGroup + " " + std::to_string(files) + " " +
                            std::to_string(records) + " >/dev/null";
    if (std::system(gen.c_str()) != 0) {
        std::fprintf(stderr, "generator failed\n");
        return 1;
    }
    std::printf("group: %d files x %d records\n", files, records);

    std::vector<double> plainWall, plainCpu, windowWall, windowCpu;
    long refreshes = 0;
    std::shared_ptr<workbook::SheetWindowProvider> lastWindowed;
    for (int run = 0; run < runs; ++run) {
        const Run plain = transport(work, workbook::makeEmbeddedProvider());
        plainWall.push_back(plain.wall);
        plainCpu.push_back(plain.cpu);

        auto windowed = std::make_shared<workbook::SheetWindowProvider>(workbook::makeEmbeddedProvider());
        const Run shown = transport(work, windowed);
        windowWall.push_back(shown.wall);
        windowCpu.push_back(shown.cpu);
        refreshes = windowed->window() ? windowed->window()->refreshCount() : -1;
        lastWindowed = windowed;
    }
    const double pw = median(plainWall), ww = median(windowWall);
    std::printf("transport without a window: %.2f s wall, %.2f s CPU (median of %d)\n", pw, median(plainCpu), runs);
    std::printf("transport with the window:  %.2f s wall, %.2f s CPU (median of %d), %ld refreshes\n", ww,
                median(windowCpu), runs, refreshes);
    std::printf("window / no window: %.3f\n", pw > 0 ? ww / pw : 0);

    // Scrolling: the biggest sheet, a page at a time and in long jumps, each
    // step painted at once.
    workbook::SheetWindow* window = lastWindowed->window();
    workbook::Application& xl = window->application();
    const workbook::Workbook& book = *window->application().engine().activeWorkbook();
    int biggest = 0;
    for (int i = 0; i < book.sheetCount(); ++i)
        if (book.sheet(i).usedRows() > book.sheet(biggest).usedRows())
            biggest = i;
    xl.sheetsSelect(biggest + 1);
    xl.setScreenUpdating(true);
    window->resize(1280, 900);
    window->refresh();
    QApplication::processEvents();
    workbook::SheetGrid* grid = window->grid();
    QScrollBar* bar = grid->verticalScrollBar();
    const int rows = window->model()->rowCount();
    const int page = std::max(1, bar->pageStep());
    std::vector<double> frames;
    auto paintAt = [&](int value) {
        bar->setValue(value);
        const double t0 = wallNow();
        grid->viewport()->repaint();
        grid->verticalHeader()->viewport()->repaint();
        frames.push_back((wallNow() - t0) * 1000);
    };
    for (int v = 0; v < std::min(bar->maximum(), 200 * page); v += page)
        paintAt(v);
    for (int i = 0; i <= 100; ++i)
        paintAt(static_cast<int>(static_cast<long long>(bar->maximum()) * ((i * 37) % 101) / 100));
    auto report = [&](const char* what) {
        std::sort(frames.begin(), frames.end());
        double sum = 0;
        for (double f : frames)
            sum += f;
        std::printf("%s: %zu steps, %.2f ms mean, %.2f ms median, %.2f ms max\n", what, frames.size(),
                    sum / static_cast<double>(frames.size()), frames[frames.size() / 2], frames.back());
        frames.clear();
    };
    std::printf("scrolling a sheet of %d rows in a %dx%d grid\n", rows, grid->viewport()->width(),
                grid->viewport()->height());
    report("  whole grid repainted, pages and jumps");
    // As the wheel scrolls: three rows a step, the grid painting what it needs.
    bar->setValue(0);
    QApplication::processEvents();
    for (int i = 0; i < 300; ++i) {
        const double t0 = wallNow();
        bar->setValue(bar->value() + 3);
        QApplication::processEvents();
        frames.push_back((wallNow() - t0) * 1000);
    }
    report("  three rows a step, painted as needed");

    lastWindowed.reset();
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
