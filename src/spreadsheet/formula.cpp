#include "spreadsheet/formula.h"

#include "spreadsheet/cell_address.h"
#include "spreadsheet/number_format.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zbir::workbook {

namespace {

constexpr std::string_view kErrorTexts[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"};
constexpr size_t kMaxFormulaLength = 8192;
constexpr int kMaxNesting = 100;
constexpr int kMaxOperators = 1000;

bool isNameChar(char c)
{
    auto u = static_cast<unsigned char>(c);
    return std::isalnum(u) || c == '_' || c == '.' || u >= 0x80;
}

char upper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

class Parser {
public:
    Parser(std::string_view text, bool r1c1, int row, int col, const SheetNames& sheets)
        : m_s(text), m_r1c1(r1c1), m_row(row), m_col(col), m_sheets(sheets)
    {
    }

    FormulaTree parse()
    {
        if (m_s.size() > kMaxFormulaLength)
            return nullptr;
        skipSpaces();
        if (peek() == '=')
            ++m_i;
        FormulaNode node;
        if (!expression(node, 0))
            return nullptr;
        skipSpaces();
        if (m_i != m_s.size())
            return nullptr;
        return std::make_shared<const FormulaNode>(std::move(node));
    }

private:
    std::string_view m_s;
    size_t m_i = 0;
    bool m_r1c1;
    int m_row, m_col;
    const SheetNames& m_sheets;
    int m_operators = 0;

    char peek(size_t ahead = 0) const { return m_i + ahead < m_s.size() ? m_s[m_i + ahead] : '\0'; }
    void skipSpaces()
    {
        while (peek() == ' ' || peek() == '\n' || peek() == '\r' || peek() == '\t')
            ++m_i;
    }

    static FormulaNode binary(char op, FormulaNode left, FormulaNode right)
    {
        FormulaNode n;
        n.type = FormulaNode::Type::Binary;
        n.op = op;
        n.args.push_back(std::move(left));
        n.args.push_back(std::move(right));
        return n;
    }

    // Precedence levels: 0 comparison, 1 &, 2 + -, 3 * /, 4 ^.
    bool expression(FormulaNode& out, int level, int depth = 0)
    {
        if (depth > kMaxNesting)
            return false;
        if (level == 5)
            return unary(out, depth);
        if (!expression(out, level + 1, depth))
            return false;
        for (;;) {
            skipSpaces();
            char op = 0;
            size_t len = 1;
            char c = peek();
            switch (level) {
            case 0:
                if (c == '<' && peek(1) == '=') op = 'l', len = 2;
                else if (c == '>' && peek(1) == '=') op = 'g', len = 2;
                else if (c == '<' && peek(1) == '>') op = 'n', len = 2;
                else if (c == '=' || c == '<' || c == '>') op = c;
                break;
            case 1: if (c == '&') op = c; break;
            case 2: if (c == '+' || c == '-') op = c; break;
            case 3: if (c == '*' || c == '/') op = c; break;
            case 4: if (c == '^') op = c; break;
            }
            if (!op)
                return true;
            m_i += len;
            if (++m_operators > kMaxOperators)
                return false;
            FormulaNode right;
            if (!expression(right, level + 1, depth))
                return false;
            out = binary(op, std::move(out), std::move(right));
        }
    }

    bool unary(FormulaNode& out, int depth)
    {
        skipSpaces();
        char c = peek();
        if (c == '+' || c == '-') {
            ++m_i;
            FormulaNode operand;
            if (!unary(operand, depth + 1))
                return false;
            out = FormulaNode{};
            out.type = FormulaNode::Type::Unary;
            out.op = c;
            out.args.push_back(std::move(operand));
            return true;
        }
        if (!primary(out, depth))
            return false;
        for (;;) {
            skipSpaces();
            if (peek() != '%')
                return true;
            ++m_i;
            FormulaNode n;
            n.type = FormulaNode::Type::Unary;
            n.op = '%';
            n.args.push_back(std::move(out));
            out = std::move(n);
        }
    }

    bool primary(FormulaNode& out, int depth)
    {
        skipSpaces();
        out = FormulaNode{};
        char c = peek();
        if (c == '(') {
            ++m_i;
            FormulaNode inner;
            if (!expression(inner, 0, depth + 1))
                return false;
            skipSpaces();
            if (peek() != ')')
                return false;
            ++m_i;
            out.type = FormulaNode::Type::Paren;
            out.args.push_back(std::move(inner));
            return true;
        }
        if (c == '"')
            return textLiteral(out);
        if (c == '#')
            return errorLiteral(out);
        if (!m_r1c1 && (std::isdigit(static_cast<unsigned char>(c)) || c == '$') && rowRangeA1(out))
            return true;
        if (std::isdigit(static_cast<unsigned char>(c)) || (c == '.' && std::isdigit(static_cast<unsigned char>(peek(1)))))
            return numberLiteral(out);
        return nameOrReference(out, depth);
    }

    bool textLiteral(FormulaNode& out)
    {
        ++m_i;
        std::string text;
        for (;;) {
            if (m_i >= m_s.size())
                return false;
            char c = m_s[m_i++];
            if (c == '"') {
                if (peek() == '"') {
                    text.push_back('"');
                    ++m_i;
                    continue;
                }
                break;
            }
            text.push_back(c);
        }
        out.type = FormulaNode::Type::Text;
        out.text = std::move(text);
        return true;
    }

    bool errorLiteral(FormulaNode& out)
    {
        for (size_t k = 0; k < std::size(kErrorTexts); ++k) {
            auto e = kErrorTexts[k];
            if (m_s.size() - m_i >= e.size() &&
                std::equal(e.begin(), e.end(), m_s.begin() + static_cast<long>(m_i),
                           [](char a, char b) { return a == upper(b); })) {
                m_i += e.size();
                out.type = FormulaNode::Type::Error;
                out.error = static_cast<ErrorCode>(k);
                return true;
            }
        }
        return false;
    }

    bool numberLiteral(FormulaNode& out)
    {
        size_t start = m_i;
        while (std::isdigit(static_cast<unsigned char>(peek())))
            ++m_i;
        if (peek() == '.') {
            ++m_i;
            while (std::isdigit(static_cast<unsigned char>(peek())))
                ++m_i;
        }
        if ((peek() == 'e' || peek() == 'E') &&
            (std::isdigit(static_cast<unsigned char>(peek(1))) ||
             ((peek(1) == '+' || peek(1) == '-') && std::isdigit(static_cast<unsigned char>(peek(2)))))) {
            m_i += 2;
            while (std::isdigit(static_cast<unsigned char>(peek())))
                ++m_i;
        }
        std::string_view t = m_s.substr(start, m_i - start);
        double v = 0;
        auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        if (ec != std::errc() || ptr != t.data() + t.size())
            return false;
        out.type = FormulaNode::Type::Number;
        out.number = v;
        return true;
    }

    // A sheet name before "!", quoted or plain; m_i is left after the "!".
    bool sheetPrefix(std::int32_t& sheet)
    {
        size_t save = m_i;
        std::string name;
        if (peek() == '\'') {
            ++m_i;
            for (;;) {
                if (m_i >= m_s.size()) {
                    m_i = save;
                    return false;
                }
                char c = m_s[m_i++];
                if (c == '\'') {
                    if (peek() == '\'') {
                        name.push_back('\'');
                        ++m_i;
                        continue;
                    }
                    if (peek() == '!')
                        break;
                    // A lone apostrophe inside the name: no sheet name ends in one, so take it as written.
                }
                name.push_back(c);
            }
        } else {
            while (isNameChar(peek()))
                name.push_back(m_s[m_i++]);
        }
        if (name.empty() || peek() != '!') {
            m_i = save;
            return false;
        }
        ++m_i;
        auto id = m_sheets.sheetId(name);
        sheet = id ? *id : kLostSheet;
        return true;
    }

    // R1C1 coordinate after its letter: digits (absolute), [n] (offset) or nothing (offset 0).
    bool r1c1Coord(RefCoord& coord)
    {
        if (peek() == '[') {
            size_t close = m_s.find(']', m_i);
            if (close == std::string_view::npos)
                return false;
            std::string_view t = m_s.substr(m_i + 1, close - m_i - 1);
            if (!t.empty() && t[0] == '+')
                t.remove_prefix(1);
            int v = 0;
            auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
            if (ec != std::errc() || ptr != t.data() + t.size() || t.empty())
                return false;
            coord = {v, false};
            m_i = close + 1;
            return true;
        }
        if (std::isdigit(static_cast<unsigned char>(peek()))) {
            long v = 0;
            while (std::isdigit(static_cast<unsigned char>(peek()))) {
                v = v * 10 + (m_s[m_i++] - '0');
                if (v > kMaxRows)
                    return false;
            }
            coord = {static_cast<int>(v), true};
            return v >= 1;
        }
        coord = {0, false};
        return true;
    }

    // One end of an R1C1 reference: "R2C3", "RC[-1]", "R2", "C3".
    std::optional<Reference> r1c1Part()
    {
        size_t save = m_i;
        Reference ref;
        bool hasRow = false, hasCol = false;
        if (upper(peek()) == 'R') {
            ++m_i;
            if (!r1c1Coord(ref.row1)) {
                m_i = save;
                return std::nullopt;
            }
            hasRow = true;
        }
        if (upper(peek()) == 'C') {
            ++m_i;
            if (!r1c1Coord(ref.col1)) {
                m_i = save;
                return std::nullopt;
            }
            hasCol = true;
        }
        if ((!hasRow && !hasCol) || isNameChar(peek()) || peek() == '(' ||
            (ref.col1.absolute && ref.col1.value > kMaxColumns)) {
            m_i = save;
            return std::nullopt;
        }
        ref.kind = hasRow && hasCol ? Reference::Kind::Cell : hasRow ? Reference::Kind::Rows : Reference::Kind::Columns;
        ref.row2 = ref.row1;
        ref.col2 = ref.col1;
        return ref;
    }

    // One end of an A1 reference: "B7", "$B$7", "B" (column), "7" (row).
    std::optional<Reference> a1Part(bool allowColumnOnly, bool allowRowOnly)
    {
        size_t save = m_i;
        Reference ref;
        bool colAbs = false, rowAbs = false;
        if (peek() == '$') {
            colAbs = true;
            ++m_i;
        }
        size_t letters = m_i;
        while (std::isalpha(static_cast<unsigned char>(peek())) && static_cast<unsigned char>(peek()) < 0x80)
            ++m_i;
        std::optional<int> col;
        if (m_i > letters) {
            col = parseColumnLetters(m_s.substr(letters, m_i - letters));
            if (!col) {
                m_i = save;
                return std::nullopt;
            }
        }
        if (peek() == '$') {
            rowAbs = true;
            ++m_i;
        }
        long row = 0;
        size_t digits = m_i;
        while (std::isdigit(static_cast<unsigned char>(peek()))) {
            row = row * 10 + (m_s[m_i++] - '0');
            if (row > kMaxRows)
                break;
        }
        bool hasRow = m_i > digits;
        if (isNameChar(peek()) || peek() == '(' || (hasRow && (row < 1 || row > kMaxRows)) || (!col && !hasRow) ||
            (col && !hasRow && !allowColumnOnly) || (!col && hasRow && !allowRowOnly) || (!col && colAbs && !hasRow) ||
            (col && !hasRow && rowAbs)) {
            m_i = save;
            return std::nullopt;
        }
        if (!col && colAbs) {  // "$7": the "$" belonged to the row
            rowAbs = true;
        }
        if (col)
            ref.col1 = colAbs ? RefCoord{*col, true} : RefCoord{*col - m_col, false};
        if (hasRow)
            ref.row1 = rowAbs ? RefCoord{static_cast<int>(row), true} : RefCoord{static_cast<int>(row) - m_row, false};
        ref.kind = col && hasRow ? Reference::Kind::Cell : col ? Reference::Kind::Columns : Reference::Kind::Rows;
        ref.row2 = ref.row1;
        ref.col2 = ref.col1;
        return ref;
    }

    // "3:5" at the start of an A1 primary.
    bool rowRangeA1(FormulaNode& out)
    {
        size_t save = m_i;
        auto first = a1Part(false, true);
        if (first && first->kind == Reference::Kind::Rows && peek() == ':') {
            ++m_i;
            auto second = a1Part(false, true);
            if (second && second->kind == Reference::Kind::Rows) {
                out.type = FormulaNode::Type::Ref;
                out.ref = *first;
                out.ref.area = true;
                out.ref.row2 = second->row1;
                return true;
            }
        }
        m_i = save;
        return false;
    }

    std::optional<Reference> referenceAt()
    {
        size_t save = m_i;
        std::int32_t sheet = kOwnSheet;
        bool prefixed = sheetPrefix(sheet);
        auto first = m_r1c1 ? r1c1Part() : a1Part(true, true);
        if (!first) {
            m_i = save;
            return std::nullopt;
        }
        first->sheet = sheet;
        size_t beforeColon = m_i;
        if (peek() == ':') {
            ++m_i;
            std::int32_t sheet2 = sheet;
            bool prefixed2 = sheetPrefix(sheet2);
            auto second = m_r1c1 ? r1c1Part() : a1Part(true, true);
            if (second && second->kind == first->kind && (!prefixed2 || !prefixed || sheet2 == sheet)) {
                first->area = true;
                first->row2 = second->row1;
                first->col2 = second->col1;
                return first;
            }
            m_i = beforeColon;
        }
        if (first->kind != Reference::Kind::Cell && !m_r1c1) {
            m_i = save;  // "B" alone is a name, not a column
            return std::nullopt;
        }
        return first;
    }

    // A name spelled like a reference that lies outside the sheet.
    bool looksLikeReference(std::string_view name) const
    {
        size_t i = 0;
        if (m_r1c1) {
            char c = upper(name[0]);
            return (c == 'R' || c == 'C') && name.size() > 1 && std::isdigit(static_cast<unsigned char>(name[1]));
        }
        while (i < name.size() && std::isalpha(static_cast<unsigned char>(name[i])))
            ++i;
        size_t digits = i;
        while (i < name.size() && std::isdigit(static_cast<unsigned char>(name[i])))
            ++i;
        return digits > 0 && digits < 4 && i > digits && i == name.size();
    }

    bool nameOrReference(FormulaNode& out, int depth)
    {
        if (auto ref = referenceAt()) {
            out.type = FormulaNode::Type::Ref;
            out.ref = *ref;
            return true;
        }
        size_t start = m_i;
        while (isNameChar(peek()))
            ++m_i;
        if (m_i == start)
            return false;
        std::string name(m_s.substr(start, m_i - start));
        skipSpaces();
        if (peek() == '(') {
            ++m_i;
            out.type = FormulaNode::Type::Function;
            // Upper case, but a prefix such as "_xlfn." stays as written.
            auto dot = name.rfind('.');
            std::transform(name.begin() + static_cast<long>(dot == std::string::npos ? 0 : dot + 1), name.end(),
                           name.begin() + static_cast<long>(dot == std::string::npos ? 0 : dot + 1), upper);
            out.text = std::move(name);
            skipSpaces();
            if (peek() == ')') {
                ++m_i;
                return true;
            }
            for (;;) {
                FormulaNode arg;
                skipSpaces();
                if (peek() == ',' || peek() == ';' || peek() == ')') {
                    arg.type = FormulaNode::Type::Text;  // omitted argument
                    arg.op = 'o';
                } else if (!expression(arg, 0, depth + 1)) {
                    return false;
                }
                out.args.push_back(std::move(arg));
                skipSpaces();
                if (peek() == ')') {
                    ++m_i;
                    return true;
                }
                if (peek() != ',' && peek() != ';')
                    return false;
                ++m_i;
            }
        }
        if (looksLikeReference(name))
            return false;
        std::string up = name;
        std::transform(up.begin(), up.end(), up.begin(), upper);
        if (up == "TRUE" || up == "FALSE") {
            out.type = FormulaNode::Type::Bool;
            out.boolean = up == "TRUE";
            return true;
        }
        out.type = FormulaNode::Type::Name;
        out.text = std::move(name);
        return true;
    }
};

std::string quotedSheet(const std::string& name)
{
    std::string out = "'";
    for (char c : name) {
        if (c == '\'')
            out.push_back('\'');
        out.push_back(c);
    }
    out += "'!";
    return out;
}

std::string numberText(double v)
{
    std::string s = shortestNumberText(v);
    for (auto& c : s)
        if (c == 'e')
            c = 'E';
    return s;
}

class Printer {
public:
    Printer(bool r1c1, int row, int col, const SheetNames& sheets) : m_r1c1(r1c1), m_row(row), m_col(col), m_sheets(sheets) {}

    void print(const FormulaNode& n, std::string& out) const
    {
        using T = FormulaNode::Type;
        switch (n.type) {
        case T::Number: out += numberText(n.number); break;
        case T::Text:
            if (n.op == 'o')
                break;
            out.push_back('"');
            for (char c : n.text) {
                if (c == '"')
                    out.push_back('"');
                out.push_back(c);
            }
            out.push_back('"');
            break;
        case T::Bool: out += n.boolean ? "TRUE" : "FALSE"; break;
        case T::Error: out += errorText(n.error); break;
        case T::Ref: reference(n.ref, out); break;
        case T::Name: out += n.text; break;
        case T::Unary:
            if (n.op == '%') {
                print(n.args[0], out);
                out.push_back('%');
            } else {
                out.push_back(n.op);
                print(n.args[0], out);
            }
            break;
        case T::Binary:
            print(n.args[0], out);
            out += n.op == 'l' ? "<=" : n.op == 'g' ? ">=" : n.op == 'n' ? "<>" : std::string(1, n.op);
            print(n.args[1], out);
            break;
        case T::Function:
            out += n.text;
            out.push_back('(');
            for (size_t k = 0; k < n.args.size(); ++k) {
                if (k)
                    out.push_back(',');
                print(n.args[k], out);
            }
            out.push_back(')');
            break;
        case T::Paren:
            out.push_back('(');
            print(n.args[0], out);
            out.push_back(')');
            break;
        }
    }

private:
    bool m_r1c1;
    int m_row, m_col;
    const SheetNames& m_sheets;

    static void r1c1Coord(char letter, const RefCoord& c, std::string& out)
    {
        out.push_back(letter);
        if (c.absolute)
            out += std::to_string(c.value);
        else if (c.value != 0) {
            out.push_back('[');
            out += std::to_string(c.value);
            out.push_back(']');
        }
    }

    void reference(const Reference& ref, std::string& out) const
    {
        if (ref.sheet == kLostSheet) {
            out += errorText(ErrorCode::Ref);
            return;
        }
        if (m_r1c1) {
            if (ref.sheet != kOwnSheet)
                out += quotedSheet(m_sheets.sheetName(ref.sheet));
            auto part = [&](const RefCoord& r, const RefCoord& c) {
                if (ref.kind != Reference::Kind::Columns)
                    r1c1Coord('R', r, out);
                if (ref.kind != Reference::Kind::Rows)
                    r1c1Coord('C', c, out);
            };
            part(ref.row1, ref.col1);
            if (ref.area) {
                out.push_back(':');
                part(ref.row2, ref.col2);
            }
            return;
        }
        ResolvedArea a = resolve(ref, kOwnSheet, m_row, m_col);
        if (!a.valid) {
            out += errorText(ErrorCode::Ref);
            return;
        }
        if (ref.sheet != kOwnSheet)
            out += quotedSheet(m_sheets.sheetName(ref.sheet));
        auto part = [&](const RefCoord& r, const RefCoord& c) {
            if (ref.kind != Reference::Kind::Rows) {
                if (c.absolute)
                    out.push_back('$');
                out += columnLetters(c.absolute ? c.value : m_col + c.value);
            }
            if (ref.kind != Reference::Kind::Columns) {
                if (r.absolute)
                    out.push_back('$');
                out += std::to_string(r.absolute ? r.value : m_row + r.value);
            }
        };
        part(ref.row1, ref.col1);
        if (ref.area || ref.kind != Reference::Kind::Cell) {
            out.push_back(':');
            part(ref.row2, ref.col2);
        }
    }
};

FormulaNode copyWithoutSheet(const FormulaNode& node, std::int32_t id, bool& changed)
{
    FormulaNode copy = node;
    if (copy.type == FormulaNode::Type::Ref && copy.ref.sheet == id) {
        copy.ref.sheet = kLostSheet;
        changed = true;
    }
    for (auto& a : copy.args)
        a = copyWithoutSheet(a, id, changed);
    return copy;
}

}  // namespace

std::string_view errorText(ErrorCode code)
{
    return kErrorTexts[static_cast<size_t>(code)];
}

std::optional<ErrorCode> parseErrorText(std::string_view text)
{
    for (size_t k = 0; k < std::size(kErrorTexts); ++k)
        if (kErrorTexts[k] == text)
            return static_cast<ErrorCode>(k);
    return std::nullopt;
}

ResolvedArea resolve(const Reference& ref, std::int32_t ownSheet, int row, int col)
{
    ResolvedArea a{ref.sheet == kOwnSheet ? ownSheet : ref.sheet, 1, 1, kMaxRows, kMaxColumns, ref.sheet != kLostSheet};
    auto at = [](const RefCoord& c, int base) { return c.absolute ? c.value : base + c.value; };
    if (ref.kind != Reference::Kind::Columns) {
        int r1 = at(ref.row1, row), r2 = at(ref.row2, row);
        a.row1 = std::min(r1, r2);
        a.row2 = std::max(r1, r2);
    }
    if (ref.kind != Reference::Kind::Rows) {
        int c1 = at(ref.col1, col), c2 = at(ref.col2, col);
        a.col1 = std::min(c1, c2);
        a.col2 = std::max(c1, c2);
    }
    if (!validRow(a.row1) || !validRow(a.row2) || !validColumn(a.col1) || !validColumn(a.col2))
        a.valid = false;
    return a;
}

FormulaTree parseFormulaR1C1(std::string_view text, const SheetNames& sheets)
{
    return Parser(text, true, 0, 0, sheets).parse();
}

FormulaTree parseFormulaA1(std::string_view text, int row, int col, const SheetNames& sheets)
{
    return Parser(text, false, row, col, sheets).parse();
}

std::string printFormulaR1C1(const FormulaNode& node, const SheetNames& sheets)
{
    std::string out = "=";
    Printer(true, 0, 0, sheets).print(node, out);
    return out;
}

std::string printFormulaA1(const FormulaNode& node, int row, int col, const SheetNames& sheets)
{
    std::string out;
    Printer(false, row, col, sheets).print(node, out);
    return out;
}

FormulaTree withoutSheet(const FormulaNode& node, std::int32_t id)
{
    bool changed = false;
    FormulaNode copy = copyWithoutSheet(node, id, changed);
    if (!changed)
        return nullptr;
    return std::make_shared<const FormulaNode>(std::move(copy));
}

}  // namespace zbir::workbook
