#pragma once
// Notification of changes in the engine, for a window that shows it. Calls
// come on the engine's thread right after each change; a receiver that
// redraws should collect them and honour the application's ScreenUpdating.

#include "spreadsheet/cell_address.h"

#include <algorithm>
#include <vector>

namespace zbir::workbook {

class Sheet;
class Workbook;

class EngineObserver {
public:
    virtual ~EngineObserver() = default;
    // Values or formats of cells in `area` changed.
    virtual void cellsChanged(const Sheet& /*sheet*/, const CellArea& /*area*/) {}
    // Column widths, row heights, the split, the selection or the name of a sheet changed.
    virtual void sheetChanged(const Sheet& /*sheet*/) {}
    // Sheets were added, deleted or activated.
    virtual void workbookChanged(const Workbook& /*workbook*/) {}
    // Workbooks were opened, closed or activated, or an application property changed.
    virtual void applicationChanged() {}
};

class ObserverList {
public:
    void add(EngineObserver* o) { m_list.push_back(o); }
    void remove(EngineObserver* o) { m_list.erase(std::remove(m_list.begin(), m_list.end(), o), m_list.end()); }
    bool empty() const { return m_list.empty(); }

    template <class Fn>
    void notify(Fn&& fn) const
    {
        for (auto* o : m_list)
            fn(*o);
    }

private:
    std::vector<EngineObserver*> m_list;
};

}  // namespace zbir::workbook
