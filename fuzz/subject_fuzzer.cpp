// Podmiot1.JPK as the JPK_VAT build reads it. Beyond not crashing: every
// field holds at most 200 characters, the file read from disk gives what its
// bytes give, and the combined file built with these definitions from a
// small fixed workbook is well-formed XML.

#include "fuzz_support.h"
#include "jpkvat/subject.h"
#include "shell/app.h"

#include <cstdint>
#include <string>

using namespace zbir;

namespace {

// -SUMA- with an amount column, one file sheet with the period and one sale.
constexpr std::string_view kWorkbook =
    "S\t-SUMA-\nW\t20\t9\n"
    "S\tA\nV\t2\t55\t<DataOd>\nV\t2\t75\t2017-05-01\nV\t3\t55\t<DataDo>\nV\t3\t75\t2017-05-31\n"
    "V\t4\t54\t<SprzedazWiersz>\nV\t4\t1\t<LpSprzedazy>\nV\t4\t19\t<K_19>\nV\t4\t20\t<K_20>\n"
    "V\t5\t1\t1\nV\t5\t19\t100\nV\t5\t20\t23\nV\t6\t1\tLuKa-Werks\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzz::JpkBench bench;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile(fuzz::workFolder() / std::string(jpkvat::kSubjectFileName), input);

    if (!bench.load(kWorkbook))
        fuzz::violated("the fixed workbook did not load");
    bench.buildAndCheck();

    const jpkvat::SubjectRecord record = jpkvat::ReadSubjectDefinitions(bench.app());
    for (const std::string& field : record.fields)
        if (field.size() > jpkvat::SubjectRecord::kMaxLength)
            fuzz::violated("a subject field holds more than 200 characters");
    if (record.fields != jpkvat::parseSubjectDefinitions(input).fields)
        fuzz::violated("Podmiot1.JPK read from disk differs from its bytes parsed");
    return 0;
}
