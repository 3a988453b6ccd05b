#include "engine/gui/sheet_window_provider.h"

#include "engine/embedded_application.h"
#include "engine/gui/sheet_window.h"

namespace zbir::workbook {

SheetWindowProvider::SheetWindowProvider(std::shared_ptr<Provider> inner) : m_inner(std::move(inner)) {}

SheetWindowProvider::~SheetWindowProvider() = default;

std::shared_ptr<Application> SheetWindowProvider::attach()
{
    return withWindow(m_inner->attach());
}

std::shared_ptr<Application> SheetWindowProvider::create()
{
    return withWindow(m_inner->create());
}

std::shared_ptr<Application> SheetWindowProvider::withWindow(std::shared_ptr<Application> app)
{
    auto embedded = std::dynamic_pointer_cast<EmbeddedApplication>(app);
    if (embedded && (!m_window || &m_window->application() != embedded.get()))
        m_window = std::make_unique<SheetWindow>(embedded);
    return app;
}

}  // namespace zbir::workbook
