// Opening a workbook file into the embedded engine, and saving it again,
// timed phase by phase in this process (wall and CPU seconds, peak memory):
//
//   workbook_open_bench FILE [--save COPY]
//
// The transport's workbooks of a generated group (bench/run_bench.sh --keep)
// are the usual input; `zbir jpk` opens them the same way.

#include "xlsx/workbook_file.h"

#include "bench_clock.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

namespace {

using zbir::timing::cpuSeconds;
using zbir::timing::now;

double peakMiB()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--save")) {
        std::fprintf(stderr, "usage: workbook_open_bench FILE [--save COPY]\n");
        return 2;
    }
    try {
        double t0 = now(), c0 = cpuSeconds();
        auto wb = zbir::workbook::loadWorkbookFile(argv[1]);
        std::size_t cells = 0;
        for (int i = 0; i < wb->sheetCount(); ++i)
            cells += wb->sheet(i).cellCount();
        std::printf("open: %.2f wall s, %.2f CPU s, %zu cells in %d sheets, peak %.0f MiB\n", now() - t0,
                    cpuSeconds() - c0, cells, wb->sheetCount(), peakMiB());
        if (argc == 4) {
            t0 = now();
            c0 = cpuSeconds();
            zbir::workbook::saveWorkbookFile(*wb, argv[3]);
            std::printf("save: %.2f wall s, %.2f CPU s, peak %.0f MiB\n", now() - t0, cpuSeconds() - c0, peakMiB());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "workbook_open_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
