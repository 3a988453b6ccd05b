#include "jpkvat/subject.h"

#include "encoding/charset.h"
#include "encoding/codepage.h"
#include "operation/operation.h"
#include "jpkvat/messages.h"

#include <fstream>

namespace zbir::jpkvat {

namespace {

struct FieldInfo {
    std::string_view key;
    std::string_view placeholder;
};

constexpr std::array<FieldInfo, SubjectRecord::kFields> kFieldInfo{{
    {"KodUrzedu", "1234"},
    {"NIP", "1234567890"},
    {"PelnaNazwa", "BRAK"},
    {"REGON", "123456789"},
    {"KodKraju", "PL"},
    {"Wojewodztwo", "\xA3\xF3" "dzkie"},
    {"Powiat", "BRAK"},
    {"Gmina", "BRAK"},
    {"Ulica", "BRAK"},
    {"NrDomu", "BRAK"},
    {"NrLokalu", "BRAK"},
    {"Miejscowosc", "BRAK"},
    {"KodPocztowy", "12-345"},
    {"Poczta", "BRAK"},
}};

// Characters of a line that are looked at.
constexpr std::size_t kLineLimit = 999;
// The separator's position must fit in one byte (1-based).
constexpr std::size_t kLastSeparatorPosition = 255;
constexpr char kEndOfFile = 26;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A line saved in UTF-8 rather than the program's code page: valid UTF-8
// with characters beyond ASCII, which Windows-1250 Polish text never is.
std::string utf8Line(std::string_view line)
{
    if (encoding::asciiPrefixLength(line) == line.size() || !encoding::isValidUtf8(line))
        return {};
    return encoding::fromUtf8Text(line);
}

void applyLine(SubjectFile& file, std::string_view line, long long number)
{
    const std::string converted = utf8Line(line);
    if (!converted.empty())
        line = converted;
    line = line.substr(0, kLineLimit);
    const auto where = [&] {
        return msg::subjectLine(std::string(kSubjectFileName), number);
    };
    const std::size_t sep = line.find(": ");
    if (sep == std::string_view::npos || sep + 1 > kLastSeparatorPosition) {
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            file.warnings.push_back(where() + msg::kNoSeparator);
        return;
    }
    const std::string_view key = line.substr(0, sep);
    for (int i = 0; i < SubjectRecord::kFields; ++i) {
        const auto f = static_cast<std::size_t>(i);
        if (kFieldInfo[f].key == key) {
            file.record.fields[f] = std::string(line.substr(sep + 2, SubjectRecord::kMaxLength));
            file.set[f] = true;
            return;
        }
    }
    file.warnings.push_back(where() + msg::unknownKey(std::string(key)));
}

}  // namespace

std::string_view SubjectRecord::key(SubjectField f)
{
    return kFieldInfo[static_cast<std::size_t>(f)].key;
}

std::string_view SubjectRecord::placeholder(SubjectField f)
{
    return kFieldInfo[static_cast<std::size_t>(f)].placeholder;
}

void SubjectRecord::setPlaceholders()
{
    for (std::size_t i = 0; i < fields.size(); ++i)
        fields[i] = std::string(kFieldInfo[i].placeholder);
}

SubjectRecord parseSubjectDefinitions(std::string_view text)
{
    return parseSubjectFile(text).record;
}

SubjectFile parseSubjectFile(std::string_view text)
{
    SubjectFile file;
    file.found = true;
    file.record.setPlaceholders();
    if (const std::size_t eof = text.find(kEndOfFile); eof != std::string_view::npos)
        text = text.substr(0, eof);
    if (text.starts_with(kUtf8Bom))
        text.remove_prefix(kUtf8Bom.size());
    // Lines end at CR LF, LF or a lone CR.
    std::size_t pos = 0;
    long long number = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            applyLine(file, text.substr(pos), ++number);
            break;
        }
        applyLine(file, text.substr(pos, end - pos), ++number);
        pos = end + 1;
        if (text[end] == '\r' && pos < text.size() && text[pos] == '\n')
            ++pos;
    }
    return file;
}

SubjectRecord ReadSubjectDefinitions(operation::Operation& app)
{
    return readSubjectFile(app).record;
}

SubjectFile readSubjectFile(operation::Operation& app)
{
    app.logEvent(operation::LogSubjectFile);
    SubjectFile file;
    file.record.setPlaceholders();
    std::ifstream in(app.resolve(std::string(kSubjectFileName)), std::ios::binary);
    if (!in)
        return file;
    // Read in large blocks: a character at a time took seconds for a file
    // of tens of megabytes.
    std::string text;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        text.append(block, static_cast<std::size_t>(in.gcount()));
    if (in.bad())
        return file;  // unreadable: the placeholders stay
    return parseSubjectFile(text);
}

}  // namespace zbir::jpkvat
