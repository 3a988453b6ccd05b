#include "jpkvat/messages.h"

#include "base/formatters.h"

namespace zbir::jpkvat::msg {

std::string errorLine(const std::string& text)
{
    return "b\xB3\xB9" "d: " + text;
}

std::string warningLine(const std::string& text)
{
    return "uwaga: " + text;
}

std::string seeLog(const std::string& logName)
{
    return ", zob. " + logName;
}

std::string notSavedErrors(long long errors, const std::string& seeLog)
{
    return "Plik niezapisany, b\xB3\xEA" "d\xF3w: " + base::integerText(errors) + seeLog;
}

std::string doneWithWarnings(long long warnings, const std::string& seeLog)
{
    return std::string(kDoneWithWarningsPrefix) + "(" + base::integerText(warnings) + ")" + seeLog;
}

std::string notAmount(const std::string& quoted)
{
    return quoted + " to nie kwota";
}

std::string notDate(const std::string& quoted)
{
    return quoted + " to nie data rrrr-mm-dd";
}

std::string outsidePeriod(const std::string& value, const std::string& from, const std::string& to)
{
    return value + " poza okresem " + from + " .. " + to;
}

std::string badNipCheckDigit(const std::string& quoted)
{
    return quoted + ": z\xB3" "a cyfra kontrolna NIP";
}

std::string emptyRowSkipped(const std::string& cell)
{
    return cell + ": pusty wiersz pomini\xEAty";
}

std::string notElementOf(const std::string& cell, const std::string& name, const std::string& record,
                         const std::string& form)
{
    return cell + ": " + name + " to nie element " + record + " formularza " + form;
}

std::string outsideRecord(const std::string& cell, const std::string& name)
{
    return cell + ": " + name + " poza wierszem ewidencji";
}

std::string emptyElement(const std::string& cell, const std::string& name)
{
    return cell + ": " + name + " puste";
}

std::string periodNotDate(const std::string& cell, const std::string& key, const std::string& value)
{
    return cell + ": " + key + " \"" + value + "\" to nie data rrrr-mm-dd";
}

std::string noTaxpayerNip(const std::string& sheet)
{
    return sheet + ": brak NIP podatnika w Podmiot1";
}

std::string badTaxpayerNip(const std::string& cell, const std::string& nip)
{
    return cell + ": NIP podatnika \"" + nip + "\" nieprawid\xB3owy";
}

std::string noPeriod(const std::string& sheet)
{
    return sheet + ": brak okresu w nag\xB3\xF3wku";
}

std::string columnName(const std::string& letters)
{
    return "kolumna " + letters;
}

std::string invalidHeading(const std::string& sheet, const std::string& column, const std::string& name)
{
    return "arkusz " + sheet + ", " + column + ": nag\xB3\xF3wek \"" + name +
           "\" to nie nazwa elementu, warto\x9C" "ci pomini\xEAte";
}

std::string skippingColumn(const std::string& letters, const std::string& name)
{
    return "Pomijam kolumn\xEA " + letters + ", z\xB3y nag\xB3\xF3wek: " + name;
}

std::string unknownForm(const std::string& ns)
{
    return "nieznany formularz " + ns;
}

std::string noCombinedFile(const std::string& sheet, const std::string& form)
{
    return "Arkusz " + sheet + ": " + form + " bez pliku zbiorczego";
}

std::string otherForm(const std::string& sheet, const std::string& form, const std::string& firstSheet,
                      const std::string& firstForm)
{
    return "Arkusz " + sheet + ": " + form + ", a arkusz " + firstSheet + ": " + firstForm;
}

std::string otherPeriod(const std::string& sheet, const std::string& period, const std::string& firstSheet,
                        const std::string& firstPeriod)
{
    return "Arkusz " + sheet + ": okres " + period + ", a w arkuszu " + firstSheet + ": " + firstPeriod;
}

std::string otherNip(const std::string& sheet, const std::string& nip, const std::string& firstSheet,
                     const std::string& firstNip)
{
    return "Arkusz " + sheet + ": NIP " + nip + ", a w arkuszu " + firstSheet + ": " + firstNip;
}

std::string otherDeclaration(const std::string& sheet, const std::string& declaredSheet)
{
    return "Arkusz " + sheet + ": deklaracja inna ni\xBF w arkuszu " + declaredSheet + "; zostaw j\xB9 w jednym pliku";
}

std::string subjectLine(const std::string& file, long long number)
{
    return file + ", wiersz " + std::to_string(number) + ": ";
}

std::string unknownKey(const std::string& key)
{
    return "nieznany klucz \"" + key + "\", pomini\xEAty";
}

std::string noSubjectFile(const std::string& file)
{
    return "Brak pliku " + file + " (NIP, KodUrzedu, PelnaNazwa, Miejscowosc)";
}

std::string subjectMissing(const std::string& file, const std::string& keys)
{
    return file + ": brak " + keys;
}

std::string badSubjectNip(const std::string& file, const std::string& nip)
{
    return file + ": NIP \"" + nip + "\" nieprawid\xB3owy";
}

std::string exampleValue(const std::string& file, const std::string& key, const std::string& value)
{
    return file + ": " + key + " " + value + " to warto\x9C\xE6 przyk\xB3" "adowa";
}

std::string addressUnset(const std::string& file, const std::string& keys)
{
    return file + ": brak " + keys + " - pomini\xEAte w adresie";
}

std::string subjectNipDiffersFromSheet(const std::string& file, const std::string& nip, const std::string& sheet,
                                       const std::string& sheetNip)
{
    return file + ": NIP " + nip + ", a w arkuszu " + sheet + ": " + sheetNip;
}

std::string subjectNipDiffersFromGroup(const std::string& file, const std::string& nip, const std::string& groupNip)
{
    return file + ": NIP " + nip + ", a w plikach grupy: " + groupNip;
}

std::string startLog(const std::string& group)
{
    return "tworzenia pliku zbiorczego: " + group + ".xml";
}

std::string notGroupWorkbook(const std::string& group)
{
    return "Bie\xBF\xB9" "cy zeszyt to nie " + group;
}

std::string seeingSummary(const std::string& book)
{
    return "Widz\xEA arkusz -SUMA- w zeszycie " + book;
}

std::string readingSheet(const std::string& sheet)
{
    return "Czytam arkusz " + sheet;
}

std::string creatingFile(const std::string& form)
{
    return "Tworzenie pliku " + form;
}

std::string keptAs(const std::string& path)
{
    return "zostawiony jako " + path;
}

std::string notKept(const std::string& why)
{
    return "nie zostawiony (" + why + ")";
}

std::string noSchemasIn(const std::string& folder, const std::string& kept)
{
    return "nie ma schemat\xF3w w " + folder + ": plik nie sprawdzony, " + kept;
}

std::string invalidAgainst(const std::string& form, const std::string& kept)
{
    return "plik niezgodny ze schematem " + form + ", " + kept;
}

std::string schemaProblem(long long line, const std::string& message)
{
    return "schemat: wiersz " + std::to_string(line) + ": " + message;
}

std::string busy(const std::string& file)
{
    return "Zaj\xEAty " + file;
}

std::string outputDeleted(const std::string& file)
{
    return "Plik wyj\x9C" "ciowy " + file + " usuni\xEAty";
}

std::string writeError(const std::string& file)
{
    return "B\xB3\xB9" "d zapisu " + file;
}

std::string doneWith(const std::string& file)
{
    return kDonePrefix + file;
}

}  // namespace zbir::jpkvat::msg
