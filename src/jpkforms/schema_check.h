#pragma once
// Checks a JPK file against the ministry's schema of its root namespace, with
// libxml2, offline: no network, no DTD loading, no entity expansion.

#include "jpkforms/forms.h"

#include <filesystem>
#include <stop_token>
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
    Stopped,      // a stop was requested before the check ended: no verdict
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

// A check may run on a thread of its own: checks of documents are made one
// at a time, and `stop` ends one early with Verdict::Stopped.
CheckResult checkDocument(std::string_view document, std::stop_token stop = {});
CheckResult checkFile(const std::filesystem::path& file, std::stop_token stop = {});

}  // namespace zbir::jpkforms
