#include "xlsx/import_factory.h"

#include "xlsx/parallel.h"

#include "spreadsheet/automation.h"
#include "spreadsheet/cell_address.h"
#include "spreadsheet/number_format.h"
#include "spreadsheet/text_codec.h"
#include "spreadsheet/text_metrics.h"

#include <orcus/exception.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <thread>

namespace zbir::workbook {

namespace {

constexpr double kTwipsPerRow = metrics::kDefaultRowHeight * 20;

// Days from 1970-01-01 to a civil date.
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    long long era = (y >= 0 ? y : y - 399) / 400;
    auto yoe = static_cast<unsigned>(y - era * 400);
    unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

double pixelsOf(double value, orcus::length_unit_t unit)
{
    switch (unit) {
    case orcus::length_unit_t::pixel: return value;
    case orcus::length_unit_t::point: return value * 96 / 72;
    case orcus::length_unit_t::twip: return value * 96 / 1440;
    case orcus::length_unit_t::inch: return value * 96;
    case orcus::length_unit_t::centimeter: return value * 96 / 2.54;
    case orcus::length_unit_t::millimeter: return value * 96 / 25.4;
    default: return value;
    }
}

// A length from the file in whole pixels, within what a column can take
// (0 for NaN or less).
int pixelCount(double pixels)
{
    const double most = metrics::columnPixels(metrics::kMaxColumnWidth);
    return pixels > 0 ? static_cast<int>(std::min(pixels, most) + 0.5) : 0;
}

double pointsOf(double value, orcus::length_unit_t unit)
{
    return unit == orcus::length_unit_t::point ? value : pixelsOf(value, unit) * 72 / 96;
}

}  // namespace

// References in the file's A1 notation.

ss::src_address_t ImportReferences::resolve_address(std::string_view address)
{
    auto range = resolve_range(address);
    if (range.first.row != range.last.row || range.first.column != range.last.column)
        throw orcus::invalid_arg_error("not a single cell: " + std::string(address));
    return range.first;
}

ss::src_range_t ImportReferences::resolve_range(std::string_view range)
{
    auto bang = range.rfind('!');
    if (bang != std::string_view::npos)
        range.remove_prefix(bang + 1);
    auto area = parseA1Area(range);
    if (!area)
        throw orcus::invalid_arg_error("not a cell address: " + std::string(range));
    ss::src_range_t r{};
    r.first = {0, area->row1 - 1, area->col1 - 1};
    r.last = {0, area->row2 - 1, area->col2 - 1};
    return r;
}

// Shared strings

std::size_t ImportStrings::append(std::string_view s)
{
    m_strings.push_back(text::fromUtf8(s));
    return m_strings.size() - 1;
}

std::size_t ImportStrings::add(std::string_view s)
{
    std::string t = text::fromUtf8(s);
    auto it = m_index.find(t);
    if (it != m_index.end())
        return it->second;
    m_strings.push_back(t);
    m_index.emplace(std::move(t), m_strings.size() - 1);
    return m_strings.size() - 1;
}

std::size_t ImportStrings::commit_segments()
{
    std::size_t id = append(m_segments);
    m_segments.clear();
    return id;
}

// Styles

std::size_t ImportStyles::commit_font()
{
    m_fonts.push_back(m_font);
    m_font = Font{};
    return m_fonts.size() - 1;
}

std::size_t ImportStyles::commit_number_format()
{
    m_formatCodes[m_formatId] = text::fromUtf8(m_formatCode);
    m_formatCode.clear();
    return m_formatId;
}

void ImportStyles::set_xf_horizontal_alignment(ss::hor_alignment_t align)
{
    switch (align) {
    case ss::hor_alignment_t::left: m_xf.align = HAlign::Left; break;
    case ss::hor_alignment_t::center: m_xf.align = HAlign::Center; break;
    case ss::hor_alignment_t::right: m_xf.align = HAlign::Right; break;
    default: m_xf.align = HAlign::General; break;
    }
}

std::size_t ImportStyles::commit_cell_xf()
{
    m_xfs.push_back(m_xf);
    m_xf = Xf{};
    return m_xfs.size() - 1;
}

std::size_t ImportStyles::commit_cell_style_xf()
{
    m_xf = Xf{};
    return m_styleXfs++;
}

std::size_t ImportStyles::commit_dxf()
{
    m_xf = Xf{};
    return m_dxfs++;
}

void ImportStyles::resolveAll(StyleTable& table)
{
    for (std::size_t xf = 0; xf < m_xfs.size(); ++xf)
        engineStyle(xf, table);
}

std::uint32_t ImportStyles::engineStyle(std::size_t xf, StyleTable& table)
{
    if (xf >= m_xfs.size())
        return 0;
    if (m_engineStyles.size() < m_xfs.size())
        m_engineStyles.resize(m_xfs.size());
    if (m_engineStyles[xf])
        return *m_engineStyles[xf];
    const Xf& x = m_xfs[xf];
    Style style;
    auto custom = m_formatCodes.find(x.numberFormat);
    std::string code = custom != m_formatCodes.end() ? custom->second
                                                     : builtinFormatCode(static_cast<int>(x.numberFormat));
    style.numberFormat = table.formatIndex(code.empty() ? "General" : code);
    if (x.font < m_fonts.size()) {
        style.bold = m_fonts[x.font].bold;
        if (m_fonts[x.font].size >= 1 && m_fonts[x.font].size <= 409)
            style.fontSize = static_cast<float>(m_fonts[x.font].size);
    }
    style.align = x.align;
    std::uint32_t id = table.intern(style);
    m_engineStyles[xf] = id;
    return id;
}

// Sheets

ImportSheet::ImportSheet(ImportFactory& factory, Sheet& sheet, int index, std::string fileName)
    : m_factory(factory), m_sheet(sheet), m_index(index), m_fileName(std::move(fileName))
{
}

bool ImportSheet::valid(ss::row_t row, ss::col_t col) const
{
    return validRow(row + 1) && validColumn(col + 1);
}

ssi::import_formula* ImportSheet::get_formula()
{
    m_formula = PendingFormula{};
    return this;
}

// A value the sheet refuses, with the sheet and cell it was meant for.
AutomationError ImportSheet::cellFault(ss::row_t row, ss::col_t col, const AutomationError& e) const
{
    return AutomationError("arkusz " + text::fromUtf8(m_fileName) + ", kom\xF3rka " +
                           columnLetters(static_cast<int>(col) + 1) + std::to_string(row + 1) + ": " + e.what());
}

void ImportSheet::set_auto(ss::row_t row, ss::col_t col, std::string_view s)
{
    if (!valid(row, col))
        return;
    try {
        m_sheet.setValue(row + 1, col + 1, text::fromUtf8(s));
    } catch (const AutomationError& e) {
        throw cellFault(row, col, e);
    }
}

void ImportSheet::set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex)
{
    if (!valid(row, col))
        return;
    try {
        if (const std::string* s = m_factory.m_strings.get(sindex))
            m_sheet.setText(row + 1, col + 1, *s);
        else
            m_factory.m_pendingStrings.push_back({m_index, row + 1, col + 1, sindex});
    } catch (const AutomationError& e) {
        throw cellFault(row, col, e);
    }
}

