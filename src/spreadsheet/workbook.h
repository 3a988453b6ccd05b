#pragma once
// One workbook: its sheets in order, the styles and formulas they share,
// the file it came from or went to, and whether it changed since.

#include "spreadsheet/engine_observer.h"
#include "spreadsheet/formula.h"
#include "spreadsheet/formula_store.h"
#include "spreadsheet/sheet.h"
#include "spreadsheet/style.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::workbook {

class Workbook : public SheetNames {
public:
    // A workbook with no sheets; `name` is program text.
    explicit Workbook(std::string name);
    ~Workbook() override;
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    const std::string& name() const { return m_name; }
    const std::filesystem::path& path() const { return m_path; }
    // Where the workbook now lives (after a save or an open); `name` is its file name as program text.
    void setFile(const std::filesystem::path& path, std::string name);

    bool modified() const { return m_modified.load(std::memory_order_relaxed); }
    // Atomic: an open fills the sheets on several threads.
    void setModified(bool on) { m_modified.store(on, std::memory_order_relaxed); }

    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    Sheet& sheet(int index) { return *m_sheets[static_cast<std::size_t>(index)]; }  // 0-based
    const Sheet& sheet(int index) const { return *m_sheets[static_cast<std::size_t>(index)]; }
    Sheet* sheetById(std::int32_t id);
    const Sheet* sheetById(std::int32_t id) const;
    int indexOf(const Sheet& sheet) const;
    int activeSheetIndex() const { return m_active; }
    Sheet& activeSheet() { return sheet(m_active); }

    // Adds a sheet at 0-based `position`; it becomes active. Raises AutomationError for a name that is refused.
    Sheet& addSheet(int position, const std::string& name);
    // A name "Arkusz<n>" that no sheet bears.
    std::string freeSheetName();
    void renameSheet(int index, const std::string& name);
    // Raises AutomationError when it is the last sheet.
    void deleteSheet(int index);
    void activateSheet(int index);
    // Why `name` cannot name sheet `index` (-1: a new sheet); empty when it can.
    std::string sheetNameProblem(std::string_view name, int index) const;

    StyleTable& styles() { return m_styles; }
    const StyleTable& styles() const { return m_styles; }
    FormulaStore& formulas() { return m_formulas; }

    std::optional<std::int32_t> sheetId(std::string_view name) const override;
    std::string sheetName(std::int32_t id) const override;

    void setObservers(const ObserverList* observers) { m_observers = observers; }
    const ObserverList* observers() const { return m_observers && !m_observers->empty() ? m_observers : nullptr; }
    void notifyStructure();

private:
    std::string m_name;
    std::filesystem::path m_path;
    std::atomic<bool> m_modified{false};
    std::vector<std::unique_ptr<Sheet>> m_sheets;
    int m_active = 0;
    std::int32_t m_nextId = 1;
    int m_nextSheetNumber = 1;
    StyleTable m_styles;
    FormulaStore m_formulas;
    const ObserverList* m_observers = nullptr;
};

}  // namespace zbir::workbook
