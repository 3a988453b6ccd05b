#pragma once
// The JPK forms the program knows, as data: every schema variant keyed by its
// root namespace, with its schema file and, for the VAT records, what the
// transport lays out and the combined-file builder writes. Needs nothing.

#include <span>
#include <string_view>

namespace zbir::jpkforms {

// How a combined file of the form is built.
enum class Family {
    Other,  // no combined file (JPK_KR, JPK_FA, ...): known for the schema check only
    Vat2,   // JPK_VAT(2)
    Vat3,   // JPK_VAT(3)
    V7,     // JPK_V7M / JPK_V7K: records plus an optional declaration
};

// Where the header gives the period.
enum class Period {
    None,
    Dates,  // DataOd, DataDo
    Month,  // Rok, Miesiac
};

// One element of a record, in the order the schema wants it.
struct RecordElement {
    std::string_view name;
    int column;             // worksheet column of the transport's layout
    char kind;              // 'P' right, 'C' centred, 'K' amount, 0 text
    std::string_view label; // short meaning for -SUMA- (amounts), may be empty
};

// A term of a control sum: sign x the element's value.
struct Term {
    std::string_view name;
    int sign;
};

// A record list with its control block.
struct Section {
    std::string_view record;        // "SprzedazWiersz"
    std::string_view control;       // "SprzedazCtrl"
    std::string_view numberElement; // "LpSprzedazy": renumbered from 1
    std::string_view countElement;  // "LiczbaWierszySprzedazy"
    std::string_view sumElement;    // "PodatekNalezny"
    std::span<const RecordElement> elements;  // schema order
    std::span<const Term> terms;    // the control sum
    // Records whose `excludeElement` holds `excludeValue` stay out of the sum
    // (V7: invoices marked FP); empty when the schema has no such rule.
    std::string_view excludeElement;
    std::string_view excludeValue;
};

struct Form {
    std::string_view ns;            // root namespace, the key
    std::string_view name;          // "JPK_V7M(3)"
    std::string_view kodFormularza; // "JPK_VAT"
    std::string_view kodSystemowy;  // "JPK_V7M (3)"
    std::string_view wersjaSchemy;  // "1-0E"
    std::string_view wariant;       // WariantFormularza
    std::string_view schema;        // schema file, relative to the schema folder
    std::string_view etdNamespace;  // namespace of the shared type definitions ("etd")
    Family family;
    Period period;
    Section sales;                  // empty for Family::Other
    Section purchases;
};

// Every form, in table order.
std::span<const Form> forms();

// The form whose root namespace is `ns` exactly, or nullptr: an unknown
// namespace is never guessed.
const Form* findForm(std::string_view ns);

// The form named `name` ("JPK_V7M(3)"), or nullptr.
const Form* findFormByName(std::string_view name);

// The element of `section` named `name`, or nullptr.
const RecordElement* findElement(const Section& section, std::string_view name);

}  // namespace zbir::jpkforms
