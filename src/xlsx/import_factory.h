#pragma once
// The receiving end of orcus's spreadsheet import: orcus parses a file and
// calls these interfaces; they fill one engine workbook. Styles and formulas
// arrive after the cells, so formats and formulas wait for finalize().

#include "spreadsheet/automation.h"
#include "spreadsheet/workbook.h"

#include <orcus/spreadsheet/import_interface.hpp>
#include <orcus/spreadsheet/import_interface_view.hpp>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zbir::workbook {

namespace ss = orcus::spreadsheet;
namespace ssi = orcus::spreadsheet::iface;

class ImportFactory;

class ImportReferences final : public ssi::import_reference_resolver {
public:
    ss::src_address_t resolve_address(std::string_view address) override;
    ss::src_range_t resolve_range(std::string_view range) override;
};

class ImportStrings final : public ssi::import_shared_strings {
public:
    std::size_t append(std::string_view s) override;
    std::size_t add(std::string_view s) override;
    void set_segment_font(std::size_t) override {}
    void set_segment_bold(bool) override {}
    void set_segment_italic(bool) override {}
    void set_segment_font_name(std::string_view) override {}
    void set_segment_font_size(double) override {}
    void set_segment_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void append_segment(std::string_view s) override { m_segments += s; }
    std::size_t commit_segments() override;

    const std::string* get(std::size_t id) const { return id < m_strings.size() ? &m_strings[id] : nullptr; }

private:
    std::vector<std::string> m_strings;  // program text
    std::unordered_map<std::string, std::size_t> m_index;
    std::string m_segments;
};

// Fonts, number formats and cell formats (xf) as the file lists them.
class ImportStyles final : public ssi::import_styles {
public:
    void set_font_count(std::size_t) override {}
    void set_font_bold(bool b) override { m_font.bold = b; }
    void set_font_italic(bool) override {}
    void set_font_name(std::string_view) override {}
    void set_font_size(double point) override { m_font.size = point; }
    void set_font_underline(ss::underline_t) override {}
    void set_font_underline_width(ss::underline_width_t) override {}
    void set_font_underline_mode(ss::underline_mode_t) override {}
    void set_font_underline_type(ss::underline_type_t) override {}
    void set_font_underline_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_font_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_strikethrough_style(ss::strikethrough_style_t) override {}
    void set_strikethrough_type(ss::strikethrough_type_t) override {}
    void set_strikethrough_width(ss::strikethrough_width_t) override {}
    void set_strikethrough_text(ss::strikethrough_text_t) override {}
    std::size_t commit_font() override;

    void set_fill_count(std::size_t) override {}
    void set_fill_pattern_type(ss::fill_pattern_t) override {}
    void set_fill_fg_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    void set_fill_bg_color(ss::color_elem_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t) override {}
    std::size_t commit_fill() override { return m_fills++; }

    void set_border_count(std::size_t) override {}
    void set_border_style(ss::border_direction_t, ss::border_style_t) override {}
    void set_border_color(ss::border_direction_t, ss::color_elem_t, ss::color_elem_t, ss::color_elem_t,
                          ss::color_elem_t) override
    {
    }
    void set_border_width(ss::border_direction_t, double, orcus::length_unit_t) override {}
    std::size_t commit_border() override { return m_borders++; }

    void set_cell_hidden(bool) override {}
    void set_cell_locked(bool) override {}
    void set_cell_print_content(bool) override {}
    void set_cell_formula_hidden(bool) override {}
    std::size_t commit_cell_protection() override { return m_protections++; }

    void set_number_format_count(std::size_t) override {}
    void set_number_format_identifier(std::size_t id) override { m_formatId = id; }
    void set_number_format_code(std::string_view s) override { m_formatCode = std::string(s); }
    std::size_t commit_number_format() override;

