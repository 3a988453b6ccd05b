#pragma once
// The subject record: the header's tax office code and the Podmiot1 section
// of the combined JPK_VAT file, read from Podmiot1.JPK in the working folder.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

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

// The program-wide subject record.
SubjectRecord& subjectRecord();

// The name of the definitions file in the working folder.
inline constexpr std::string_view kSubjectFileName = "Podmiot1.JPK";

// Logs code 8, resets the subject record to its placeholders, then applies
// the "Key: value" lines of Podmiot1.JPK in the working folder. A missing or
// unreadable file leaves the placeholders without a message. The file is
// only read.
void ReadSubjectDefinitions(operation::Operation& app);

// The same from the file's bytes (no log entry): placeholders, then the lines.
// A line that is UTF-8 (valid, with characters beyond ASCII) is read as UTF-8,
// and a leading UTF-8 byte-order mark is skipped: editors save the file so.
SubjectRecord parseSubjectDefinitions(std::string_view text);

}  // namespace zbir::jpkvat
