#pragma once
// Cell edits made in the window, as undoable commands: what each cell held
// before and after, put back exactly (formulas as their trees).

#include "spreadsheet/sheet.h"

#include <QUndoCommand>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zbir::workbook {

// What a cell holds.
struct CellContent {
    CellKind kind = CellKind::Blank;
    double number = 0;
    ErrorCode error = ErrorCode::Value;
    std::string text;      // Text; the source of a formula that did not parse
    FormulaTree formula;  // Formula

    static CellContent of(const Sheet& sheet, int row, int col);
    void restore(Sheet& sheet, int row, int col) const;
};

struct CellChange {
    int row = 0, col = 0;
    CellContent before, after;
};

// Edits of one sheet already made; undo puts the cells back, redo makes
// the edits again.
class CellEditCommand : public QUndoCommand {
public:
    // Runs each undo and redo (as the window's own change), finds the
    // edited sheet again (null when it is gone) and is told after each.
    struct Target {
        std::function<void(const std::function<void()>& work)> run;
        std::function<Sheet*(std::int32_t sheetId)> find;
        std::function<void(Sheet& sheet, int row, int col)> changed;
    };

    CellEditCommand(Target target, std::int32_t sheetId, std::vector<CellChange> changes, const QString& text);

    void undo() override;
    void redo() override;

private:
    void put(bool after);

    Target m_target;
    std::int32_t m_sheetId;
    std::vector<CellChange> m_changes;
    bool m_done = true;  // pushed after the edits were made
};

}  // namespace zbir::workbook
