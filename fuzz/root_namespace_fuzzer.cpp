// Telling a JPK file's form by the namespace of its root element
// (jpkforms::rootNamespace), which picks the layouts, the schema and the
// combined file's variant. Beyond not crashing:
// - a well-formed document followed by anything (a file with junk after
//   its end) keeps its namespace;
// - a namespace found is one the document spells out: it occurs in it
//   (checked where the parser reads the bytes as they are);
// - the lookup of the form by that namespace is exact: a form found has
//   that namespace, and the namespace with anything appended finds no form
//   unless the table holds that too.

#include "fuzz_support.h"
#include "jpkforms/forms.h"
#include "jpkforms/schema_check.h"

#include <cstdint>
#include <string>

using namespace zbir;

namespace {

// Printable ASCII without references or an encoding declaration: the parser
// reads such a document's bytes as they are.
bool plainAscii(std::string_view doc)
{
    for (char c : doc)
        if (c < 0x20 || c > 0x7E || c == '&')
            return false;
    return doc.find("encoding") == std::string_view::npos;
}

// A document in an encoding whose ASCII bytes are ASCII (UTF-8, the code
// pages), so that ASCII bytes appended to it read as such.
bool byteCompatible(std::string_view doc)
{
    return doc.find('\0') == std::string_view::npos && doc.find("encoding") == std::string_view::npos &&
           doc.rfind("\xFE\xFF", 0) != 0 && doc.rfind("\xFF\xFE", 0) != 0 && doc.rfind("\x4C\x6F\xA7\x94", 0) != 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::forbidNetwork();
    static std::string tail;
    const std::string_view doc(reinterpret_cast<const char*>(data), size);
    const std::string ns = jpkforms::rootNamespace(doc);

    if (!ns.empty() && plainAscii(doc) && doc.find(ns) == std::string_view::npos)
        fuzz::violated("a root namespace the document does not spell out", ns);
    if (size < (1u << 16) && byteCompatible(doc) && fuzz::wellFormedXml(doc)) {
        // The same document followed by anything, beyond its first 64 KB.
        tail.assign(doc);
        tail.resize(1u << 16, ' ');
        tail += "<x xmlns=\"urn:other\">";
        if (jpkforms::rootNamespace(tail) != ns)
            fuzz::violated("bytes after the document changed its root namespace", ns);
    }
    if (const jpkforms::Form* form = jpkforms::findForm(ns)) {
        if (form->ns != ns)
            fuzz::violated("the form found has another namespace", ns);
        const std::string longer = ns + "x";
        if (const jpkforms::Form* other = jpkforms::findForm(longer); other && other->ns != longer)
            fuzz::violated("a namespace with more at its end found a form by a prefix", longer);
    }
    return 0;
}
