// The schema check of a JPK document (jpkforms::checkDocument), as the
// transport and "zbir sprawdz" run it on files from anywhere. The first byte
// of the input picks a hostile frame for the rest: as it is, inside a
// document type declaration of nested entities (billion laughs), with
// external entities naming a local file and an http address, as one value
// of 10 MB, or 10,000 levels deep. Beyond not crashing, hanging or growing
// without bound:
// - nothing is fetched: any attempt to open a network connection aborts;
// - an entity is never expanded: no document with a declaration is valid,
//   and no problem text quotes the local file;
// - a valid document is well-formed XML of a known form, and the form is
//   the one of its root namespace;
// - the same document checked twice gets the same verdict.

#include "fuzz_support.h"
#include "jpkforms/schema_check.h"

#include <cstdint>
#include <string>

using namespace zbir;

namespace {

const std::string kVatStart = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string framed(std::uint8_t frame, std::string_view body)
{
    const std::string rest(body);
    switch (frame % 6) {
    case 1:
        return kVatStart +
               "<!DOCTYPE JPK [<!ENTITY a \"" + rest.substr(0, 64) + "\">"
               "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
               "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
               "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
               "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">]>" +
               rest + "<x>&i;</x>";
    case 2:
        return kVatStart +
               "<!DOCTYPE JPK [<!ENTITY file SYSTEM \"file:///etc/passwd\">"
               "<!ENTITY web SYSTEM \"http://127.0.0.1:9/jpk.xml\"><!ENTITY % p SYSTEM \"http://127.0.0.1:9/p.dtd\"> %p;]>" +
               rest + "<x>&file;&web;</x>";
    case 3: {
        // The body's text as one value of 10 MB inside the body's first element.
        std::string value = rest.empty() ? std::string("x") : rest.substr(0, 16);
        for (char& c : value)
            if (c == '<' || c == '&')
                c = '_';
        std::string big;
        big.reserve(10u << 20);
        while (big.size() < (10u << 20))
            big += value;
        const std::size_t close = rest.find('>');
        return close == std::string::npos ? rest + big : rest.substr(0, close + 1) + big + rest.substr(close + 1);
    }
    case 4: {
        std::string deep = kVatStart;
        for (int i = 0; i < 10000; ++i)
            deep += "<a>";
        deep += rest;
        for (int i = 0; i < 10000; ++i)
            deep += "</a>";
        return deep;
    }
    default:
        return rest;
    }
}

bool declaresEntities(const std::string& doc)
{
    return doc.find("<!ENTITY") != std::string::npos || doc.find("<!DOCTYPE") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forbidNetwork();
    if (size == 0)
        return 0;
    const std::string doc = framed(data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));

    const jpkforms::CheckResult result = jpkforms::checkDocument(doc);
    // (Only when the document does not hold the text itself: libFuzzer
    // learns the strings a target compares with and writes them into inputs.)
    for (const jpkforms::SchemaProblem& p : result.problems)
        if (p.message.find("root:x:0:0") != std::string::npos && doc.find("root:x:0:0") == std::string::npos)
            fuzz::violated("a problem text quotes a local file an entity named", p.message);
    if (result.problems.size() > 1001)
        fuzz::violated("more problems kept than the check's limit", std::to_string(result.problems.size()));
    if (result.verdict == jpkforms::Verdict::Valid) {
        if (declaresEntities(doc))
            fuzz::violated("a document with a type declaration was found valid");
        if (!result.form || result.form != jpkforms::findForm(result.rootNamespace))
            fuzz::violated("a valid document without the form of its root namespace", result.rootNamespace);
        std::string error;
        if (!fuzz::wellFormedXml(doc, &error))
            fuzz::violated("a document found valid is not well-formed XML", error);
    }
    if (jpkforms::checkDocument(doc).verdict != result.verdict)
        fuzz::violated("the same document checked twice got two verdicts");
    return 0;
}
