#pragma once
// The field-to-column map: which worksheet column receives the value of each
// JPK element, and how that column is formatted.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zbir::xmlsheet {

struct FieldEntry {
    std::uint8_t column = 0;
    std::string tag;   // "<" + name + ">", cut to 30 characters
    char kind = 0;     // 'P', 'C', 'K' or 0
    char filled = 0;   // 'L' once a value other than "0" went into this amount column
};

class FieldMap {
public:
    static constexpr int kCapacity = 200;
    static constexpr int kUnmappedColumn = 75;
    static constexpr int kMaxColumn = 255;  // what an entry's column holds

    void clear();
    // Raises std::length_error beyond kCapacity entries, std::out_of_range
    // for a column outside 0..kMaxColumn.
    void add(int column, std::string_view name);
    void addWithKind(int column, std::string_view name, char kind);

    // Column of the last entry whose tag equals `tag` ("<Name>"), else 75.
    int findColumnForTag(std::string_view tag) const;
    // Last entry whose column equals `column`, or nullptr.
    FieldEntry* findEntryForColumn(int column);
    const FieldEntry* findEntryForColumn(int column) const;

    int count() const { return m_count; }
    // Entries 1..count().
    FieldEntry& entry(int i) { return m_entries.at(static_cast<size_t>(i - 1)); }
    const FieldEntry& entry(int i) const { return m_entries.at(static_cast<size_t>(i - 1)); }

private:
    int m_count = 0;
    std::array<FieldEntry, kCapacity> m_entries{};
};

}  // namespace zbir::xmlsheet
