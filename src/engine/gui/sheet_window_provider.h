#pragma once
// Hands out the automation object of another provider, and gives the
// embedded spreadsheet application a window as soon as there is one.

#include "spreadsheet/automation.h"

#include <memory>

namespace zbir::workbook {

class SheetWindow;

class SheetWindowProvider final : public Provider {
public:
    explicit SheetWindowProvider(std::shared_ptr<Provider> inner);
    ~SheetWindowProvider() override;

    std::shared_ptr<Application> attach() override;
    std::shared_ptr<Application> create() override;

    // The window of the application handed out last; null before one was.
    SheetWindow* window() const { return m_window.get(); }

private:
    std::shared_ptr<Application> withWindow(std::shared_ptr<Application> app);

    std::shared_ptr<Provider> m_inner;
    std::unique_ptr<SheetWindow> m_window;
};

}  // namespace zbir::workbook
