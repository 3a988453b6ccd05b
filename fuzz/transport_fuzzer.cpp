// One JPK file through the transport's engine: the scanner, the text copy and
// the sheet writer on the embedded spreadsheet, then the summary sheet. The
// input is the file's bytes; its length picks the group's JPK type.
// Beyond not crashing: whenever the input is well-formed XML and the scanner
// read it to its end without a fault or a problem to report, the copy in TXT
// is well-formed XML too; a copy is placed exactly when the file was read
// whole; no temporary copy stays behind (fuzz_support.h, TransportBench).

#include "fuzz_support.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static zbir::fuzz::TransportBench bench("JPK_VAT_2017_05_FUZZ.XML");
    bench.run(std::string_view(reinterpret_cast<const char*>(data), size), static_cast<int>(1 + size % 7));
    return 0;
}
