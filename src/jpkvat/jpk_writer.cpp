#include "jpkvat/jpk_writer.h"

#include "base/formatters.h"
#include "base/winfs.h"
#include "encoding/charset.h"
#include "jpkforms/schema_check.h"
#include "jpkvat/checks.h"
#include "jpkvat/file_sheet.h"
#include "jpkvat/output_file.h"
#include "jpkvat/subject.h"
#include "jpkvat/values.h"
#include "jpkvat/variant_writer.h"
#include "jpkvat/vat2_writer.h"
#include "operation/operation.h"
#include "spreadsheet/automation.h"
#include "jpkvat/messages.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace zbir::jpkvat {

namespace {

using workbook::Application;
using workbook::AutomationError;

// Places the spreadsheet's window below the program's window.
void placeWindow(operation::Operation& app, Application& xl)
{
    xl.setWindowState(workbook::xl::Maximized);
    const double top = xl.top();
    const double height = xl.height();
    xl.setWindowState(workbook::xl::Normal);
    const operation::Geometry g = app.windowGeometry();
    const int b = (g.width - g.clientWidth) / 2;
    const int screen = g.screenHeight + 2 * b + 2;
    if (screen <= 0)
        return;
    const double k = height / screen;
    const int y = g.top + g.height + 1;
    const double newHeight = std::nearbyint((g.screenHeight - y - 20) * k);
    if (newHeight < 1)
        return;  // no room below the program's window: the window stays as it is
    xl.setTop(std::nearbyint(y * k + k * b + top));
    xl.setHeight(newHeight);
}

// Ends the operation with a final message; `detail` (the system's or the
// spreadsheet's words) goes to the run log with it.
bool finish(operation::Operation& app, const std::string& message, const std::string& detail = {})
{
    app.logEvent(operation::LogDetail, detail.empty() ? message : message + ": " + base::winfs::fromNative(detail));
    app.showError(message);
    app.state = operation::Idle;
    return false;
}

// ---- the group

// The form of the group's file sheets; nullptr with `refusal` set when a
// sheet is of no known form or of another one than the first.
const jpkforms::Form* groupForm(Application& xl, std::string& refusal)
{
    const jpkforms::Form* first = nullptr;
    std::string firstSheet;
    for (int sheet = 2; sheet <= xl.sheetsCount(); ++sheet) {
        xl.sheetsSelect(sheet);
        std::string ns;
        const jpkforms::Form* form = sheetForm(xl, &ns);
        const std::string name = xl.activeSheetName();
        if (!form || form->family == jpkforms::Family::Other) {
            refusal = msg::noCombinedFile(name, form ? std::string(form->name) : msg::unknownForm(ns));
            return nullptr;
        }
        if (!first) {
            first = form;
            firstSheet = name;
        } else if (form != first) {
            refusal = msg::otherForm(name, std::string(form->name), firstSheet, std::string(first->name));
            return nullptr;
        }
    }
    return first;
}

// The header and subject of every JPK_VAT(2) file sheet that has one
// (sheets the user added have none).
std::vector<FileSheet> vat2Headers(Application& xl, const jpkforms::Form& form)
{
    std::vector<FileSheet> headers;
    for (int sheet = 2; sheet <= xl.sheetsCount(); ++sheet) {
        xl.sheetsSelect(sheet);
        FileSheet h = readSheetHeader(xl, form, lastUsedRow(xl));
        if (h.period().known() || h.subjectNip())
            headers.push_back(std::move(h));
    }
    return headers;
}

struct Build {
    operation::Operation& app;
    Application& xl;
    const std::function<std::tm()>& clock;
    std::string fileName;  // "..\<group>.xml"
    SubjectFile subject;
    Problems problems;
};

// Reports the problems and ends the build without a file.
bool refuseForProblems(Build& b)
{
    b.problems.report(b.app);
    return finish(b.app, b.problems.summary());
}

// Keeps the checked-out output under `suffix` beside the target: a name no
// one takes for the group's file. Returns the log line saying where.
std::string keepAside(Build& b, OutputFile& out, const char* suffix)
{
    std::filesystem::path kept = b.app.resolve(b.fileName);
    kept += suffix;
    if (out.keepAs(kept))
        return msg::keptAs(base::winfs::display(kept));
    return msg::notKept(out.error());
}

// The written output checked against the schema of its form: only a valid
// file becomes <group>.xml; an invalid one is kept as <group>.xml.bledny,
// one that could not be checked as <group>.xml.niesprawdzony.
bool commitChecked(Build& b, OutputFile& out)
{
    const jpkforms::CheckResult check = out.check();
    if (check.verdict == jpkforms::Verdict::NoSchema || check.verdict == jpkforms::Verdict::UnknownForm) {
        const std::string kept = keepAside(b, out, ".niesprawdzony");
        b.problems.report(b.app);
        b.app.logEvent(operation::LogDetail, msg::noSchemasIn(base::winfs::display(jpkforms::schemaFolder()), kept));
        return finish(b.app, msg::kNoSchemas);
    }
    if (check.verdict == jpkforms::Verdict::Invalid) {
        std::vector<std::string> lines{
            msg::invalidAgainst(std::string(check.form ? check.form->name : ""), keepAside(b, out, ".bledny"))};
        for (const jpkforms::SchemaProblem& p : check.problems)
            lines.push_back(msg::schemaProblem(p.line, encoding::utf8ToWindows1250(p.message)));
        b.problems.report(b.app);
        b.app.logEvents(operation::LogDetail, lines);
        for (const std::string& line : lines)
            b.app.showDetail(line);
        return finish(b.app, msg::kNotSchemaValid);
    }
    if (!out.commit())
        return finish(b.app, msg::busy(b.fileName), out.error());
    return true;
}

// Ends a build whose output is written: the stop, the problems, the write
// and the schema decide whether it becomes the group's file.
bool complete(Build& b, OutputFile& out, long long records)
{
    const bool written = out.close();
    const int sheets = b.xl.sheetsCount();
    b.xl.sheetsSelect(1);
    b.xl.cellSelect(1, 1);
    b.app.reportProgress({sheets - 2, sheets - 1, records});
    if (b.app.state != operation::Running) {
        out.discard();
        return finish(b.app, msg::outputDeleted(b.fileName));
    }
    if (b.problems.hasErrors()) {
        out.discard();
        return refuseForProblems(b);
    }
    if (!written) {
        out.discard();
        return finish(b.app, msg::writeError(b.fileName), out.error());
    }
    if (!commitChecked(b, out))
        return false;
    b.problems.report(b.app);
    const std::string summary = b.problems.summary();
    b.app.showError(summary.empty() ? msg::doneWith(b.fileName) : summary);
    b.app.state = operation::Idle;
    return true;
}

bool buildVat2(Build& b, const jpkforms::Form& form, const AmountColumns& amount)
{
    Application& xl = b.xl;
    xl.sheetsSelect(2);
    const Vat2Period period = findVat2Period(xl);
    if (period.row == 0)
        return finish(b.app, msg::kNoValidSheets);
    const std::string sheet2 = xl.activeSheetName();
    if (!isValidDate(period.dataOd))
        b.problems.error(msg::periodNotDate(cellAddress(sheet2, period.row, layout::kUnmappedColumn), "DataOd",
                                            period.dataOd));
    if (!isValidDate(period.dataDo))
        b.problems.error(msg::periodNotDate(cellAddress(sheet2, period.row + 1, layout::kUnmappedColumn), "DataDo",
                                            period.dataDo));
    const std::vector<FileSheet> headers = vat2Headers(xl, form);
    if (std::string refusal = headers.empty() ? std::string() : groupRefusal(headers); !refusal.empty())
        return finish(b.app, refusal);
    const std::string refusal = vat2SubjectRefusal(b.subject, headers.empty() ? nullptr : &headers.front(),
                                                   b.problems);
    if (!refusal.empty())
        return finish(b.app, refusal);

    OutputFile out(b.app.resolve(b.fileName));
    if (!out.open())
        return finish(b.app, msg::busy(b.fileName), out.error());
    const char type = b.app.groupText().size() > 4 ? b.app.groupText()[4] : ' ';
    writeVat2Header(out.buffer(), type, b.clock(), period, b.subject);
    long long records = 0;
    if (type == 'V') {
        records = writeVat2Sections(b.app, xl, out, amount, {period.dataOd, period.dataDo}, b.problems);
    } else {
        out.buffer() += "\r\n\r\n";
    }
    out.buffer() += "</JPK>";
    return complete(b, out, records);
}

bool buildVariant(Build& b, const jpkforms::Form& form)
{
    Application& xl = b.xl;
    std::vector<FileSheet> sheets;
    for (int sheet = 2; sheet <= xl.sheetsCount() && b.app.state == operation::Running; ++sheet) {
        xl.sheetsSelect(sheet);
        b.app.showProgress(msg::readingSheet(xl.activeSheetName()));
        sheets.push_back(readFileSheet(xl, form, lastUsedRow(xl), b.problems));
        b.app.processEvents();
    }
    if (b.app.state != operation::Running)
        return finish(b.app, msg::outputDeleted(b.fileName));
    if (std::string refusal = groupRefusal(sheets); !refusal.empty())
        return finish(b.app, refusal);
    if (std::string refusal = subjectRefusal(b.subject, sheets.front()); !refusal.empty())
        return finish(b.app, refusal);
    for (const std::string& w : b.subject.warnings)
        b.problems.warning(w);
    checkSheets(sheets, b.problems);
    if (b.problems.hasErrors())
        return refuseForProblems(b);

    OutputFile out(b.app.resolve(b.fileName));
    if (!out.open())
        return finish(b.app, msg::busy(b.fileName), out.error());
    b.app.showProgress(msg::creatingFile(std::string(form.name)));
    const long long records = writeVariantFile(out, sheets, b.clock(), [&](long long written) {
        b.app.reportProgress({0, 1, written});
        b.app.processEvents();
    });
    return complete(b, out, records);
}

}  // namespace

