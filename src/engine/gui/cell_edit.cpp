#include "engine/gui/cell_edit.h"

#include "spreadsheet/workbook.h"

namespace zbir::workbook {

CellContent CellContent::of(const Sheet& sheet, int row, int col)
{
    CellContent c;
    const Cell* cell = sheet.cell(row, col);
    if (!cell)
        return c;
    c.kind = cell->kind;
    switch (cell->kind) {
    case CellKind::Blank: break;
    case CellKind::Number:
    case CellKind::Bool: c.number = cell->number; break;
    case CellKind::Text: c.text = std::string(cell->textView()); break;
    case CellKind::Error: c.error = cell->error; break;
    case CellKind::Formula: {
        const Formula& f = sheet.workbook().formulas().formula(cell->formula);
        c.formula = f.tree;
        if (!f.tree)
            c.text = f.source;
        break;
    }
    }
    return c;
}

void CellContent::restore(Sheet& sheet, int row, int col) const
{
    switch (kind) {
    case CellKind::Blank: sheet.clearContents(CellArea::cell(row, col)); break;
    case CellKind::Number: sheet.setNumber(row, col, number); break;
    case CellKind::Bool: sheet.setBool(row, col, number != 0); break;
    case CellKind::Text: sheet.setText(row, col, text); break;
    case CellKind::Error: sheet.setError(row, col, error); break;
    case CellKind::Formula: sheet.setFormula(row, col, formula, text); break;
    }
}

CellEditCommand::CellEditCommand(Target target, std::int32_t sheetId, std::vector<CellChange> changes,
                                 const QString& text)
    : QUndoCommand(text), m_target(std::move(target)), m_sheetId(sheetId), m_changes(std::move(changes))
{
}

void CellEditCommand::undo()
{
    m_target.run([this] { put(false); });
}

void CellEditCommand::redo()
{
    if (m_done) {
        m_done = false;
        return;
    }
    m_target.run([this] { put(true); });
}

void CellEditCommand::put(bool after)
{
    Sheet* sheet = m_target.find(m_sheetId);
    if (!sheet || m_changes.empty())
        return;
    if (after)
        for (const CellChange& c : m_changes)
            c.after.restore(*sheet, c.row, c.col);
    else
        for (auto it = m_changes.rbegin(); it != m_changes.rend(); ++it)
            it->before.restore(*sheet, it->row, it->col);
    m_target.changed(*sheet, m_changes.front().row, m_changes.front().col);
}

}  // namespace zbir::workbook
