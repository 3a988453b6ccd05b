// The scanner and the text copy alone, on one JPK file: the part of the
// transport every byte of an input goes through, run without the
// spreadsheet so that each input costs little (the whole chain is the
// `transport` target). The input is the file's bytes; its length picks the
// group's JPK type, and so the layout the scanner maps values to.
// Beyond not crashing: whenever the input is well-formed XML and the scanner
// read it to its end without a problem to report, the copy is well-formed
// XML too; the copy of a file read to its end is written whole.

#include "fuzz_support.h"
#include "transport/layouts.h"
#include "xmlsheet/copy_writer.h"
#include "xmlsheet/field_map.h"
#include "xmlsheet/xml_scanner.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>

using namespace zbir;
namespace fs = std::filesystem;

namespace {

// The field maps of the seven JPK types, declared once, and a scanner for
// each, kept between inputs: open() starts every scan afresh, and a scanner
// made anew would allocate and clear its 64 KB read buffer for every input.
struct Scanners {
    std::array<xmlsheet::FieldMap, 8> map;
    std::array<std::unique_ptr<xmlsheet::XmlScanner>, 8> scanner;
    Scanners()
    {
        for (std::size_t type = 1; type <= 7; ++type) {
            workbook::declareLayout(static_cast<int>(type), map[type]);
            scanner[type] = std::make_unique<xmlsheet::XmlScanner>(map[type], static_cast<int>(type), [] { return true; });
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const Scanners scanners;
    static const fs::path input = fuzz::workFolder() / "JPK_VAT_2017_05_FUZZ.XML";
    static const fs::path copyFile = fuzz::workFolder() / "xx";
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(input, bytes);

    xmlsheet::XmlScanner& scanner = *scanners.scanner[1 + size % 7];
    xmlsheet::CopyWriter copy(scanner);
    copy.create(copyFile);
    if (!scanner.open(input))
        fuzz::violated("the scanner could not open its input");
    scanner.scan(copy);
    try {
        copy.close();
    } catch (const std::runtime_error& e) {
        fuzz::violated("the copy could not be written", e.what());
    }
    if (scanner.complete() && scanner.error().empty() && fuzz::wellFormedXml(bytes)) {
        std::string error;
        if (!fuzz::wellFormedXml(fuzz::readFile(copyFile), &error))
            fuzz::violated("the copy of a well-formed file is not well-formed XML", error);
    }
    return 0;
}
