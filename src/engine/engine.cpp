#include "engine/engine.h"

#include "spreadsheet/automation.h"
#include "encoding/charset.h"
#include "spreadsheet/text_codec.h"
#include "xlsx/workbook_file.h"

namespace zbir::workbook {

namespace {

std::filesystem::path absolutePath(const std::filesystem::path& path)
{
    std::error_code ec;
    auto abs = std::filesystem::absolute(path, ec);
    return (ec ? path : abs).lexically_normal();
}

}  // namespace

Engine::FileStamp Engine::stampOf(const std::filesystem::path& path)
{
    std::error_code ec;
    FileStamp stamp;
    stamp.time = std::filesystem::last_write_time(path, ec);
    if (ec)
        return {};
    stamp.size = std::filesystem::file_size(path, ec);
    return stamp;
}

Engine::Engine() = default;
Engine::~Engine() = default;

void Engine::notifyApplication()
{
    m_observers.notify([](EngineObserver& o) { o.applicationChanged(); });
}

void Engine::activateWorkbook(int index)
{
    m_active = index;
    notifyApplication();
}

int Engine::findByName(const std::string& name, int except) const
{
    for (int i = 0; i < workbookCount(); ++i)
        if (i != except && encoding::equalIgnoringCase(m_workbooks[static_cast<std::size_t>(i)]->name(), name))
            return i;
    return -1;
}

Workbook& Engine::addWorkbook()
{
    std::string name;
    do
        name = "Zeszyt" + std::to_string(m_nextBookNumber++);
    while (findByName(name, -1) >= 0);
    auto wb = std::make_unique<Workbook>(name);
    wb->addSheet(0, wb->freeSheetName());
    wb->setModified(false);
    wb->setObservers(&m_observers);
    m_workbooks.push_back(std::move(wb));
    m_stamps.emplace_back();
    m_active = workbookCount() - 1;
    notifyApplication();
    return *m_workbooks.back();
}

Workbook& Engine::openWorkbook(const std::filesystem::path& path)
{
    auto abs = absolutePath(path);
    std::error_code ec;
    for (int i = 0; i < workbookCount(); ++i) {
        Workbook& wb = workbook(i);
        if (wb.path().empty() || !std::filesystem::equivalent(wb.path(), abs, ec))
            continue;
        auto stamp = stampOf(abs);
        if (stamp != m_stamps[static_cast<std::size_t>(i)] && !wb.modified()) {
            auto fresh = loadWorkbookFile(abs);
            fresh->setFile(abs, wb.name());
            fresh->setObservers(&m_observers);
            m_workbooks[static_cast<std::size_t>(i)] = std::move(fresh);
            m_stamps[static_cast<std::size_t>(i)] = stamp;
        }
        activateWorkbook(i);
        return workbook(i);
    }
    std::string name = text::fromUtf8(abs.filename().string());
    if (findByName(name, -1) >= 0 && std::filesystem::exists(abs, ec))
        throw AutomationError("Jest ju\xBF otwarty skoroszyt o nazwie " + name);
    auto stamp = stampOf(abs);
    auto wb = loadWorkbookFile(abs);
    wb->setFile(abs, name);
    wb->setModified(false);
    wb->setObservers(&m_observers);
    m_workbooks.push_back(std::move(wb));
    m_stamps.push_back(stamp);
    activateWorkbook(workbookCount() - 1);
    return *m_workbooks.back();
}

void Engine::closeWorkbook(int index)
{
    m_workbooks.erase(m_workbooks.begin() + index);
    m_stamps.erase(m_stamps.begin() + index);
    if (m_active == index)
        m_active = workbookCount() - 1;
    else if (m_active > index)
        --m_active;
    notifyApplication();
}

void Engine::saveWorkbookAs(int index, const std::filesystem::path& path)
{
    auto abs = absolutePath(path);
    std::string name = text::fromUtf8(abs.filename().string());
    if (findByName(name, index) >= 0)
        throw AutomationError("Jest ju\xBF otwarty inny skoroszyt o nazwie " + name);
    Workbook& wb = workbook(index);
    saveWorkbookFile(wb, abs);
    wb.setFile(abs, name);
    wb.setModified(false);
    m_stamps[static_cast<std::size_t>(index)] = stampOf(abs);
    notifyApplication();
}

}  // namespace zbir::workbook
