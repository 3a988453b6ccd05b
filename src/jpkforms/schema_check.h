#pragma once
// Checks a JPK file against the ministry's schema of its root namespace, with
// libxml2, offline: no network, no DTD loading, no entity expansion.

#include "jpkforms/forms.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::jpkforms {

struct SchemaProblem {
    int line = 0;          // 0 when the problem has no line
    std::string message;   // UTF-8, the schema's or the parser's own words
};

enum class Verdict {
    Valid,
    Invalid,      // not well-formed, or the schema rejects it: see problems
    UnknownForm,  // the root namespace is none of forms(): never guessed
    NoSchema,     // the form is known but its schema files are missing
};

struct CheckResult {
    Verdict verdict = Verdict::Invalid;
    const Form* form = nullptr;   // set for Valid and Invalid when the namespace is known
    std::string rootNamespace;    // as the document has it
    std::vector<SchemaProblem> problems;
};

// The folder holding the schemas: $ZBIR_SCHEMA_DIR, else the source tree's
// schemas/ (a build tree), else the installed share/zbir/schemas.
std::filesystem::path schemaFolder();

// Namespace of the root element, read from the start of the document only;
// empty when there is none.
std::string rootNamespace(std::string_view document);
std::string rootNamespaceOfFile(const std::filesystem::path& file);

CheckResult checkDocument(std::string_view document);
CheckResult checkFile(const std::filesystem::path& file);

}  // namespace zbir::jpkforms