    void set_cell_xf_count(std::size_t) override {}
    void set_cell_style_xf_count(std::size_t) override {}
    void set_dxf_count(std::size_t) override {}
    void set_xf_font(std::size_t index) override { m_xf.font = index; }
    void set_xf_fill(std::size_t) override {}
    void set_xf_border(std::size_t) override {}
    void set_xf_protection(std::size_t) override {}
    void set_xf_number_format(std::size_t index) override { m_xf.numberFormat = index; }
    void set_xf_style_xf(std::size_t) override {}
    void set_xf_apply_alignment(bool) override {}
    void set_xf_horizontal_alignment(ss::hor_alignment_t align) override;
    void set_xf_vertical_alignment(ss::ver_alignment_t) override {}
    std::size_t commit_cell_xf() override;
    std::size_t commit_cell_style_xf() override;
    std::size_t commit_dxf() override;

    void set_cell_style_count(std::size_t) override {}
    void set_cell_style_name(std::string_view) override {}
    void set_cell_style_xf(std::size_t) override {}
    void set_cell_style_builtin(std::size_t) override {}
    void set_cell_style_parent_name(std::string_view) override {}
    std::size_t commit_cell_style() override { return m_cellStyles++; }

    // The engine style of cell format `xf` (0 for an unknown one).
    std::uint32_t engineStyle(std::size_t xf, StyleTable& table);
    // Every cell format's engine style, so that engineStyle() only reads after.
    void resolveAll(StyleTable& table);

private:
    struct Font {
        bool bold = false;
        double size = 11;
    };
    struct Xf {
        std::size_t font = 0;
        std::size_t numberFormat = 0;  // the file's format id
        HAlign align = HAlign::General;
    };
    Font m_font;
    std::vector<Font> m_fonts;
    std::size_t m_formatId = 0;
    std::string m_formatCode;
    std::map<std::size_t, std::string> m_formatCodes;  // custom codes by id
    Xf m_xf;
    std::vector<Xf> m_xfs;
    std::vector<std::optional<std::uint32_t>> m_engineStyles;
    std::size_t m_fills = 0, m_borders = 0, m_protections = 0, m_styleXfs = 0, m_dxfs = 0, m_cellStyles = 0;
};

class ImportSheet final : public ssi::import_sheet,
                          public ssi::import_sheet_properties,
                          public ssi::import_sheet_view,
                          public ssi::import_formula {
public:
    ImportSheet(ImportFactory& factory, Sheet& sheet, int index, std::string fileName);

    Sheet& sheet() { return m_sheet; }
    // Column widths and the selection, once all is read.
    void finish();

    // Cells read by the sheet data reader once styles and shared strings
    // are known: the style given before the value, inline and formula-less
    // texts as UTF-8, an error cell by its text.
    void setStyleDirect(ss::row_t row, ss::col_t col, std::size_t xf);
    void setSharedStringDirect(ss::row_t row, ss::col_t col, std::size_t id);
    void setTextDirect(ss::row_t row, ss::col_t col, std::string_view utf8);
    void setErrorDirect(ss::row_t row, ss::col_t col, std::string_view text);

    // import_sheet
    ssi::import_sheet_view* get_sheet_view() override { return this; }
    ssi::import_sheet_properties* get_sheet_properties() override { return this; }
    ssi::import_formula* get_formula() override;
    void set_auto(ss::row_t row, ss::col_t col, std::string_view s) override;
    void set_string(ss::row_t row, ss::col_t col, ss::string_id_t sindex) override;
    void set_value(ss::row_t row, ss::col_t col, double value) override;
    void set_bool(ss::row_t row, ss::col_t col, bool value) override;
    void set_date_time(ss::row_t row, ss::col_t col, int year, int month, int day, int hour, int minute,
                       double second) override;
    void set_format(ss::row_t row, ss::col_t col, std::size_t xf_index) override;
    void set_format(ss::row_t row_start, ss::col_t col_start, ss::row_t row_end, ss::col_t col_end,
                    std::size_t xf_index) override;
    void fill_down_cells(ss::row_t src_row, ss::col_t src_col, ss::row_t range_size) override;
    ss::range_size_t get_sheet_size() const override;

    // import_sheet_properties
    void set_column_width(ss::col_t col, double width, orcus::length_unit_t unit) override;
    void set_column_hidden(ss::col_t col, bool hidden) override;
    void set_row_height(ss::row_t row, double height, orcus::length_unit_t unit) override;
    void set_row_hidden(ss::row_t row, bool hidden) override;
    void set_merge_cell_range(const ss::range_t&) override {}

    // import_sheet_view
    void set_sheet_active() override;
    void set_split_pane(double hor_split, double ver_split, const ss::address_t& top_left_cell,
                        ss::sheet_pane_t active_pane) override;
    void set_frozen_pane(ss::col_t visible_columns, ss::row_t visible_rows, const ss::address_t& top_left_cell,
                         ss::sheet_pane_t active_pane) override;
    void set_selected_range(ss::sheet_pane_t pane, ss::range_t range) override;

    // import_formula
    void set_position(ss::row_t row, ss::col_t col) override;
    void set_formula(ss::formula_grammar_t grammar, std::string_view formula) override;
    void set_shared_formula_index(std::size_t index) override;
    void set_result_string(std::string_view value) override;
    void set_result_value(double value) override;
    void set_result_bool(bool value) override;
    void set_result_empty() override;
    void commit() override;

private:
    ImportFactory& m_factory;
    Sheet& m_sheet;
    int m_index;
    AutomationError cellFault(ss::row_t row, ss::col_t col, const AutomationError& e) const;

    std::string m_fileName;  // the name as the file spells it
    std::vector<double> m_widths;  // from the file, NaN where it gives none
    std::optional<ss::range_t> m_selection;

    struct PendingFormula {
        int row = 0, col = 0;
        std::optional<std::string> text;  // program text, A1 notation
        std::optional<std::size_t> shared;
        std::optional<CellValue> result;
    };
    PendingFormula m_formula;
    std::vector<PendingFormula> m_committed;  // gathered by the factory in sheet order
    bool valid(ss::row_t row, ss::col_t col) const;
    friend class ImportFactory;
};

