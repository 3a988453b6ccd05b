#include "fuzz_support.h"

#include "engine/embedded_application.h"
#include "jpkforms/schema_check.h"
#include "shell/app.h"
#include "spreadsheet/automation.h"
#include "transport/layouts.h"
#include "transport/transport.h"
#include "transport/summary.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/sheet_writer.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <netdb.h>
#include <sys/socket.h>

// Interposed over the C library's (and the sanitizers' weak interceptors):
// libxml2 and everything else reach these first.
extern "C" int connect(int, const struct sockaddr*, socklen_t)
{
    zbir::fuzz::violated("the program tried to open a network connection");
}

extern "C" int getaddrinfo(const char* node, const char*, const struct addrinfo*, struct addrinfo**)
{
    zbir::fuzz::violated("the program tried to look up a host name", node ? node : "");
}

namespace zbir::fuzz {

namespace {

void removeTree()
{
    std::error_code ec;
    std::filesystem::remove_all(parentFolder(), ec);
}

}  // namespace

const std::filesystem::path& parentFolder()
{
    static const std::filesystem::path folder = [] {
        // In memory when the system has a tmpfs for it: the targets write and
        // sync their files for every input.
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string pattern = (base / "zbir-fuzz-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::abort();
        }
        std::filesystem::path p(pattern);
        std::filesystem::create_directory(p / "praca");
        std::atexit(removeTree);
        return p;
    }();
    return folder;
}

std::filesystem::path workFolder()
{
    return parentFolder() / "praca";
}

void writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        violated("the fuzz target could not write its input file", path.string());
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void violated(std::string_view property, std::string_view detail)
{
    std::fprintf(stderr, "\n==zbir-fuzz== property violated: %.*s\n", static_cast<int>(property.size()),
                 property.data());
    if (!detail.empty())
        std::fprintf(stderr, "==zbir-fuzz== %.*s\n", static_cast<int>(detail.size()), detail.data());
    std::abort();
}

void forbidNetwork() {}

namespace {

constexpr const char* kEarlier = "earlier combined file\r\n";

bool number(std::string_view s, int& out, int low, int high)
{
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size() && out >= low && out <= high;
}

bool decimal(std::string_view s, double& out)
{
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string_view> fields(std::string_view line, std::size_t most)
{
    std::vector<std::string_view> out;
    while (out.size() + 1 < most) {
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            break;
        out.push_back(line.substr(0, tab));
        line.remove_prefix(tab + 1);
    }
    out.push_back(line);
    return out;
}

}  // namespace

JpkBench::JpkBench(std::string group) : m_group(std::move(group)), m_provider(workbook::makeEmbeddedProvider())
{
    writeFile(parentFolder() / (m_group + "_A.XML"), "<JPK/>");
    m_xl = m_provider->create();
    m_app = std::make_unique<shell::App>(workFolder(), m_port, m_provider);
    m_app->FoCreat();
    if (m_app->groupText() != m_group)
        violated("the fuzz folder does not give the group", m_app->groupText());
}

JpkBench::~JpkBench() = default;

std::filesystem::path JpkBench::combinedFile() const
{
    return parentFolder() / (m_group + ".xml");
}

bool JpkBench::load(std::string_view script)
{
    workbook::Application& xl = *m_xl;
    while (xl.workbooksCount() > 0)
        xl.activeWorkbookClose();
    xl.workbooksAdd();
    auto* embedded = dynamic_cast<workbook::EmbeddedApplication*>(m_xl.get());
    embedded->engine().activeWorkbook()->setFile(workFolder() / (m_group + ".XLS"), m_group + ".XLS");
    int sheets = 0;
    while (!script.empty()) {
        std::size_t end = script.find('\n');
        std::string_view line = script.substr(0, end);
        script.remove_prefix(end == std::string_view::npos ? script.size() : end + 1);
        if (line.size() < 2 || line[1] != '\t')
            continue;
        const char op = line[0];
        auto f = fields(line.substr(2), op == 'S' ? 1 : op == 'W' ? 2 : 3);
        try {
            if (op == 'S') {
                if (sheets >= CellScriptLimits::kSheets)
                    continue;
                if (sheets > 0)
                    xl.sheetsAddAfter(sheets);
                ++sheets;
                xl.activeSheetSetName(std::string(f[0]));
                continue;
            }
            if (sheets == 0)
                continue;
            int row = 0;
            int col = 0;
            double width = 0;
            if (op == 'W' && f.size() == 2 && number(f[0], col, 1, CellScriptLimits::kColumns) &&
                decimal(f[1], width))
                xl.setColumnWidth(col, width);
            else if ((op == 'V' || op == 'F') && f.size() == 3 && number(f[0], row, 1, CellScriptLimits::kRows) &&
                     number(f[1], col, 1, CellScriptLimits::kColumns)) {
                if (op == 'V')
                    xl.setCellValue(row, col, std::string(f[2]));
                else
                    xl.setCellFormulaR1C1(row, col, std::string(f[2]));
            }
        } catch (const workbook::AutomationError&) {
            // a name or value the spreadsheet refuses: as if the user had been refused
        }
    }
    // The transport ends every file sheet with its end mark; without one the
    // JPK build searches a sheet down to the spreadsheet's last row, which
    // is slow but no fault, so each sheet keeps a mark below the script's rows.
    for (int sheet = 2; sheet <= sheets; ++sheet) {
        xl.sheetsSelect(sheet);
        xl.setCellValue(CellScriptLimits::kRows + 1, 1, "LuKa-Werks");
    }
    return sheets > 0;
}

void JpkBench::buildAndCheck(bool schemaValid)
{
    shell::App& app = *m_app;
    const std::filesystem::path target = combinedFile();
    const std::string keptAside[] = {target.filename().string() + ".bledny",
                                     target.filename().string() + ".niesprawdzony"};
    writeFile(target, kEarlier);
    std::error_code ec;
    std::filesystem::remove(workFolder() / "ZBIR.LOG", ec);
    for (const std::string& name : keptAside)
        std::filesystem::remove(parentFolder() / name, ec);

    app.MakeJPK();

    if (app.state != operation::Idle)
        violated("the state byte is not back to 0 after the JPK build", std::to_string(app.state));
    for (const auto& entry : std::filesystem::directory_iterator(parentFolder())) {
        const std::string name = entry.path().filename().string();
        if (name == "praca" || name == target.filename().string() || name == m_group + "_A.XML")
            continue;
        if (!app.lastOk() && (name == keptAside[0] || name == keptAside[1]))
            continue;  // the checked-out output, kept for the user to read
        violated("the JPK build left a file behind", name);
    }
    const std::string written = readFile(target);
    if (!app.lastOk()) {
        if (written != kEarlier)
            violated("a failed JPK build changed the earlier combined file");
        if (app.statusText().empty())
            violated("a failed JPK build said nothing");
        return;
    }
    std::string error;
    if (!wellFormedXml(written, &error))
        violated("the combined JPK_VAT file is not well-formed XML", error);
    if (schemaValid) {
        const jpkforms::CheckResult check = jpkforms::checkDocument(written);
        if (check.verdict != jpkforms::Verdict::Valid)
            violated("a build that said it succeeded wrote a file its schema refuses",
                     check.problems.empty() ? std::string(written.substr(0, 200)) : check.problems.front().message);
    }
}

// ---- transport

TransportBench::TransportBench(std::string fileName)
    : m_fileName(std::move(fileName)), m_provider(workbook::makeEmbeddedProvider())
{
    writeFile(parentFolder() / m_fileName, "<JPK/>");
    m_app = std::make_unique<shell::App>(workFolder(), m_port, m_provider);
    m_app->FoCreat();
    if (m_app->files().size() != 1)
        violated("the fuzz folder does not list its one file");
    std::filesystem::create_directory(workFolder() / "TXT");
    m_xl = m_provider->create();
    m_app->xl = m_xl;
    m_xl->workbooksAdd();
}

TransportBench::~TransportBench() = default;

void TransportBench::emptyWorkbook()
{
    workbook::emptyGroupWorkbook(*m_xl);
}

TransportBench::Outcome TransportBench::run(std::string_view input, int jpkType)
{
    namespace fs = std::filesystem;
    shell::App& app = *m_app;
    writeFile(parentFolder() / m_fileName, input);
    const fs::path copies[] = {app.resolve(xmlsheet::copyName(m_fileName, false)),
                               app.resolve(xmlsheet::copyName(m_fileName, true))};
    std::error_code ec;
    for (const fs::path& p : copies)
        fs::remove(p, ec);
    fs::remove(workFolder() / "ZBIR.LOG", ec);

    app.jpkType = static_cast<std::uint8_t>(jpkType);
    app.state = operation::Running;
    emptyWorkbook();
    Outcome out;
    {
        xmlsheet::TransportContext ctx(app, *m_xl);
        workbook::declareLayout(app.jpkType, ctx.map);
        workbook::declareV7Layout(ctx.v7map);
        try {
            xmlsheet::transportFile(ctx, 0);
            out.finished = ctx.faults.empty() && app.state == operation::Running;
            workbook::buildSummary(ctx);
        } catch (const workbook::AutomationError&) {
            out.threw = true;  // a spreadsheet refusal ends the transport with its message
        } catch (const std::runtime_error&) {
            out.threw = true;  // a file error does the same
        }
    }
    app.state = operation::Idle;

    if (fs::exists(app.resolve(xmlsheet::kCopyTemporary)))
        violated("the temporary copy stayed in TXT");
    int found = 0;
    for (const fs::path& p : copies) {
        if (fs::exists(p)) {
            out.copy = readFile(p);
            ++found;
        }
    }
    // A copy is placed only for a file read to its end; a problem that did
    // not end the scan still gives one.
    if (found > 1 || (out.finished && found != 1))
        violated("the transport did not leave the one copy in TXT it should", std::to_string(found));
    if (out.finished && !out.threw && wellFormedXml(input)) {
        std::string error;
        if (!wellFormedXml(out.copy, &error))
            violated("the copy of a well-formed file is not well-formed XML", error);
    }
    return out;
}

}  // namespace zbir::fuzz