bool makeJpk(operation::Operation& app)
{
    return makeJpk(app, localNow);
}

bool makeJpk(operation::Operation& app, const std::function<std::tm()>& clock)
{
    if (app.state != operation::Idle || app.jpkType == operation::NoType)
        return false;
    app.state = operation::Running;
    const std::string g = app.groupText();
    app.logEvent(operation::LogStart, msg::startLog(g));

    std::string reason;
    if (!app.xl) {
        try {
            app.xl = app.provider().attach();
        } catch (const AutomationError& e) {
            reason = e.what();
        }
        if (!app.xl)
            return finish(app, msg::kNoExcel, reason);
    }
    Application& xl = *app.xl;
    try {
        xl.setVisible(true);
    } catch (const AutomationError& e) {
        return finish(app, msg::kExcelBusy, e.what());
    }

    std::string book;
    try {
        book = xl.activeWorkbookName();
    } catch (const AutomationError& e) {
        reason = e.what();  // no workbook open
    }
    if (book.empty() || base::winfs::upper(book) != base::winfs::upper(g + ".XLS"))
        return finish(app, msg::notGroupWorkbook(g), reason);

    xl.sheetsSelect(1);
    if (xl.activeSheetName() != "-SUMA-")
        return finish(app, msg::kNotSummarySheet);
    app.showProgress(msg::seeingSummary(book));

    const AmountColumns amount = amountColumns(xl);

    placeWindow(app, xl);

    if (xl.sheetsCount() < 2)
        return finish(app, msg::kNoValidSheets);
    std::string refusal;
    const jpkforms::Form* form = groupForm(xl, refusal);
    if (!form)
        return finish(app, refusal);

    Build b{app, xl, clock, "..\\" + g + ".xml", readSubjectFile(app), {}};
    if (form->family == jpkforms::Family::Vat2)
        return buildVat2(b, *form, amount);
    return buildVariant(b, *form);
}

}  // namespace zbir::jpkvat
