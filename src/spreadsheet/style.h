#pragma once
// Cell styles of one workbook: number format, font size, bold and horizontal
// alignment, kept once each and referred to by index. Style 0 is the default
// (General, 11 points, regular, general alignment).

#include "spreadsheet/number_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zbir::workbook {

enum class HAlign : std::uint8_t { General, Left, Center, Right };

struct Style {
    std::uint32_t numberFormat = 0;  // index into the table's number formats; 0 is General
    float fontSize = 11;
    bool bold = false;
    HAlign align = HAlign::General;

    bool operator==(const Style&) const = default;
};

// What a formatting call changes; the rest of a style stays.
struct StyleChange {
    std::optional<std::uint32_t> numberFormat;
    std::optional<float> fontSize;
    std::optional<bool> bold;
    std::optional<HAlign> align;

    Style applyTo(Style s) const;
};

class StyleTable {
public:
    StyleTable();

    std::uint32_t intern(const Style& style);
    const Style& style(std::uint32_t id) const { return m_styles[id]; }
    std::size_t size() const { return m_styles.size(); }

    // Index of a number format given in canonical syntax.
    std::uint32_t formatIndex(const std::string& canonicalCode);
    const NumberFormat& format(std::uint32_t index) const { return m_formats[index]; }
    std::size_t formatCount() const { return m_formats.size(); }

    const NumberFormat& formatOf(std::uint32_t styleId) const { return m_formats[m_styles[styleId].numberFormat]; }
    bool isText(std::uint32_t styleId) const { return formatOf(styleId).isText(); }

    std::uint32_t derive(std::uint32_t styleId, const StyleChange& change) { return intern(change.applyTo(style(styleId))); }

private:
    struct StyleHash {
        std::size_t operator()(const Style& s) const;
    };
    std::vector<Style> m_styles;
    std::unordered_map<Style, std::uint32_t, StyleHash> m_styleIndex;
    std::vector<NumberFormat> m_formats;
    std::unordered_map<std::string, std::uint32_t> m_formatIndex;
};

// Applies one change to many styles, remembering the results.
class StyleDeriver {
public:
    StyleDeriver(StyleTable& table, const StyleChange& change) : m_table(table), m_change(change) {}
    std::uint32_t operator()(std::uint32_t styleId);

private:
    StyleTable& m_table;
    StyleChange m_change;
    std::unordered_map<std::uint32_t, std::uint32_t> m_done;
};

}  // namespace zbir::workbook
