// One JPK file through the transport's engine: the scanner, the text copy and
// the sheet writer on the embedded spreadsheet, then the summary sheet. The
// input is the file's bytes; its length picks the group's JPK type.
// Beyond not crashing: whenever the input is well-formed XML and the scanner
// read it to its end without a fault or a problem to report, the copy in TXT
// is well-formed XML too; and no temporary copy "xx" stays behind.

#include "fuzz_support.h"
#include "shell/app.h"
#include "spreadsheet/automation.h"
#include "engine/embedded_application.h"
#include "transport/layouts.h"
#include "transport/summary.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/sheet_writer.h"

#include <cstdint>
#include <memory>
#include <string>

using namespace zbir;
namespace fs = std::filesystem;

namespace {

const std::string kFile = "JPK_VAT_2017_05_FUZZ.XML";

struct Run {
    fuzz::QuietPort port;
    std::shared_ptr<workbook::Provider> provider = workbook::makeEmbeddedProvider();
    std::unique_ptr<shell::App> app;
    std::shared_ptr<workbook::Application> xl;

    Run()
    {
        fuzz::writeFile(fuzz::parentFolder() / kFile, "<JPK/>");
        app = std::make_unique<shell::App>(fuzz::workFolder(), port, provider);
        app->FoCreat();
        if (app->files().size() != 1)
            fuzz::violated("the fuzz folder does not list its one file");
        fs::create_directory(fuzz::workFolder() / "TXT");
        xl = provider->create();
        app->xl = xl;
        xl->workbooksAdd();
    }

    // One workbook for every input, emptied as a transport empties the
    // group's workbook: the sheets after the first deleted, the first cleared.
    void emptyWorkbook()
    {
        while (xl->sheetsCount() > 1) {
            xl->sheetsSelect(2);
            xl->selectedSheetsDelete();
        }
        xl->sheetsSelect(1);
        xl->cellsSelect();
        xl->selectionClearContents();
        xl->cellSelect(1, 1);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Run run;
    shell::App& app = *run.app;
    workbook::Application& xl = *run.xl;
    (void)xl;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(fuzz::parentFolder() / kFile, input);
    const fs::path copies[] = {app.resolve(xmlsheet::copyName(kFile, false)),
                               app.resolve(xmlsheet::copyName(kFile, true))};
    std::error_code ec;
    for (const fs::path& p : copies)
        fs::remove(p, ec);
    fs::remove(fuzz::workFolder() / "ZBIR.LOG", ec);

    app.jpkType = static_cast<std::uint8_t>(1 + size % 7);
    app.state = 1;
    run.emptyWorkbook();
    bool threw = false;
    bool finished = false;
    {
        xmlsheet::TransportContext ctx(app, xl);
        workbook::declareLayout(app.jpkType, ctx.map);
        try {
            xmlsheet::transportFile(ctx, 0);
            finished = ctx.faults.empty() && app.state == 1;
            workbook::buildSummary(ctx);
        } catch (const workbook::AutomationError&) {
            threw = true;  // a spreadsheet refusal ends the transport with its message
        } catch (const std::runtime_error&) {
            threw = true;  // a file error does the same
        }
    }
    app.state = 0;

    if (fs::exists(fuzz::workFolder() / "xx"))
        fuzz::violated("the temporary copy xx stayed in the working folder");
    std::string copy;
    int found = 0;
    for (const fs::path& p : copies) {
        if (fs::exists(p)) {
            copy = fuzz::readFile(p);
            ++found;
        }
    }
    // A copy is placed only for a file read to its end; a problem that did
    // not end the scan still gives one.
    if (found > 1 || (finished && found != 1))
        fuzz::violated("the transport did not leave the one copy in TXT it should", std::to_string(found));
    if (finished && !threw && fuzz::wellFormedXml(input)) {
        std::string error;
        if (!fuzz::wellFormedXml(copy, &error))
            fuzz::violated("the copy of a well-formed file is not well-formed XML", error);
    }
    return 0;
}
