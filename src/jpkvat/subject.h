#pragma once
// The subject record: the header's tax office code and the Podmiot1 section
// of the combined JPK_VAT file, read from Podmiot1.JPK in the working folder.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::operation { class Operation; }

namespace zbir::jpkvat {

enum class SubjectField : int {
    KodUrzedu,
    NIP,
    PelnaNazwa,
    REGON,
    KodKraju,
    Wojewodztwo,
    Powiat,
    Gmina,
    Ulica,
    NrDomu,
    NrLokalu,
    Miejscowosc,
    KodPocztowy,
    Poczta,
};

struct SubjectRecord {
    static constexpr int kFields = 14;
    static constexpr std::size_t kMaxLength = 200;

    // Program text (Windows-1250), at most kMaxLength characters each.
    std::array<std::string, kFields> fields;

    std::string& operator[](SubjectField f) { return fields[static_cast<std::size_t>(f)]; }
    const std::string& operator[](SubjectField f) const { return fields[static_cast<std::size_t>(f)]; }

    // File key of each field, in field order.
    static std::string_view key(SubjectField f);
    // Placeholder used when the file does not set the field.
    static std::string_view placeholder(SubjectField f);

    void setPlaceholders();
};

// Podmiot1.JPK as read: the record, which keys its lines set, and what the
// reader could not use.
struct SubjectFile {
    bool found = false;  // the file exists and could be read
    SubjectRecord record;  // placeholders where no line sets a field
    std::array<bool, SubjectRecord::kFields> set{};
    // "Podmiot1.JPK, wiersz 3: ..." for lines without ": " and unknown keys.
    std::vector<std::string> warnings;

    bool has(SubjectField f) const { return set[static_cast<std::size_t>(f)] && !record[f].empty(); }
};

// The name of the definitions file in the working folder.
inline constexpr std::string_view kSubjectFileName = "Podmiot1.JPK";

// Logs code 8 and reads Podmiot1.JPK in the working folder: placeholders,
// then its "Key: value" lines. A missing or unreadable file gives the
// placeholders without a message. The file is only read.
SubjectRecord ReadSubjectDefinitions(operation::Operation& app);

// The same from the file's bytes (no log entry): placeholders, then the lines.
// A line that is UTF-8 (valid, with characters beyond ASCII) is read as UTF-8,
// and a leading UTF-8 byte-order mark is skipped: editors save the file so.
SubjectRecord parseSubjectDefinitions(std::string_view text);

// The same with what was set and the warnings.
SubjectFile parseSubjectFile(std::string_view text);

// The same with what was set and the warnings; `found` is false when the
// file is missing or unreadable. Each call reads the file afresh: nothing of
// an earlier read is kept.
SubjectFile readSubjectFile(operation::Operation& app);

}  // namespace zbir::jpkvat