void ImportSheet::setStyleDirect(ss::row_t row, ss::col_t col, std::size_t xf)
{
    if (valid(row, col))
        m_sheet.setCellStyle(row + 1, col + 1, m_factory.m_styles.engineStyle(xf, m_factory.m_workbook.styles()));
}

void ImportSheet::setSharedStringDirect(ss::row_t row, ss::col_t col, std::size_t id)
{
    if (!valid(row, col))
        return;
    if (const std::string* s = m_factory.m_strings.get(id))
        m_sheet.setText(row + 1, col + 1, *s);
}

void ImportSheet::setTextDirect(ss::row_t row, ss::col_t col, std::string_view utf8)
{
    if (!valid(row, col))
        return;
    try {
        if (text::isAscii(utf8))
            m_sheet.setText(row + 1, col + 1, utf8);
        else
            m_sheet.setText(row + 1, col + 1, text::fromUtf8(utf8));
    } catch (const AutomationError& e) {
        throw cellFault(row, col, e);
    }
}

void ImportSheet::setErrorDirect(ss::row_t row, ss::col_t col, std::string_view text)
{
    if (!valid(row, col))
        return;
    if (auto code = parseErrorText(text))
        m_sheet.setError(row + 1, col + 1, *code);
    else
        m_sheet.setText(row + 1, col + 1, text::fromUtf8(text));
}

