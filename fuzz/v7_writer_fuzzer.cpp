// The combined-file build of a JPK_V7M / JPK_V7K group (the writer of the
// inputs' own variant) on a workbook made from the input: a cell script
// (fuzz_support.h) of the -SUMA- sheet and up to three V7 file sheets, their
// namespace cell, header, subject, declaration and records, as a user may
// have edited them; lines "P<TAB>text" of the input are the lines of
// Podmiot1.JPK. Beyond not crashing: a build that says it succeeded leaves a
// file the program's own schema check accepts; one that fails says why,
// leaves the earlier combined file as it was and no <group>.xml of its own
// (an output the schema refused only as <group>.xml.bledny); nothing
// temporary stays; the state byte returns to 0.

#include "fuzz_support.h"

#include <cstdint>
#include <string>

using namespace zbir;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::JpkBench bench("JPK_V7M_2026_03");
    std::string_view script(reinterpret_cast<const char*>(data), size);
    std::string subject;
    for (std::string_view rest = script; !rest.empty();) {
        const std::size_t end = rest.find('\n');
        const std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (line.size() >= 2 && line[0] == 'P' && line[1] == '\t') {
            subject.append(line.substr(2));
            subject += "\r\n";
        }
    }
    const std::filesystem::path subjectFile = fuzz::workFolder() / "Podmiot1.JPK";
    if (subject.empty()) {
        std::error_code ec;
        std::filesystem::remove(subjectFile, ec);
    } else {
        fuzz::writeFile(subjectFile, subject);
    }
    if (bench.load(script))
        bench.buildAndCheck(true);
    return 0;
}
