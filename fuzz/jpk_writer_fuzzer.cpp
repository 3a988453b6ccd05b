// The combined JPK_VAT build on a workbook made from the input (a cell
// script, see fuzz_support.h), as a user may have edited it by hand. Beyond
// not crashing: a build that says it succeeded leaves a well-formed XML file;
// one that failed leaves the earlier combined file as it was; nothing
// temporary stays; the state byte returns to 0.

#include "fuzz_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static zbir::fuzz::JpkBench bench;
    static const bool definitions = [] {
        zbir::fuzz::writeFile(zbir::fuzz::workFolder() / "Podmiot1.JPK",
                              "KodUrzedu: 1471\r\nNIP: 5252614371\r\nPelnaNazwa: Hurtownia \xA3\xF3" "d\x9F\r\n");
        return true;
    }();
    (void)definitions;
    if (bench.load(std::string_view(reinterpret_cast<const char*>(data), size)))
        bench.buildAndCheck();
    return 0;
}