void ImportSheet::set_value(ss::row_t row, ss::col_t col, double value)
{
    if (valid(row, col))
        m_sheet.setNumber(row + 1, col + 1, value);
}

void ImportSheet::set_bool(ss::row_t row, ss::col_t col, bool value)
{
    if (valid(row, col))
        m_sheet.setBool(row + 1, col + 1, value);
}

void ImportSheet::set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                                double second)
{
    if (!valid(row, col) || month < 1 || month > 12 || day < 1 || day > 31)
        return;
    long long days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                     daysFromCivil(1899, 12, 30);
    double serial = static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    m_sheet.setNumber(row + 1, col + 1, serial);
}

void ImportSheet::set_format(ss::row_t row, ss::col_t col, std::size_t xf_index)
{
    if (valid(row, col) && xf_index != 0)
        m_factory.m_formats.push_back({static_cast<std::uint32_t>(row + 1), static_cast<std::uint16_t>(col + 1),
                                       static_cast<std::uint16_t>(m_index), static_cast<std::uint32_t>(xf_index)});
}

void ImportSheet::set_format(ss::row_t row_start, ss::col_t col_start, ss::row_t row_end, ss::col_t col_end,
                             std::size_t xf_index)
{
    for (ss::row_t r = row_start; r <= row_end; ++r)
        for (ss::col_t c = col_start; c <= col_end; ++c)
            set_format(r, c, xf_index);
}

void ImportSheet::fill_down_cells(ss::row_t src_row, ss::col_t src_col, ss::row_t range_size)
{
    if (!valid(src_row, src_col))
        return;
    CellValue v = m_sheet.value(src_row + 1, src_col + 1);
    for (ss::row_t k = 1; k <= range_size && valid(src_row + k, src_col); ++k) {
        int r = src_row + k + 1, c = src_col + 1;
        switch (v.kind) {
        case CellValue::Kind::Number: m_sheet.setNumber(r, c, v.number); break;
        case CellValue::Kind::Text: m_sheet.setText(r, c, v.text); break;
        case CellValue::Kind::Bool: m_sheet.setBool(r, c, v.boolean); break;
        case CellValue::Kind::Error: m_sheet.setError(r, c, v.error); break;
        case CellValue::Kind::Empty: break;
        }
    }
}

ss::range_size_t ImportSheet::get_sheet_size() const
{
    return {kMaxRows, kMaxColumns};
}

void ImportSheet::set_column_width(ss::col_t col, double width, orcus::length_unit_t unit)
{
    if (!validColumn(col + 1))
        return;
    if (m_widths.empty())
        m_widths.assign(kMaxColumns, std::numeric_limits<double>::quiet_NaN());
    double& w = m_widths[static_cast<std::size_t>(col)];
    if (w == 0)
        return;  // hidden
    w = unit == orcus::length_unit_t::xlsx_column_digit
            ? metrics::widthFromFile(width)
            : metrics::widthOfPixels(pixelCount(pixelsOf(width, unit)));
}

void ImportSheet::set_column_hidden(ss::col_t col, bool hidden)
{
    if (!hidden || !validColumn(col + 1))
        return;
    if (m_widths.empty())
        m_widths.assign(kMaxColumns, std::numeric_limits<double>::quiet_NaN());
    m_widths[static_cast<std::size_t>(col)] = 0;
}

void ImportSheet::set_row_height(ss::row_t row, double height, orcus::length_unit_t unit)
{
    double points = pointsOf(height, unit);
    if (!validRow(row + 1) || !(points >= 0) || std::fabs(points - metrics::kDefaultRowHeight) < 0.01 ||
        m_sheet.rowHeight(row + 1) == 0)
        return;
    m_sheet.setRowHeight(row + 1, std::min(points, metrics::kMaxRowHeight));
}

