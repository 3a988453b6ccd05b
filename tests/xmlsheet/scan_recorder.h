#pragma once
// Test helpers: a consumer that records the scanner's items as lines, and a
// one-call scan of a text written to a temporary file.

#include "support/test_support.h"
#include "xmlsheet/field_map.h"
#include "xmlsheet/xml_scanner.h"

#include <functional>
#include <string>
#include <vector>

namespace zbir::test {

class ScanRecorder : public xmlsheet::ScanConsumer {
public:
    std::vector<std::string> items;

    void declaration(const xmlsheet::Declaration& d) override
    {
        items.push_back("decl " + d.text + " @" +
                        (d.encodingPos == std::string::npos ? std::string("-") : std::to_string(d.encodingPos)));
    }
    // The namespace prefix of an item, when it has one: " ns=tns:".
    static std::string prefix(const std::string& p) { return p.empty() ? p : " ns=" + p; }
    void comment(const xmlsheet::Comment& c) override { items.push_back("comment " + c.text); }
    void opening(const xmlsheet::ContainerOpening& o) override
    {
        static const char* const classes[] = {"start", "repeat", "ctrl", "root", "other"};
        items.push_back("open " + std::to_string(o.level) + " " + o.tag + " [" + o.attributes + "] " +
                        classes[static_cast<int>(o.cls)] + prefix(o.prefix));
    }
    void closing(const xmlsheet::ContainerClosing& c) override
    {
        items.push_back("close " + std::to_string(c.level) + " " + c.tag + (c.recordListRunning ? " list" : "") +
                        prefix(c.prefix));
    }
    void element(const xmlsheet::Element& e) override
    {
        items.push_back("elem " + std::to_string(e.level) + " " + e.tag + " [" + e.attributes + "] " + e.value +
                        " " + e.closingTag + " " + std::to_string(e.column) + prefix(e.prefix));
    }
};

struct ScanResult {
    std::vector<std::string> items;
    bool modified = false;
    char letter = 0;
    std::string error;
};

inline ScanResult scanText(const std::string& text, int jpkType = 4, const xmlsheet::FieldMap& map = {},
                           std::function<bool()> keepGoing = {}, std::size_t cap = 0)
{
    TempDir dir;
    writeFile(dir / "JPK_TEST.xml", text);
    xmlsheet::XmlScanner scanner(map, jpkType, std::move(keepGoing));
    if (cap)
        scanner.setItemCap(cap);
    ScanRecorder recorder;
    if (scanner.open(dir / "JPK_TEST.xml"))
        scanner.scan(recorder);
    return {recorder.items, scanner.modified(), scanner.encodingLetter(), scanner.error()};
}

}  // namespace zbir::test
