#pragma once
// The main window `Fo`: the program's one window. It holds the controls and
// forwards every event to the core (App), which reaches the controls back
// through WindowPort.

#include "shell/app.h"
#include "shell/picture.h"
#include "shell/window_port.h"

#include <QWidget>

#include <filesystem>
#include <memory>
#include <span>

class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QPushButton;
class QToolButton;

namespace zbir::shell {

class TFo : public QWidget, public WindowPort {
    Q_OBJECT

public:
    // Builds the window for `workFolder` and runs the start-up (FoCreat).
    // `picture` holds JPEG bytes; when they cannot be decoded the picture
    // stays empty and the window starts all the same.
    explicit TFo(const std::filesystem::path& workFolder,
                 std::shared_ptr<workbook::Provider> provider = workbook::embeddedProvider(),
                 std::filesystem::path programFile = {},
                 std::span<const unsigned char> picture = embeddedPicture(),
                 QWidget* parent = nullptr);

    App& app() { return m_app; }

    // WindowPort
    void showFolder(const std::string& text) override;
    void showGroups(const std::vector<std::string>& groups, int selected) override;
    void showFiles(const std::vector<std::string>& files) override;
    void showOutputName(const std::string& text) override;
    void showVersion(const std::string& text) override;
    void enableJpkButton(bool on) override;
    void showStatus(const std::string& text, int colour) override;
    void processEvents() override;
    Geometry geometry() const override;
    void closeWindow() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void connectControls();
    void setPicture(std::span<const unsigned char> jpeg);
    // Runs a handler; an error that escapes it goes to the status line.
    template <class F>
    void guarded(F&& handler);

    // Controls, named as in the window's resource.
    QLabel* Fol = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Wyb = nullptr;
    QComboBox* G15 = nullptr;
    QLabel* Ext = nullptr;
    QPushButton* ESCape = nullptr;
    QPushButton* XMLXLS = nullptr;
    QListWidget* Lis = nullptr;
    QFrame* THBp = nullptr;
    QLabel* THBq = nullptr;
    QPushButton* WczXLS = nullptr;
    QPushButton* XLSJPK = nullptr;
    QLabel* Inf = nullptr;
    QLabel* Wyj = nullptr;
    QLabel* Naglowek = nullptr;
    QLabel* VerL = nullptr;
    QComboBox* Ver = nullptr;

    App m_app;
};

}  // namespace zbir::shell
