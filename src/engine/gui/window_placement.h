#pragma once
// The spreadsheet window's place against the application state: WindowState,
// Top and Height (in points, the frame's) come from the engine and go back to
// it when the user moves, sizes, maximises or minimises the window; left and
// width are the window's own. The screen's work area is told to the engine
// for a maximised window's place.

#include "engine/engine.h"

#include <QWidget>

namespace zbir::workbook {

// The properties that place the window.
bool samePlace(const ApplicationState& a, const ApplicationState& b);

class WindowPlacement {
public:
    // `applying` is raised while the window follows the engine; `own` counts
    // the engine changes the window makes itself.
    WindowPlacement(QWidget& window, Engine& engine, bool& applying, int& own);

    // First geometry: centred, at the top of the work area, at most 1100 x 700.
    void initialGeometry();
    // The screen's work area to the engine, in points.
    void screenToEngine();
    // The engine's state and place applied once events are handled (the last of several).
    void post();
    bool pending() const { return m_pending; }
    // The engine's state and place applied now.
    void place();
    // The user moved or sized the window: its Top and Height to the engine.
    void store();
    // The user maximised, minimised or restored the window: its state to the engine.
    void stateToEngine();

private:
    double pointsPerPixel() const;
    void placeNormal();

    QWidget& m_window;
    Engine& m_engine;
    bool& m_applying;
    int& m_own;
    bool m_pending = false;
};

}  // namespace zbir::workbook
