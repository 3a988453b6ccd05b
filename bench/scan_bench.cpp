// Scan plus corrected copy of generated 100,000-record JPK_VAT(2) files, in MB/s.
//
// usage: scan_bench [FILE.xml ...]
// Without arguments it writes a prefixed and an unprefixed file with
// bench/make_jpk_vat_group.py into a temporary folder and removes it after.

#include "transport/layouts.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/xml_scanner.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace zbir;

namespace {

class NullConsumer : public xmlsheet::ScanConsumer {
public:
    long items = 0;
    void declaration(const xmlsheet::Declaration&) override { ++items; }
    void comment(const xmlsheet::Comment&) override { ++items; }
    void opening(const xmlsheet::ContainerOpening&) override { ++items; }
    void closing(const xmlsheet::ContainerClosing&) override { ++items; }
    void element(const xmlsheet::Element&) override { ++items; }
};

double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// CPU time of this thread (user and system), which other jobs on a shared
// machine disturb less than wall time.
double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

struct Times {
    double wall = 1e9;
    double cpu = 1e9;
};

// Best of five runs; `withCopy` adds the copy writer.
Times run(const fs::path& file, const fs::path& work, bool withCopy, long& items)
{
    xmlsheet::FieldMap map;
    workbook::declareLayout(4, map);
    Times best;
    for (int i = 0; i < 5; ++i) {
        auto start = std::chrono::steady_clock::now();
        double cpuStart = cpuSeconds();
        xmlsheet::XmlScanner scanner(map, 4, [] { return true; });
        if (!scanner.open(file)) {
            std::fprintf(stderr, "cannot open %s\n", file.c_str());
            std::exit(1);
        }
        NullConsumer counter;
        if (withCopy) {
            xmlsheet::CopyWriter writer(scanner);
            xmlsheet::TeeConsumer both(counter, writer);
            writer.create(work / "xx");
            scanner.scan(both);
            writer.close();
            xmlsheet::placeCopy(work / "xx", work / "copy.XML");
        } else {
            scanner.scan(counter);
        }
        best.wall = std::min(best.wall, seconds(start));
        best.cpu = std::min(best.cpu, cpuSeconds() - cpuStart);
        items = counter.items;
        if (!scanner.error().empty())
            std::fprintf(stderr, "scanner: %s\n", scanner.error().c_str());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv)
{
    fs::path work = fs::temp_directory_path() / ("zbir-bench-" + std::to_string(::getpid()));
    fs::create_directories(work);
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i)
        files.emplace_back(argv[i]);
    if (files.empty()) {
        std::string cmd = "python3 '" + std::string(ZBIR_SOURCE_DIR) + "/bench/make_jpk_vat_group.py' '" +
                          work.string() + "' JPK_VAT_BENCH01 2 100000 > /dev/null";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "generator failed: %s\n", cmd.c_str());
            return 1;
        }
        files = {work / "JPK_VAT_BENCH01_01.xml", work / "JPK_VAT_BENCH01_02.xml"};
    }
    for (const auto& file : files) {
        double mb = static_cast<double>(fs::file_size(file)) / 1e6;
        long items = 0;
        Times scanOnly = run(file, work, false, items);
        Times withCopy = run(file, work, true, items);
        std::printf("%s: %.1f MB, %ld items (best of 5; wall time, then CPU time)\n", file.filename().c_str(), mb,
                    items);
        std::printf("  scan only    %6.3f s %7.1f MB/s   cpu %6.3f s %7.1f MB/s\n", scanOnly.wall,
                    mb / scanOnly.wall, scanOnly.cpu, mb / scanOnly.cpu);
        std::printf("  scan + copy  %6.3f s %7.1f MB/s   cpu %6.3f s %7.1f MB/s\n", withCopy.wall,
                    mb / withCopy.wall, withCopy.cpu, mb / withCopy.cpu);
    }
    fs::remove_all(work);
    return 0;
}
