// Transport of a generated JPK_VAT group, timed against its floors: reading
// the files with `xmllint --stream --noout`, and libxlsxwriter writing the
// same cells alone. Every measured part runs in a child process of its own,
// so that its peak memory is its own.
//
//   transport_bench [--files N] [--records M] [--keep]
//
// Child modes (used by the bench itself):
//   --transport WORK GROUP        the transport through the core, as the button runs it
//   --dump WORK GROUP DUMP        the transport again, recording every cell written
//   --xlsxwriter DUMP OUT.xlsx [--shared-strings]
//                                 libxlsxwriter writing the recorded cells, in
//                                 constant-memory mode (inline strings) or with
//                                 a shared string table; prints wall and CPU seconds

#include "shell/app.h"
#include "spreadsheet/automation.h"

#include <xlsxwriter.h>

#include "bench_clock.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace zbir;

namespace {

const char* const kGroup = "JPK_VAT_2099_01";

using zbir::timing::cpuSeconds;
using zbir::timing::now;

struct ChildResult {
    int status = -1;
    double seconds = 0;  // wall
    double cpu = 0;      // user + system
    double peakMiB = 0;
};

// Runs argv as a child process; wall time and the child's peak resident size.
ChildResult runChild(const std::vector<std::string>& args, bool quiet = false)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const double t0 = now();
    pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            std::FILE* null = std::fopen("/dev/null", "w");
            if (null)
                dup2(fileno(null), 1);
        }
        execvp(argv[0], argv.data());
        std::perror(argv[0]);
        _exit(127);
    }
    ChildResult r;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    r.seconds = now() - t0;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    r.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return r;
}

// ---- the transport

class QuietPort : public shell::WindowPort {};

int transport(const fs::path& work, const std::string& group, std::shared_ptr<workbook::Provider> provider)
{
    QuietPort port;
    shell::App app(work, port, std::move(provider));
    app.FoCreat();
    if (!app.selectGroup(group)) {
        std::fprintf(stderr, "no group %s\n", group.c_str());
        return 2;
    }
    app.MakeXLS();
    if (!app.lastOk())
        std::fprintf(stderr, "transport failed: %s\n", app.statusText().c_str());
    return app.lastOk() ? 0 : 1;
}

// ---- recording the cells written

// Cells by sheet position, as last written: value text or R1C1 formula.
struct Cell {
    bool formula = false;
    std::string text;
};
using Sheet = std::map<std::pair<int, int>, Cell>;

#define BENCH_FORWARD(ret, name, params, args, cv)                                                              \
    ret name params cv override { return m_real->name args; }

class RecordingExcel : public workbook::Application {
public:
    explicit RecordingExcel(std::shared_ptr<workbook::Application> real) : m_real(std::move(real)) {}

    std::map<std::string, Sheet> sheets;  // by sheet name at the end

    void setCellValue(int row, int col, const std::string& text) override
    {
        m_real->setCellValue(row, col, text);
        m_cells[m_real->activeSheetIndex()][{row, col}] = {false, text};
    }
    void setCellFormulaR1C1(int row, int col, const std::string& f) override
    {
        m_real->setCellFormulaR1C1(row, col, f);
        m_cells[m_real->activeSheetIndex()][{row, col}] = {true, f};
    }
    void selectionClearContents() override
    {
        m_real->selectionClearContents();
        m_cells[m_real->activeSheetIndex()].clear();  // only ever used on whole sheets
    }
    // Sheets are added and deleted only at known places: keep cells by the
    // names the sheets have once the run is over.
    void collect()
    {
        for (int i = 1; i <= m_real->sheetsCount(); ++i)
            sheets[m_real->sheetsName(i)] = m_cells[i];
    }

