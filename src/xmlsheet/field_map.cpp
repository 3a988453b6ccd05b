#include "xmlsheet/field_map.h"

#include <stdexcept>

namespace zbir::xmlsheet {

namespace {
constexpr std::size_t kTagLength = 30;
}

void FieldMap::clear()
{
    m_count = 0;
    m_entries.fill(FieldEntry{});
}

void FieldMap::add(int column, std::string_view name)
{
    if (m_count >= kCapacity)
        throw std::length_error("field-to-column map full");
    if (column < 0 || column > kMaxColumn)
        throw std::out_of_range("field-to-column map: column out of range");
    FieldEntry& e = m_entries[static_cast<size_t>(m_count)];
    ++m_count;
    e.column = static_cast<std::uint8_t>(column);
    e.kind = 0;
    e.filled = 0;
    e.tag.clear();
    e.tag += '<';
    e.tag += name;
    e.tag += '>';
    if (e.tag.size() > kTagLength)
        e.tag.resize(kTagLength);
}

void FieldMap::addWithKind(int column, std::string_view name, char kind)
{
    add(column, name);
    m_entries[static_cast<size_t>(m_count - 1)].kind = kind;
}

int FieldMap::findColumnForTag(std::string_view tag) const
{
    for (int i = m_count; i >= 1; --i) {
        const FieldEntry& e = m_entries[static_cast<size_t>(i - 1)];
        if (e.tag == tag)
            return e.column;
    }
    return kUnmappedColumn;
}

FieldEntry* FieldMap::findEntryForColumn(int column)
{
    for (int i = m_count; i >= 1; --i) {
        FieldEntry& e = m_entries[static_cast<size_t>(i - 1)];
        if (e.column == column)
            return &e;
    }
    return nullptr;
}

const FieldEntry* FieldMap::findEntryForColumn(int column) const
{
    return const_cast<FieldMap*>(this)->findEntryForColumn(column);
}

}  // namespace zbir::xmlsheet
