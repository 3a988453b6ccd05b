#pragma once
// Offline checks of written XML files with xmllint.

#include "jpkforms/schema_check.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zbir::test {

inline testing::AssertionResult xmllint(const std::string& prefix, const std::filesystem::path& file)
{
    std::string out;
    const int rc = runCommand(prefix + " '" + file.string() + "'", &out);
    if (rc == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << prefix << ": " << out;
}

// Whether `file` is well-formed XML.
inline testing::AssertionResult wellFormed(const std::filesystem::path& file)
{
    return xmllint("xmllint --nonet --noout", file);
}

// Whether `file` is valid against the ministry's JPK_VAT(2) schema in
// `shared`/schemas, resolved offline through its catalog.
inline testing::AssertionResult validJpkVat2(const std::filesystem::path& shared,
                                             const std::filesystem::path& file)
{
    const auto schemas = shared / "schemas";
    return xmllint("XML_CATALOG_FILES='" + (schemas / "catalog.xml").string() +
                       "' xmllint --nonet --noout --schema '" +
                       (schemas / "Schemat_JPK_VAT(2)_v1-0.xsd").string() + "'",
                   file);
}

// Whether `file` is valid against the schema of its root namespace, from
// the program's own schemas (schemas/ in the source tree).
inline testing::AssertionResult validBySchema(const std::filesystem::path& file)
{
    const jpkforms::CheckResult r = jpkforms::checkFile(file);
    if (r.verdict == jpkforms::Verdict::Valid)
        return testing::AssertionSuccess();
    auto failure = testing::AssertionFailure() << file << ": verdict " << static_cast<int>(r.verdict);
    for (const jpkforms::SchemaProblem& p : r.problems)
        failure << "\n  line " << p.line << ": " << p.message;
    return failure;
}

}  // namespace zbir::test
