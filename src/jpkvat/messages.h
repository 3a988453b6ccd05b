#pragma once
// The combined file's messages to the user (status line, run log, the list
// of problems), program text (Windows-1250): fixed texts as constants, texts
// with names, places or numbers in them as functions.

#include <string>

namespace zbir::jpkvat::msg {

inline constexpr char kNone[] = "brak";  // an empty NIP or period
inline constexpr char kNoSchemas[] = "Brak schemat\xF3w: plik niesprawdzony, zob. ZBIR.LOG";
inline constexpr char kNotSchemaValid[] = "Plik niezgodny ze schematem, zob. ZBIR.LOG";
inline constexpr char kNoValidSheets[] = "Nie ma prawid\xB3owych dalszych arkuszy";
inline constexpr char kNoExcel[] = "Nie ma Excela";
inline constexpr char kExcelBusy[] = "Excel zaj\xEAty";
inline constexpr char kNotSummarySheet[] = "Aktualny arkusz to nie -SUMA-";
// How a build that wrote its file ends (the command line tells these red
// status texts from failures by them).
inline constexpr char kDonePrefix[] = "Zako\xF1" "czono prac\xEA nad ";
inline constexpr char kDoneWithWarningsPrefix[] = "Zako\xF1" "czono prac\xEA z uwagami ";
inline constexpr char kNoSeparator[] = "bez \": \", pomini\xEAty";  // a line of Podmiot1.JPK without ": "

// The list of problems and its summary.
std::string errorLine(const std::string& text);
std::string warningLine(const std::string& text);
std::string seeLog(const std::string& logName);
std::string notSavedErrors(long long errors, const std::string& seeLog);
std::string doneWithWarnings(long long warnings, const std::string& seeLog);

// Values of the file sheets, after "<cell>: <element> ".
std::string notAmount(const std::string& quoted);
std::string notDate(const std::string& quoted);
std::string outsidePeriod(const std::string& value, const std::string& from, const std::string& to);
std::string badNipCheckDigit(const std::string& quoted);

// Rows and elements of the file sheets.
std::string emptyRowSkipped(const std::string& cell);
std::string notElementOf(const std::string& cell, const std::string& name, const std::string& record,
                         const std::string& form);
std::string outsideRecord(const std::string& cell, const std::string& name);
std::string emptyElement(const std::string& cell, const std::string& name);
std::string periodNotDate(const std::string& cell, const std::string& key, const std::string& value);
std::string noTaxpayerNip(const std::string& sheet);
std::string badTaxpayerNip(const std::string& cell, const std::string& nip);
std::string noPeriod(const std::string& sheet);
std::string columnName(const std::string& letters);
std::string invalidHeading(const std::string& sheet, const std::string& column, const std::string& name);
std::string skippingColumn(const std::string& letters, const std::string& name);

// The group's sheets against each other.
std::string unknownForm(const std::string& ns);
std::string noCombinedFile(const std::string& sheet, const std::string& form);
std::string otherForm(const std::string& sheet, const std::string& form, const std::string& firstSheet,
                      const std::string& firstForm);
std::string otherPeriod(const std::string& sheet, const std::string& period, const std::string& firstSheet,
                        const std::string& firstPeriod);
std::string otherNip(const std::string& sheet, const std::string& nip, const std::string& firstSheet,
                     const std::string& firstNip);
std::string otherDeclaration(const std::string& sheet, const std::string& declaredSheet);

// Podmiot1.JPK (`file` is its name).
std::string subjectLine(const std::string& file, long long number);
std::string unknownKey(const std::string& key);
std::string noSubjectFile(const std::string& file);
std::string subjectMissing(const std::string& file, const std::string& keys);
std::string badSubjectNip(const std::string& file, const std::string& nip);
std::string exampleValue(const std::string& file, const std::string& key, const std::string& value);
std::string addressUnset(const std::string& file, const std::string& keys);
std::string subjectNipDiffersFromSheet(const std::string& file, const std::string& nip, const std::string& sheet,
                                       const std::string& sheetNip);
std::string subjectNipDiffersFromGroup(const std::string& file, const std::string& nip, const std::string& groupNip);

// The build and its output file.
std::string startLog(const std::string& group);
std::string notGroupWorkbook(const std::string& group);
std::string seeingSummary(const std::string& book);
std::string readingSheet(const std::string& sheet);
std::string creatingFile(const std::string& form);
std::string keptAs(const std::string& path);
std::string notKept(const std::string& why);
std::string noSchemasIn(const std::string& folder, const std::string& kept);
std::string invalidAgainst(const std::string& form, const std::string& kept);
std::string schemaProblem(long long line, const std::string& message);
std::string busy(const std::string& file);
std::string outputDeleted(const std::string& file);
std::string writeError(const std::string& file);
std::string doneWith(const std::string& file);

}  // namespace zbir::jpkvat::msg
