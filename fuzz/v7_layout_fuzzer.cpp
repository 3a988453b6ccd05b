// A JPK_V7M / JPK_V7K file through the transport's engine (the scanner, the
// text copy, the sheet writer with the V7 forms' layout, the summary sheet),
// in a group of its own type ("JPK_V7M_..."). The input is the file's bytes.
// Beyond not crashing: the transport's properties (fuzz_support.h,
// TransportBench: the copy placed exactly when the file was read whole, the
// copy of a well-formed file well-formed, no temporary copy left); and the
// sheet of a file whose root namespace is a V7 form's holds that namespace
// in (1, 76), where the combined-file build reads the form; the copy of a
// file valid against its form's schema, read whole, is valid too (the
// transport checks each file first so that it can keep it so).

#include "fuzz_support.h"
#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"
#include "spreadsheet/automation.h"

#include <cstdint>
#include <string>

using namespace zbir;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::TransportBench bench("JPK_V7M_2026_03_FUZZ.XML");
    constexpr int kGroupType = 4;  // the letter V of "JPK_V7M"
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const fuzz::TransportBench::Outcome out = bench.run(input, kGroupType);
    if (out.threw)
        return 0;
    const std::string ns = jpkforms::rootNamespace(input);
    const jpkforms::Form* form = jpkforms::findForm(ns);
    if (!form || form->family != jpkforms::Family::V7)
        return 0;
    workbook::Application& xl = bench.xl();
    if (xl.sheetsCount() < 2)
        fuzz::violated("the file got no sheet");
    xl.sheetsSelect(2);
    if (xl.cellValue(1, 76) != ns)
        fuzz::violated("the sheet of a V7 file does not name its form's namespace", xl.cellValue(1, 76));
    if (out.finished && jpkforms::checkDocument(input).verdict == jpkforms::Verdict::Valid) {
        const jpkforms::CheckResult copy = jpkforms::checkDocument(out.copy);
        if (copy.verdict != jpkforms::Verdict::Valid)
            fuzz::violated("the copy of a file valid against its schema is not valid",
                           copy.problems.empty() ? std::string() : copy.problems.front().message);
    }
    return 0;
}
