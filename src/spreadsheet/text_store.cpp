#include "spreadsheet/text_store.h"

#include <cstdint>
#include <cstring>

namespace zbir::workbook {

const char* TextStore::add(std::string_view text)
{
    auto n = static_cast<std::uint32_t>(text.size());
    std::size_t need = sizeof n + text.size() + 1;
    char* p;
    if (need > kChunk / 4) {
        // A long text gets a chunk of its own, kept before the current one.
        auto own = std::make_unique_for_overwrite<char[]>(need);
        p = own.get();
        m_chunks.insert(m_chunks.empty() ? m_chunks.end() : m_chunks.end() - 1, std::move(own));
    } else {
        if (m_used + need > kChunk) {
            m_chunks.push_back(std::make_unique_for_overwrite<char[]>(kChunk));
            m_used = 0;
        }
        p = m_chunks.back().get() + m_used;
        m_used += need;
    }
    std::memcpy(p, &n, sizeof n);
    std::memcpy(p + sizeof n, text.data(), text.size());
    p[sizeof n + text.size()] = '\0';
    m_live += need;
    return p;
}

void TextStore::release(const char* record)
{
    std::uint32_t n;
    std::memcpy(&n, record, sizeof n);
    std::size_t size = sizeof n + n + 1;
    m_live -= size;
    m_garbage += size;
}

void TextStore::clear()
{
    m_chunks.clear();
    m_used = kChunk;
    m_live = 0;
    m_garbage = 0;
}

}  // namespace zbir::workbook