    BENCH_FORWARD(bool, visible, (), (), const)
    BENCH_FORWARD(void, setVisible, (bool on), (on), )
    BENCH_FORWARD(bool, displayAlerts, (), (), const)
    BENCH_FORWARD(void, setDisplayAlerts, (bool on), (on), )
    BENCH_FORWARD(bool, screenUpdating, (), (), const)
    BENCH_FORWARD(void, setScreenUpdating, (bool on), (on), )
    BENCH_FORWARD(int, windowState, (), (), const)
    BENCH_FORWARD(void, setWindowState, (int state), (state), )
    BENCH_FORWARD(double, top, (), (), const)
    BENCH_FORWARD(void, setTop, (double points), (points), )
    BENCH_FORWARD(double, height, (), (), const)
    BENCH_FORWARD(void, setHeight, (double points), (points), )
    BENCH_FORWARD(int, workbooksCount, (), (), const)
    BENCH_FORWARD(void, workbooksOpen, (const std::string& path), (path), )
    BENCH_FORWARD(void, workbooksAdd, (), (), )
    BENCH_FORWARD(std::string, activeWorkbookName, (), (), const)
    BENCH_FORWARD(void, activeWorkbookClose, (), (), )
    BENCH_FORWARD(void, activeWorkbookSaveAs, (const std::string& path), (path), )
    BENCH_FORWARD(int, sheetsCount, (), (), const)
    BENCH_FORWARD(void, sheetsSelect, (int index), (index), )
    BENCH_FORWARD(std::string, sheetsName, (int index), (index), const)
    BENCH_FORWARD(void, sheetsSetName, (int index, const std::string& name), (index, name), )
    BENCH_FORWARD(void, sheetsAddAfter, (int index), (index), )
    BENCH_FORWARD(int, activeSheetIndex, (), (), const)
    BENCH_FORWARD(std::string, activeSheetName, (), (), const)
    BENCH_FORWARD(int, activeSheetUsedRows, (), (), const)
    BENCH_FORWARD(void, activeSheetSetName, (const std::string& name), (name), )
    BENCH_FORWARD(void, selectedSheetsDelete, (), (), )
    BENCH_FORWARD(void, setSplitRow, (int row), (row), )
    BENCH_FORWARD(std::string, cellValue, (int row, int col), (row, col), const)
    BENCH_FORWARD(void, setCellNumberFormat, (int row, int col, const std::string& f), (row, col, f), )
    BENCH_FORWARD(void, setCellBold, (int row, int col, bool bold), (row, col, bold), )
    BENCH_FORWARD(void, setCellHorizontalAlignment, (int row, int col, int a), (row, col, a), )
    BENCH_FORWARD(void, cellSelect, (int row, int col), (row, col), )
    BENCH_FORWARD(void, cellsSelect, (), (), )
    BENCH_FORWARD(void, cellsAutoFit, (), (), )
    BENCH_FORWARD(void, rangeSelect, (const std::string& address), (address), )
    BENCH_FORWARD(void, selectionSetNumberFormat, (const std::string& f), (f), )
    BENCH_FORWARD(void, selectionSetFontSize, (double size), (size), )
    BENCH_FORWARD(void, selectionSetColumnWidth, (double width), (width), )
    BENCH_FORWARD(double, columnWidth, (int col), (col), const)
    BENCH_FORWARD(void, setColumnWidth, (int col, double width), (col, width), )
    BENCH_FORWARD(void, setColumnHorizontalAlignment, (int col, int a), (col, a), )
    BENCH_FORWARD(void, setColumnNumberFormat, (int col, const std::string& f), (col, f), )
    BENCH_FORWARD(void, columnsSelect, (), (), )
    BENCH_FORWARD(void, setColumnsWidth, (double width), (width), )
    BENCH_FORWARD(void, setRowHorizontalAlignment, (int row, int a), (row, a), )
    BENCH_FORWARD(void, setRowHeight, (int row, double points), (row, points), )

private:
    std::shared_ptr<workbook::Application> m_real;
    std::map<int, Sheet> m_cells;  // by sheet position while running
};
#undef BENCH_FORWARD

class RecordingProvider : public workbook::Provider {
public:
    std::shared_ptr<RecordingExcel> excel;
    std::shared_ptr<workbook::Application> attach() override { throw workbook::AutomationError("none"); }
    std::shared_ptr<workbook::Application> create() override
    {
        excel = std::make_shared<RecordingExcel>(workbook::embeddedProvider()->create());
        return excel;
    }
};

