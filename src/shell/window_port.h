#pragma once
// What the core needs from the main window. The Qt window implements it for
// the user; a headless implementation serves the command line and tests.

#include <string>
#include <vector>

namespace zbir::shell {

enum Colour : int { DarkRed = 128, Red = 255 };

struct Geometry {
    int top = 0;           // window top on the screen, pixels
    int height = 245;      // window height including its frame
    int width = 564;       // window width including its frame
    int clientWidth = 564;
    int screenHeight = 768;
};

struct Progress {
    int file = 0;             // 0-based index of the file being read
    int files = 0;            // files in the operation
    long long records = 0;    // records written so far in the whole operation
};

class WindowPort {
public:
    virtual ~WindowPort() = default;

    virtual void showFolder(const std::string& /*text*/) {}  // Fol and Naglowek
    virtual void showGroups(const std::vector<std::string>& /*groups*/, int /*selected*/) {}  // G15
    virtual void showFiles(const std::vector<std::string>& /*files*/) {}  // Lis
    virtual void showOutputName(const std::string& /*text*/) {}  // Wyj
    virtual void showVersion(const std::string& /*text*/) {}  // Ver
    virtual void enableJpkButton(bool /*on*/) {}  // XLSJPK
    // Inf: the whole text (program text), colour 128 or 255; a window too
    // narrow for it may elide it where it shows the whole text elsewhere.
    virtual void showStatus(const std::string& /*text*/, int /*colour*/) {}
    // Lets the window handle pending events (the exit button may run meanwhile).
    virtual void processEvents() {}
    virtual void showProgress(const Progress& /*progress*/) {}
    virtual Geometry geometry() const { return {}; }
    virtual void closeWindow() {}
};

}  // namespace zbir::shell
