#include "workbook/workbook_file.h"

#include "workbook/automation.h"
#include "workbook/import_factory.h"
#include "workbook/text_codec.h"

#include <orcus/format_detection.hpp>
#include <orcus/orcus_xlsx.hpp>

#include <fstream>
#include <sstream>

namespace zbir::workbook {

namespace {

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw AutomationError("Nie mo\xBFna odczyta\xE6 pliku " + displayPath(path));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        throw AutomationError("Nie mo\xBFna odczyta\xE6 pliku " + displayPath(path));
    return std::move(bytes).str();
}

}  // namespace

std::unique_ptr<Workbook> loadWorkbookFile(const std::filesystem::path& path)
{
    std::error_code ec;
    auto status = std::filesystem::status(path, ec);
    if (!std::filesystem::exists(status))
        throw AutomationError("Nie ma pliku " + displayPath(path));
    if (std::filesystem::is_directory(status))
        throw AutomationError(displayPath(path) + " jest folderem, nie skoroszytem");
    std::string bytes = readAll(path);
    auto notAWorkbook = [&](const std::string& why) {
        return AutomationError("Plik " + displayPath(path) + " nie jest czytelnym skoroszytem (" + why + ")");
    };
    if (bytes.empty())
        throw notAWorkbook("pusty plik");
    auto format = orcus::detect(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    if (format != orcus::format_t::xlsx)
        throw notAWorkbook("to nie jest skoroszyt Office Open XML");

    auto wb = std::make_unique<Workbook>(text::fromUtf8(path.filename().string()));
    try {
        ImportFactory factory(*wb);
        orcus::orcus_xlsx filter(&factory);
        filter.read_stream(bytes);
    } catch (const AutomationError& e) {
        throw notAWorkbook(e.what());
    } catch (const std::exception& e) {
        throw notAWorkbook(text::fromUtf8(e.what()));
    }
    if (wb->sheetCount() == 0)
        throw notAWorkbook("brak arkuszy");
    wb->setModified(false);
    return wb;
}

}  // namespace zbir::workbook