std::string escape(const std::string& s)
{
    std::string out;
    for (char c : s) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

std::string unescape(const std::string& s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

int dump(const fs::path& work, const std::string& group, const fs::path& out)
{
    auto provider = std::make_shared<RecordingProvider>();
    int rc = transport(work, group, provider);
    if (rc != 0)
        return rc;
    provider->excel->collect();
    std::ofstream f(out, std::ios::binary);
    for (const auto& [name, cells] : provider->excel->sheets) {
        f << "S\t" << escape(name) << '\n';
        for (const auto& [at, cell] : cells)
            f << at.first << '\t' << at.second << '\t' << (cell.formula ? 'F' : 'V') << '\t' << escape(cell.text)
              << '\n';
    }
    return f ? 0 : 1;
}

// ---- the libxlsxwriter floor

struct DumpSheet {
    std::string name;
    std::vector<std::pair<std::pair<int, int>, Cell>> cells;  // in row order
};

std::vector<DumpSheet> loadDump(const fs::path& path)
{
    std::vector<DumpSheet> sheets;
    std::ifstream f(path, std::ios::binary);
    std::string line;
    while (std::getline(f, line)) {
        if (line.rfind("S\t", 0) == 0) {
            sheets.push_back({unescape(line.substr(2)), {}});
            continue;
        }
        std::size_t a = line.find('\t'), b = line.find('\t', a + 1), c = line.find('\t', b + 1);
        Cell cell{line[b + 1] == 'F', unescape(line.substr(c + 1))};
        sheets.back().cells.push_back({{std::stoi(line.substr(0, a)), std::stoi(line.substr(a + 1, b - a - 1))}, cell});
    }
    return sheets;
}

std::string columnName(int col)
{
    char buf[8];
    lxw_col_to_name(buf, static_cast<lxw_col_t>(col - 1), false);
    return buf;
}

// The transport's two formula shapes, R1C1 to A1.
std::string toA1(const std::string& f, int col)
{
    static const std::regex sum("=SUM\\(R(\\d+)C:R(\\d+)C\\)");
    static const std::regex ref("='(.*)'!R1C(\\d+)");
    std::smatch m;
    if (std::regex_match(f, m, sum))
        return "=SUM(" + columnName(col) + m[1].str() + ":" + columnName(col) + m[2].str() + ")";
    if (std::regex_match(f, m, ref))
        return "='" + m[1].str() + "'!" + columnName(std::stoi(m[2].str())) + "1";
    return f;
}

bool isNumber(const std::string& s, double& value)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    value = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

int writeFloor(const fs::path& dumpPath, const fs::path& out, bool sharedStrings)
{
    std::vector<DumpSheet> sheets = loadDump(dumpPath);
    const double t0 = now();
    const double c0 = cpuSeconds();
    lxw_workbook_options options{};
    options.constant_memory = sharedStrings ? LXW_FALSE : LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(out.c_str(), &options);
    for (const DumpSheet& s : sheets) {
        // Sheet names are program text; ASCII in the generated group.
        lxw_worksheet* ws = workbook_add_worksheet(wb, s.name.c_str());
        for (const auto& [at, cell] : s.cells) {
            const auto row = static_cast<lxw_row_t>(at.first - 1);
            const auto col = static_cast<lxw_col_t>(at.second - 1);
            double v = 0;
            if (cell.formula)
                worksheet_write_formula(ws, row, col, toA1(cell.text, at.second).c_str(), nullptr);
            else if (isNumber(cell.text, v))
                worksheet_write_number(ws, row, col, v, nullptr);
            else
                worksheet_write_string(ws, row, col, cell.text.c_str(), nullptr);
        }
    }
    lxw_error err = workbook_close(wb);
    std::printf("%.3f %.3f\n", now() - t0, cpuSeconds() - c0);
    return err == LXW_NO_ERROR ? 0 : 1;
}

// ---- the bench

std::string self;

int bench(int files, int records, bool keep)
{
    const fs::path root = fs::temp_directory_path() / ("zbir-bench-" + std::to_string(getpid()));
    const fs::path work = root / "praca";
    fs::create_directories(work);

    const fs::path generator = fs::path(ZBIR_SOURCE_DIR) / "bench" / "make_jpk_vat_group.py";
    ChildResult gen = runChild(
        {"python3", generator.string(), root.string(), kGroup, std::to_string(files), std::to_string(records)}, true);
    if (gen.status != 0) {
        std::fprintf(stderr, "generator failed\n");
        return 1;
    }
    std::vector<std::string> xmllint = {"xmllint", "--stream", "--noout"};
    std::uintmax_t bytes = 0;
    for (const auto& e : fs::directory_iterator(root))
        if (e.path().extension() == ".xml" || e.path().extension() == ".XML") {
            xmllint.push_back(e.path().string());
            bytes += e.file_size();
        }

    ChildResult run = runChild({self, "--transport", work.string(), kGroup});
    ChildResult lint = runChild(xmllint);
    const fs::path dumpFile = root / "cells.dump";
    ChildResult rec = runChild({self, "--dump", work.string(), kGroup, dumpFile.string()});

    // The floor's own timer leaves out loading the dump; its peak includes it.
    struct Floor {
        double wall = -1, cpu = -1, peakMiB = 0;
    };
    auto floorRun = [&](bool sharedStrings) {
        Floor f;
        const fs::path out = root / "floor.xlsx";
        std::string cmd = "'" + self + "' --xlsxwriter '" + dumpFile.string() + "' '" + out.string() + "'" +
                          (sharedStrings ? " --shared-strings" : "");
        if (std::FILE* p = popen(cmd.c_str(), "r")) {
            if (std::fscanf(p, "%lf %lf", &f.wall, &f.cpu) != 2)
                f.wall = f.cpu = -1;
            pclose(p);
        }
        std::vector<std::string> args = {self, "--xlsxwriter", dumpFile.string(), out.string()};
        if (sharedStrings)
            args.push_back("--shared-strings");
        f.peakMiB = runChild(args, true).peakMiB;
        return f;
    };
    const Floor inlineStrings = floorRun(false);
    const Floor sharedStrings = floorRun(true);

    std::uintmax_t cells = 0;
    {
        std::ifstream f(dumpFile);
        std::string line;
        while (std::getline(f, line))
            cells += line.rfind("S\t", 0) != 0;
    }
    // The stricter floor: the faster of the two ways of writing.
    const Floor& best = inlineStrings.cpu <= sharedStrings.cpu ? inlineStrings : sharedStrings;
    const double floorCpu = lint.cpu + best.cpu;
    const double floorWall = lint.seconds + best.wall;
    std::printf("group:                %d files x %d records, %.1f MiB of XML, %ju cells written\n", files,
                records, static_cast<double>(bytes) / (1 << 20), cells);
    std::printf("                        CPU s    wall s    peak MiB\n");
    std::printf("transport + save:     %7.2f   %7.2f   %9.1f   %s\n", run.cpu, run.seconds, run.peakMiB,
                run.status == 0 ? "ok" : "FAILED");
    std::printf("xmllint --stream:     %7.2f   %7.2f   %9.1f\n", lint.cpu, lint.seconds, lint.peakMiB);
    std::printf("libxlsxwriter inline: %7.2f   %7.2f   %9.1f\n", inlineStrings.cpu, inlineStrings.wall,
                inlineStrings.peakMiB);
    std::printf("libxlsxwriter shared: %7.2f   %7.2f   %9.1f\n", sharedStrings.cpu, sharedStrings.wall,
                sharedStrings.peakMiB);
    std::printf("floor (xmllint + faster writer): %.2f CPU s, %.2f wall s\n", floorCpu, floorWall);
    std::printf("transport / floor:    %.2f x (CPU), %.2f x (wall); goal: 1.2 x or less\n",
                floorCpu > 0 ? run.cpu / floorCpu : 0.0, floorWall > 0 ? run.seconds / floorWall : 0.0);
    std::printf("peak per XML byte:    %.2f; goal: under 3\n",
                bytes > 0 ? run.peakMiB * 1048576.0 / static_cast<double>(bytes) : 0.0);
    std::printf("(the floors' peaks include the recorded cell list they write from)\n");
    if (rec.status != 0)
        std::printf("(recording run failed: floor cells incomplete)\n");
    if (keep)
        std::printf("kept: %s\n", root.c_str());
    else
        fs::remove_all(root);
    return run.status;
}

}  // namespace

int main(int argc, char** argv)
{
    self = fs::canonical("/proc/self/exe").string();
    std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 3 && a[0] == "--transport")
        return transport(a[1], a[2], workbook::embeddedProvider());
    if (a.size() == 4 && a[0] == "--dump")
        return dump(a[1], a[2], a[3]);
    if ((a.size() == 3 || (a.size() == 4 && a[3] == "--shared-strings")) && a[0] == "--xlsxwriter")
        return writeFloor(a[1], a[2], a.size() == 4);

    int files = 5, records = 20000;
    bool keep = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--files" && i + 1 < a.size())
            files = std::stoi(a[++i]);
        else if (a[i] == "--records" && i + 1 < a.size())
            records = std::stoi(a[++i]);
        else if (a[i] == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: transport_bench [--files N] [--records M] [--keep]\n");
            return 2;
        }
    }
    return bench(files, records, keep);
}
