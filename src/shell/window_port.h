#pragma once
// What the core needs from the main window. The Qt window implements it for
// the user; a headless implementation serves the command line and tests.

#include "operation/operation.h"

#include <string>
#include <vector>

namespace zbir::shell {

using operation::Colour;
using operation::DarkRed;
using operation::Red;
using operation::Geometry;
using operation::Progress;
using operation::Idle;
using operation::Running;
using operation::Stopping;
using operation::kLastRunningState;
using operation::NoType;

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual void showFolder(const std::string& /*text*/) {}  // Fol and Naglowek
    virtual void showGroups(const std::vector<std::string>& /*groups*/, int /*selected*/) {}  // G15
    virtual void showFiles(const std::vector<std::string>& /*files*/) {}  // Lis
    virtual void showOutputName(const std::string& /*text*/) {}  // Wyj
    virtual void showVersion(const std::string& /*text*/) {}  // Ver
    virtual void enableJpkButton(bool /*on*/) {}  // XLSJPK
    // Inf: text already cut to 50 characters (program text), colour 128 or 255.
    virtual void showStatus(const std::string& /*text*/, int /*colour*/) {}
    // Lets the window handle pending events (the exit button may run meanwhile).
    virtual void processEvents() {}
    virtual void showProgress(const Progress& /*progress*/) {}
    // One line of a list of problems whose summary the status line shows
    // (the window leaves them to the run log).
    virtual void showDetail(const std::string& /*text*/) {}
    virtual Geometry geometry() const { return {}; }
    virtual void closeWindow() {}
};

}  // namespace zbir::shell
