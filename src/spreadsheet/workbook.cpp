#include "spreadsheet/workbook.h"

#include "spreadsheet/automation.h"
#include "encoding/charset.h"
#include "spreadsheet/text_codec.h"

#include <algorithm>

namespace zbir::workbook {

Workbook::Workbook(std::string name) : m_name(std::move(name)), m_formulas(*this) {}

Workbook::~Workbook() = default;

void Workbook::setFile(const std::filesystem::path& path, std::string name)
{
    m_path = path;
    m_name = std::move(name);
}

Sheet* Workbook::sheetById(std::int32_t id)
{
    for (auto& s : m_sheets)
        if (s->id() == id)
            return s.get();
    return nullptr;
}

const Sheet* Workbook::sheetById(std::int32_t id) const
{
    return const_cast<Workbook*>(this)->sheetById(id);
}

int Workbook::indexOf(const Sheet& sheet) const
{
    for (std::size_t i = 0; i < m_sheets.size(); ++i)
        if (m_sheets[i].get() == &sheet)
            return static_cast<int>(i);
    return -1;
}

std::string Workbook::sheetNameProblem(std::string_view name, int index) const
{
    std::string shown(name);
    if (name.empty())
        return "Nazwa arkusza nie mo\xBF" "e by\xE6 pusta";
    if (name.size() > 31)
        return "Nazwa arkusza d\xB3u\xBFsza ni\xBF 31 znak\xF3w: " + shown;
    if (name.find_first_of("[]:*?/\\") != std::string_view::npos)
        return "Niedozwolony znak w nazwie arkusza: " + shown;
    if (name.front() == '\'' || name.back() == '\'')
        return "Nazwa arkusza nie mo\xBF" "e zaczyna\xE6 si\xEA ani ko\xF1" "czy\xE6 apostrofem: " + shown;
    for (std::size_t i = 0; i < m_sheets.size(); ++i)
        if (static_cast<int>(i) != index && encoding::equalIgnoringCase(m_sheets[i]->name(), name))
            return "Arkusz o nazwie " + shown + " ju\xBF istnieje";
    return {};
}

Sheet& Workbook::addSheet(int position, const std::string& name)
{
    std::string problem = sheetNameProblem(name, -1);
    if (!problem.empty())
        throw AutomationError(problem);
    position = std::clamp(position, 0, sheetCount());
    auto it = m_sheets.insert(m_sheets.begin() + position, std::make_unique<Sheet>(*this, m_nextId++, name));
    m_active = position;
    m_modified = true;
    notifyStructure();
    return **it;
}

std::string Workbook::freeSheetName()
{
    for (;;) {
        std::string name = "Arkusz" + std::to_string(m_nextSheetNumber++);
        if (sheetNameProblem(name, -1).empty())
            return name;
    }
}

void Workbook::renameSheet(int index, const std::string& name)
{
    if (m_sheets[static_cast<std::size_t>(index)]->name() == name)
        return;
    std::string problem = sheetNameProblem(name, index);
    if (!problem.empty())
        throw AutomationError(problem);
    sheet(index).rename(name);
    notifyStructure();
}

void Workbook::deleteSheet(int index)
{
    if (sheetCount() <= 1)
        throw AutomationError("Skoroszyt musi zawiera\xE6 co najmniej jeden arkusz");
    m_formulas.sheetRemoving(sheet(index).id());
    m_sheets.erase(m_sheets.begin() + index);
    if (m_active > index || m_active >= sheetCount())
        --m_active;
    m_modified = true;
    notifyStructure();
}

void Workbook::activateSheet(int index)
{
    m_active = index;
    notifyStructure();
}

std::optional<std::int32_t> Workbook::sheetId(std::string_view name) const
{
    for (const auto& s : m_sheets)
        if (encoding::equalIgnoringCase(s->name(), name))
            return s->id();
    return std::nullopt;
}

std::string Workbook::sheetName(std::int32_t id) const
{
    const Sheet* s = sheetById(id);
    return s ? s->name() : std::string();
}

void Workbook::notifyStructure()
{
    if (auto* obs = observers())
        obs->notify([&](EngineObserver& o) { o.workbookChanged(*this); });
}

}  // namespace zbir::workbook
