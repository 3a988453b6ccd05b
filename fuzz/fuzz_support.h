#pragma once
// What the fuzz targets share: a folder tree for the run, file helpers, the
// XML well-formedness check, the way a target reports a broken property, and
// the JPK_VAT build on a workbook made from a cell script.

#include "shell/window_port.h"
#include "support/fault_support.h"

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace zbir::shell { class App; }
namespace zbir::workbook { class Application; class Provider; }

namespace zbir::fuzz {

// A parent folder with a working folder "praca" below it, made once per
// process in the temporary folder and removed at exit.
const std::filesystem::path& parentFolder();
std::filesystem::path workFolder();

void writeFile(const std::filesystem::path& path, std::string_view bytes);
// The file's bytes; empty when it cannot be read.
std::string readFile(const std::filesystem::path& path);

// Whether `bytes` are one well-formed XML document: the tests' own check.
using test::wellFormedXml;

// A property the target checks does not hold: prints what and where, then
// aborts, which libFuzzer reports as a crash with the input saved.
[[noreturn]] void violated(std::string_view property, std::string_view detail = {});

// Any attempt of this process to open a network connection or look up a
// host name is a broken property: inputs are untrusted and never make the
// program fetch anything. The interposed functions are linked into every
// target; calling this documents that the target relies on them.
void forbidNetwork();

// A window without a screen; the operations only need the status line.
class QuietPort : public shell::WindowPort {};

// A workbook built from a cell script, one instruction a line (LF), fields
// apart by one TAB; lines that are none of these are skipped:
//   S name             a new sheet after the last (the first S names sheet 1)
//   W col width        column width of the current sheet
//   V row col text     a value
//   F row col formula  an R1C1 formula
// Rows, columns and sheets are kept small so that one input runs fast; every
// file sheet (2 and on) gets the transport's end mark "LuKa-Werks" in
// column 1 of the row below the script's last possible row.
struct CellScriptLimits {
    static constexpr int kSheets = 4;
    static constexpr int kRows = 400;
    static constexpr int kColumns = 80;
};

// A group in the fuzz folder (JPK_VAT_2017_05 unless named), its workbook
// open in an embedded spreadsheet, and the combined file the build writes.
class JpkBench {
public:
    explicit JpkBench(std::string group = "JPK_VAT_2017_05");
    ~JpkBench();

    // Replaces the open workbook by one built from `script` (named as the
    // group's workbook, not saved); false when the script gave no sheet.
    bool load(std::string_view script);
    // Runs "Zrób zbiorczy JPK" and checks what it leaves: the combined file
    // well-formed XML when the build says it succeeded (and valid against
    // its form's schema when `schemaValid`), the earlier one and a message
    // otherwise, no temporary file (an output the schema check refused may
    // be kept under a name no one takes for the group's file, and only on
    // failure), the state byte back to 0.
    void buildAndCheck(bool schemaValid = false);

    shell::App& app() { return *m_app; }
    std::filesystem::path combinedFile() const;

private:
    std::string m_group;
    QuietPort m_port;
    std::shared_ptr<workbook::Provider> m_provider;
    std::shared_ptr<workbook::Application> m_xl;
    std::unique_ptr<shell::App> m_app;
};

// One JPK file of a group in the fuzz folder through the transport's engine:
// the scanner, the text copy and the sheet writer on the embedded
// spreadsheet with the layouts the transport declares (the group type's and
// the V7 forms'), then the summary sheet. The workbook is kept between
// inputs and emptied as a transport empties it.
class TransportBench {
public:
    explicit TransportBench(std::string fileName);
    ~TransportBench();

    struct Outcome {
        bool finished = false;  // read to its end without a fault or a stop
        bool threw = false;     // the spreadsheet or the file layer ended the run
        std::string copy;       // the copy placed in TXT, if any
    };
    // Transports `input` as the group type `jpkType` and checks: a copy is
    // placed exactly when the file was read whole, the copy of a well-formed
    // file read whole is well-formed XML, no temporary copy stays, the state
    // byte can return to 0.
    Outcome run(std::string_view input, int jpkType);

    shell::App& app() { return *m_app; }
    workbook::Application& xl() { return *m_xl; }

private:
    void emptyWorkbook();

    std::string m_fileName;
    QuietPort m_port;
    std::shared_ptr<workbook::Provider> m_provider;
    std::unique_ptr<shell::App> m_app;
    std::shared_ptr<workbook::Application> m_xl;
};

}  // namespace zbir::fuzz
