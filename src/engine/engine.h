#pragma once
// The engine room: the embedded spreadsheet application behind the
// automation interface, its factory and (engine/gui/) its window.
//
// The embedded spreadsheet application: its properties and its open
// workbooks, one of them active. Everything the automation interface does
// ends here; a window that shows the application reads this state and
// registers an EngineObserver.

#include "spreadsheet/automation.h"
#include "spreadsheet/engine_observer.h"
#include "spreadsheet/workbook.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

namespace zbir::workbook {

struct ApplicationState {
    bool visible = false;
    bool displayAlerts = true;
    bool screenUpdating = true;
    int windowState = xl::Normal;
    double top = 0;           // points, window in normal state
    double height = 600;
    double screenTop = 0;  // the area a maximised window takes
    double screenHeight = 768;
};

class Engine {
public:
    Engine();
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    const ApplicationState& state() const { return m_state; }
    // Changes the properties and tells the observers.
    template <class Fn>
    void changeState(Fn&& fn)
    {
        fn(m_state);
        notifyApplication();
    }

    int workbookCount() const { return static_cast<int>(m_workbooks.size()); }
    Workbook& workbook(int index) { return *m_workbooks[static_cast<std::size_t>(index)]; }  // 0-based
    int activeWorkbookIndex() const { return m_active; }  // -1 when none is open
    Workbook* activeWorkbook() { return m_active < 0 ? nullptr : m_workbooks[static_cast<std::size_t>(m_active)].get(); }
    void activateWorkbook(int index);

    // A new workbook "Zeszyt<n>" with one sheet "Arkusz1"; it becomes active.
    Workbook& addWorkbook();
    // Opens a workbook file, or activates it when it is open already: it is
    // read again only when the file changed since and the open copy has no
    // unsaved changes. Raises AutomationError for a missing or unreadable
    // file and for a file name another open workbook bears.
    Workbook& openWorkbook(const std::filesystem::path& path);
    void closeWorkbook(int index);
    // Saves under `path`, replacing a file there. Raises AutomationError when
    // another open workbook bears the file name, or the save fails (the old
    // file then stays as it was).
    void saveWorkbookAs(int index, const std::filesystem::path& path);

    void addObserver(EngineObserver* observer) { m_observers.add(observer); }
    void removeObserver(EngineObserver* observer) { m_observers.remove(observer); }

    // Set by a window while the user edits a cell in it: the application is
    // busy, and the automation interface refuses every call meanwhile.
    void setUserEditing(bool on) { m_userEditing = on; }
    bool userEditing() const { return m_userEditing; }

private:
    ApplicationState m_state;
    std::vector<std::unique_ptr<Workbook>> m_workbooks;
    // The file as it was when read or written: its time and size.
    struct FileStamp {
        std::filesystem::file_time_type time;
        std::uintmax_t size = 0;
        bool operator==(const FileStamp&) const = default;
    };
    std::vector<FileStamp> m_stamps;
    int m_active = -1;
    int m_nextBookNumber = 1;
    ObserverList m_observers;
    bool m_userEditing = false;

    void notifyApplication();
    static FileStamp stampOf(const std::filesystem::path& path);
    int findByName(const std::string& name, int except) const;
};

}  // namespace zbir::workbook
