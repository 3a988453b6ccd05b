#include "spreadsheet/style.h"

#include <bit>
#include <functional>

namespace zbir::workbook {

Style StyleChange::applyTo(Style s) const
{
    if (numberFormat)
        s.numberFormat = *numberFormat;
    if (fontSize)
        s.fontSize = *fontSize;
    if (bold)
        s.bold = *bold;
    if (align)
        s.align = *align;
    return s;
}

std::size_t StyleTable::StyleHash::operator()(const Style& s) const
{
    std::size_t h = s.numberFormat;
    h = h * 31 + std::bit_cast<std::uint32_t>(s.fontSize);
    h = h * 31 + (s.bold ? 1 : 0);
    h = h * 31 + static_cast<std::size_t>(s.align);
    return h;
}

StyleTable::StyleTable()
{
    formatIndex("General");
    intern(Style{});
}

std::uint32_t StyleTable::intern(const Style& style)
{
    auto it = m_styleIndex.find(style);
    if (it != m_styleIndex.end())
        return it->second;
    auto id = static_cast<std::uint32_t>(m_styles.size());
    m_styles.push_back(style);
    m_styleIndex.emplace(style, id);
    return id;
}

std::uint32_t StyleTable::formatIndex(const std::string& canonicalCode)
{
    auto it = m_formatIndex.find(canonicalCode);
    if (it != m_formatIndex.end())
        return it->second;
    auto id = static_cast<std::uint32_t>(m_formats.size());
    m_formats.emplace_back(canonicalCode);
    m_formatIndex.emplace(canonicalCode, id);
    return id;
}

std::uint32_t StyleDeriver::operator()(std::uint32_t styleId)
{
    auto it = m_done.find(styleId);
    if (it != m_done.end())
        return it->second;
    std::uint32_t derived = m_table.derive(styleId, m_change);
    m_done.emplace(styleId, derived);
    return derived;
}

}  // namespace zbir::workbook