void ImportSheet::set_row_hidden(ss::row_t row, bool hidden)
{
    if (hidden && validRow(row + 1))
        m_sheet.setRowHeight(row + 1, 0);
}

void ImportSheet::set_sheet_active()
{
    m_factory.m_activeSheet = m_index;
}

void ImportSheet::set_split_pane(double, double ver_split, const ss::address_t&, ss::sheet_pane_t)
{
    if (ver_split > 0)
        m_sheet.setSplitRow(static_cast<int>(std::lround(std::min(ver_split / kTwipsPerRow, double{kMaxRows - 1}))));
}

void ImportSheet::set_frozen_pane(ss::col_t, ss::row_t visible_rows, const ss::address_t&, ss::sheet_pane_t)
{
    if (visible_rows > 0 && visible_rows < kMaxRows)
        m_sheet.setSplitRow(visible_rows);
}

void ImportSheet::set_selected_range(ss::sheet_pane_t, ss::range_t range)
{
    if (valid(range.first.row, range.first.column) && valid(range.last.row, range.last.column))
        m_selection = range;
}

void ImportSheet::set_position(ss::row_t row, ss::col_t col)
{
    m_formula.row = row + 1;
    m_formula.col = col + 1;
}

void ImportSheet::set_formula(ss::formula_grammar_t, std::string_view formula)
{
    m_formula.text = text::fromUtf8(formula);
}

void ImportSheet::set_shared_formula_index(std::size_t index)
{
    m_formula.shared = index;
}

void ImportSheet::set_result_string(std::string_view value)
{
    m_formula.result = CellValue::ofText(text::fromUtf8(value));
}

void ImportSheet::set_result_value(double value)
{
    m_formula.result = std::isfinite(value) ? CellValue::ofNumber(value) : CellValue::ofError(ErrorCode::Num);
}

void ImportSheet::set_result_bool(bool value)
{
    m_formula.result = CellValue::ofBool(value);
}

void ImportSheet::set_result_empty()
{
    m_formula.result.reset();
}

void ImportSheet::commit()
{
    if (validRow(m_formula.row) && validColumn(m_formula.col))
        m_committed.push_back(std::move(m_formula));
    m_formula = PendingFormula{};
}

void ImportSheet::finish()
{
    if (!m_widths.empty()) {
        // The run of equal widths that reaches the last column becomes the
        // sheet's default; the columns before it get their own widths.
        auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
        std::size_t tail = m_widths.size() - 1;
        while (tail > 0 && same(m_widths[tail - 1], m_widths.back()))
            --tail;
        double fallback = m_sheet.defaultColumnWidth();
        if (!std::isnan(m_widths.back())) {
            m_sheet.setDefaultColumnWidth(m_widths.back());
        } else {
            tail = m_widths.size();
        }
        for (std::size_t c = 0; c < tail; ++c) {
            double w = std::isnan(m_widths[c]) ? fallback : m_widths[c];
            if (w != m_sheet.defaultColumnWidth())
                m_sheet.setColumnWidth(CellArea::columns(static_cast<int>(c) + 1, static_cast<int>(c) + 1), w);
        }
    }
    if (m_selection) {
        const auto& r = *m_selection;
        m_sheet.select(CellArea::cells(r.first.row + 1, r.first.column + 1, r.last.row + 1, r.last.column + 1),
                       r.first.row + 1, r.first.column + 1);
    }
}

// Factory

ImportFactory::ImportFactory(Workbook& workbook) : m_workbook(workbook) {}

ImportFactory::~ImportFactory() = default;

ssi::import_sheet* ImportFactory::append_sheet(ss::sheet_t sheet_index, std::string_view name)
{
    if (sheet_index != static_cast<ss::sheet_t>(m_sheets.size()))
        return nullptr;
    std::string programName = text::fromUtf8(name);
    if (!m_workbook.sheetNameProblem(programName, -1).empty())
        programName = m_workbook.freeSheetName();
    Sheet& sheet = m_workbook.addSheet(sheet_index, programName);
    m_sheets.push_back(std::make_unique<ImportSheet>(*this, sheet, sheet_index, std::string(name)));
    return m_sheets.back().get();
}

