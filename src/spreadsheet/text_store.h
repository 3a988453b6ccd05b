#pragma once
// Storage for the texts of one sheet's cells: length-prefixed,
// NUL-terminated records in large chunks, so that millions of short texts
// cost little more than their bytes. Records never move until the sheet
// compacts the store.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace zbir::workbook {

class TextStore {
public:
    // The record of a copy of `text` (see Cell::text).
    const char* add(std::string_view text);
    // A record no cell uses any more.
    void release(const char* record);

    std::size_t liveBytes() const { return m_live; }
    std::size_t garbageBytes() const { return m_garbage; }
    // Worth rebuilding from the live texts.
    bool wasteful() const { return m_garbage > (1u << 22) && m_garbage > m_live; }
    void clear();

private:
    static constexpr std::size_t kChunk = 1u << 20;
    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::size_t m_used = kChunk;  // bytes used in the last chunk
    std::size_t m_live = 0;
    std::size_t m_garbage = 0;
};

}  // namespace zbir::workbook
