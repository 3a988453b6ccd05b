#pragma once
// The parts of a zip archive read whole, for tests of written packages.

#include <gtest/gtest.h>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zbir::test {

// The parts of a zip archive, by name, in its order.
inline std::vector<std::pair<std::string, std::string>> partsOf(const std::string& zip)
{
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    std::vector<std::pair<std::string, std::string>> parts;
    for (std::size_t i = 0; i < archive.get_file_entry_count(); ++i) {
        std::string name(archive.get_file_entry_name(i));
        std::vector<unsigned char> bytes;
        EXPECT_TRUE(archive.read_file_entry(name, bytes)) << name;
        parts.emplace_back(name, std::string(bytes.begin(), bytes.end()));
    }
    return parts;
}

}  // namespace zbir::test