class ImportFactory final : public ssi::import_factory, public ssi::import_global_settings {
public:
    explicit ImportFactory(Workbook& workbook);
    ~ImportFactory() override;

    ssi::import_global_settings* get_global_settings() override { return this; }
    ssi::import_shared_strings* get_shared_strings() override { return &m_strings; }
    ssi::import_styles* get_styles() override { return &m_styles; }
    ssi::import_reference_resolver* get_reference_resolver(ss::formula_ref_context_t) override { return &m_references; }
    ssi::import_sheet* append_sheet(ss::sheet_t sheet_index, std::string_view name) override;
    ssi::import_sheet* get_sheet(std::string_view name) override;
    ssi::import_sheet* get_sheet(ss::sheet_t sheet_index) override;
    void finalize() override;

    void set_origin_date(int, int, int) override {}
    void set_default_formula_grammar(ss::formula_grammar_t grammar) override { m_grammar = grammar; }
    ss::formula_grammar_t get_default_formula_grammar() const override { return m_grammar; }
    void set_character_set(orcus::character_set_t) override {}

    // Called first in finalize(), with the styles and shared strings read,
    // for every sheet, on as many threads as there are processors (at most
    // one a sheet): fills the sheets whose cells orcus did not read. It may
    // call only the *Direct setters and the row and formula calls.
    void setSheetDataReader(std::function<void(int sheetIndex, ImportSheet& sheet)> reader)
    {
        m_sheetDataReader = std::move(reader);
    }
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }

private:
    friend class ImportSheet;
    struct PendingFormat {
        std::uint32_t row;
        std::uint16_t col;
        std::uint16_t sheet;
        std::uint32_t xf;
    };
    struct PendingString {
        int sheet, row, col;
        std::size_t id;
    };
    struct PendingFormula {
        int sheet;
        ImportSheet::PendingFormula formula;
    };

    Workbook& m_workbook;
    ImportStrings m_strings;
    ImportStyles m_styles;
    ImportReferences m_references;
    std::vector<std::unique_ptr<ImportSheet>> m_sheets;
    std::vector<PendingFormat> m_formats;
    std::vector<PendingString> m_pendingStrings;
    std::vector<PendingFormula> m_formulas;
    int m_activeSheet = 0;
    std::function<void(int, ImportSheet&)> m_sheetDataReader;
    ss::formula_grammar_t m_grammar = ss::formula_grammar_t::xlsx;
};

}  // namespace zbir::workbook
