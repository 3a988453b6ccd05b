#include "workbook/automation.h"

namespace zbir::workbook {

namespace {
class NoProvider : public Provider {
public:
    std::shared_ptr<Application> attach() override { throw AutomationError("no spreadsheet application"); }
    std::shared_ptr<Application> create() override { throw AutomationError("no spreadsheet application"); }
};
}  // namespace

std::shared_ptr<Provider> embeddedProvider()
{
    static auto p = std::make_shared<NoProvider>();
    return p;
}

}  // namespace zbir::workbook