ssi::import_sheet* ImportFactory::get_sheet(std::string_view name)
{
    for (auto& s : m_sheets)
        if (s->m_fileName == name)
            return s.get();
    return nullptr;
}

ssi::import_sheet* ImportFactory::get_sheet(ss::sheet_t sheet_index)
{
    if (sheet_index < 0 || sheet_index >= static_cast<ss::sheet_t>(m_sheets.size()))
        return nullptr;
    return m_sheets[static_cast<std::size_t>(sheet_index)].get();
}

void ImportFactory::finalize()
{
    if (m_sheetDataReader && !m_sheets.empty()) {
        m_styles.resolveAll(m_workbook.styles());
        struct None {};
        forEachInParallel<None>(m_sheets.size(), [&](std::size_t i, None&) {
            m_sheetDataReader(static_cast<int>(i), *m_sheets[i]);
        });
    }
    for (auto& s : m_sheets) {
        for (auto& f : s->m_committed)
            m_formulas.push_back({s->m_index, std::move(f)});
        s->m_committed = {};
    }

    for (const auto& p : m_pendingStrings) {
        if (const std::string* s = m_strings.get(p.id)) {
            ImportSheet& sheet = *m_sheets[static_cast<std::size_t>(p.sheet)];
            try {
                sheet.sheet().setText(p.row, p.col, *s);
            } catch (const AutomationError& e) {
                throw sheet.cellFault(p.row - 1, p.col - 1, e);
            }
        }
    }

    for (const auto& f : m_formats)
        m_sheets[f.sheet]->sheet().setCellStyle(static_cast<int>(f.row), f.col,
                                                m_styles.engineStyle(f.xf, m_workbook.styles()));
    m_formats = {};

    // A shared formula's first cell holds its text; R1C1 trees fit every cell of the group.
    std::map<std::pair<int, std::size_t>, FormulaTree> shared;
    std::vector<FormulaTree> trees(m_formulas.size());
    for (std::size_t i = 0; i < m_formulas.size(); ++i) {
        const auto& [sheet, f] = m_formulas[i];
        if (!f.text)
            continue;
        trees[i] = parseFormulaA1(*f.text, f.row, f.col, m_workbook);
        if (f.shared && trees[i])
            shared.emplace(std::make_pair(sheet, *f.shared), trees[i]);
    }
    for (std::size_t i = 0; i < m_formulas.size(); ++i) {
        const auto& [sheetIndex, f] = m_formulas[i];
        Sheet& sheet = m_sheets[static_cast<std::size_t>(sheetIndex)]->sheet();
        FormulaTree tree = trees[i];
        if (!tree && !f.text && f.shared) {
            auto it = shared.find({sheetIndex, *f.shared});
            if (it != shared.end())
                tree = it->second;
        }
        if (tree) {
            sheet.setFormula(f.row, f.col, tree, {}, f.result ? &*f.result : nullptr);
            continue;
        }
        // A formula the engine cannot read keeps its last result as a value.
        if (!f.result)
            continue;
        switch (f.result->kind) {
        case CellValue::Kind::Number: sheet.setNumber(f.row, f.col, f.result->number); break;
        case CellValue::Kind::Text: sheet.setText(f.row, f.col, f.result->text); break;
        case CellValue::Kind::Bool: sheet.setBool(f.row, f.col, f.result->boolean); break;
        case CellValue::Kind::Error: sheet.setError(f.row, f.col, f.result->error); break;
        case CellValue::Kind::Empty: break;
        }
    }
    m_formulas = {};
    m_workbook.formulas().spreadDirty();

    for (auto& s : m_sheets)
        s->finish();
    if (!m_sheets.empty())
        m_workbook.activateSheet(std::clamp(m_activeSheet, 0, m_workbook.sheetCount() - 1));
}

}  // namespace zbir::workbook
