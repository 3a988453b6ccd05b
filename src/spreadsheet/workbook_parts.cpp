#include "spreadsheet/workbook_parts.h"

#include "spreadsheet/automation.h"
#include "spreadsheet/text_codec.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <orcus/zip_archive.hpp>
#include <orcus/zip_archive_stream.hpp>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <vector>

namespace zbir::workbook {

namespace {

const char* const kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
const char* const kRelsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const kSharedStringsType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings";
const char* const kSharedStringsContent =
    "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml";

using Parts = std::map<std::string, std::string>;  // name -> bytes, in name order

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

const xmlChar* x(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

bool named(const xmlNode* n, const char* name)
{
    return n->type == XML_ELEMENT_NODE && xmlStrcmp(n->name, x(name)) == 0;
}

std::string attribute(xmlNode* n, const char* name)
{
    xmlChar* v = xmlGetProp(n, x(name));
    std::string s = v ? reinterpret_cast<const char*>(v) : "";
    xmlFree(v);
    return s;
}

AutomationError unreadable(const std::string& part, const std::string& why)
{
    return AutomationError("cz\xEA\x9C\xE6 " + text::fromUtf8(part) + ": " + why);
}

// Parsed without network, DTD loading or entity expansion.
Doc parse(const std::string& part, const std::string& bytes)
{
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw unreadable(part, "za du\xBF" "a");
    Doc doc(xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                          XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE));
    if (!doc || !xmlDocGetRootElement(doc.get()))
        throw unreadable(part, "to nie jest poprawny XML");
    return doc;
}

std::string serialize(xmlDoc* doc)
{
    xmlChar* buf = nullptr;
    int size = 0;
    xmlDocDumpMemoryEnc(doc, &buf, &size, "UTF-8");
    std::string s(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(size));
    xmlFree(buf);
    return s;
}

// "xl/_rels/workbook.xml.rels" -> "xl/"; "_rels/.rels" -> "".
std::string sourceFolder(const std::string& relsName)
{
    const auto at = relsName.rfind("_rels/");
    return at == std::string::npos ? std::string() : relsName.substr(0, at);
}

// A part name from a folder and a relative target, ".." resolved.
std::string joinPart(const std::string& folder, const std::string& target)
{
    std::vector<std::string> parts;
    std::string whole = target.starts_with('/') ? target.substr(1) : folder + target;
    std::size_t from = 0;
    while (from <= whole.size()) {
        const auto slash = std::min(whole.find('/', from), whole.size());
        const std::string piece = whole.substr(from, slash - from);
        if (piece == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!piece.empty() && piece != ".") {
            parts.push_back(piece);
        }
        from = slash + 1;
    }
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "/") + p;
    return out;
}

// The target `part` (from the package root) as seen from `folder`.
std::string relativeTarget(const std::string& folder, const std::string& part)
{
    if (part.starts_with(folder))
        return part.substr(folder.size());
    std::string up;
    for (char c : folder)
        if (c == '/')
            up += "../";
    return up + part;
}

// Rewrites the root-based targets of one relationships part; true when any.
bool relativeTargets(const std::string& name, std::string& bytes)
{
    if (bytes.find("Target=\"/") == std::string::npos && bytes.find("Target='/") == std::string::npos)
        return false;
    Doc doc = parse(name, bytes);
    const std::string folder = sourceFolder(name);
    bool changed = false;
    for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next) {
        if (!named(n, "Relationship") || attribute(n, "TargetMode") == "External")
            continue;
        const std::string target = attribute(n, "Target");
        if (!target.starts_with('/'))
            continue;
        xmlSetProp(n, x("Target"), x(relativeTarget(folder, joinPart("", target)).c_str()));
        changed = true;
    }
    if (changed)
        bytes = serialize(doc.get());
    return changed;
}

// The target part of the first relationship of `type` (by suffix) in the
// relationships part of `source`; empty when there is none.
std::string relatedPart(const Parts& parts, const std::string& source, const std::string& typeSuffix)
{
    const auto slash = source.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : source.substr(0, slash + 1);
    const std::string relsName = folder + "_rels/" + source.substr(folder.size()) + ".rels";
    const auto it = parts.find(relsName);
    if (it == parts.end())
        return {};
    Doc doc = parse(relsName, it->second);
    for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next)
        if (named(n, "Relationship") && attribute(n, "Type").ends_with(typeSuffix))
            return joinPart(folder, attribute(n, "Target"));
    return {};
}

// The text of an inline string: its plain text or its runs, without
// phonetic hints.
std::string inlineText(xmlNode* is)
{
    std::string text;
    for (xmlNode* n = is->children; n; n = n->next) {
        xmlNode* t = nullptr;
        if (named(n, "t"))
            t = n;
        else if (named(n, "r"))
            for (xmlNode* m = n->children; m && !t; m = m->next)
                if (named(m, "t"))
                    t = m;
        if (t) {
            xmlChar* c = xmlNodeGetContent(t);
            text += c ? reinterpret_cast<const char*>(c) : "";
            xmlFree(c);
        }
    }
    return text;
}

// Moves the inline strings of one sheet to `strings`; true when any.
bool sharedInlineStrings(const std::string& name, std::string& bytes, std::vector<std::string>& strings,
                         std::size_t firstIndex)
{
    if (bytes.find("inlineStr") == std::string::npos)
        return false;
    Doc doc = parse(name, bytes);
    bool changed = false;
    std::vector<xmlNode*> pending{xmlDocGetRootElement(doc.get())};
    while (!pending.empty()) {
        xmlNode* n = pending.back();
        pending.pop_back();
        if (!named(n, "c") || attribute(n, "t") != "inlineStr") {
            for (xmlNode* c = n->children; c; c = c->next)
                if (c->type == XML_ELEMENT_NODE)
                    pending.push_back(c);
            continue;
        }
        std::string text;
        for (xmlNode* c = n->children; c;) {
            xmlNode* next = c->next;
            if (named(c, "is") || named(c, "v")) {
                if (named(c, "is"))
                    text = inlineText(c);
                xmlUnlinkNode(c);
                xmlFreeNode(c);
            }
            c = next;
        }
        xmlSetProp(n, x("t"), x("s"));
        const std::string index = std::to_string(firstIndex + strings.size());
        xmlNewChild(n, n->ns, x("v"), x(index.c_str()));
        strings.push_back(std::move(text));
        changed = true;
    }
    if (changed)
        bytes = serialize(doc.get());
    return changed;
}

std::size_t sharedStringCount(const std::string& name, const std::string& bytes)
{
    Doc doc = parse(name, bytes);
    std::size_t count = 0;
    for (xmlNode* n = xmlDocGetRootElement(doc.get())->children; n; n = n->next)
        count += named(n, "si") ? 1 : 0;
    return count;
}

std::string withStrings(const std::string& name, const std::string* bytes, const std::vector<std::string>& strings)
{
    Doc doc = bytes ? parse(name, *bytes) : Doc(xmlNewDoc(x("1.0")));
    xmlNode* sst = xmlDocGetRootElement(doc.get());
    if (!sst) {
        sst = xmlNewNode(nullptr, x("sst"));
        xmlDocSetRootElement(doc.get(), sst);
        xmlSetNs(sst, xmlNewNs(sst, x(kMainNs), nullptr));
    }
    for (const std::string& s : strings) {
        xmlNode* si = xmlNewChild(sst, sst->ns, x("si"), nullptr);
        xmlNode* t = xmlNewTextChild(si, sst->ns, x("t"), x(s.c_str()));
        xmlNodeSetSpacePreserve(t, 1);
    }
    return serialize(doc.get());
}

// Adds the shared-string table `part` to the workbook's relationships and
// to the content types.
void declareSharedStrings(Parts& parts, const std::string& workbookPart, const std::string& part)
{
    const auto slash = workbookPart.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : workbookPart.substr(0, slash + 1);
    const std::string relsName = folder + "_rels/" + workbookPart.substr(folder.size()) + ".rels";
    auto rels = parts.find(relsName);
    Doc doc = rels == parts.end() ? Doc(xmlNewDoc(x("1.0"))) : parse(relsName, rels->second);
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (!root) {
        root = xmlNewNode(nullptr, x("Relationships"));
        xmlDocSetRootElement(doc.get(), root);
        xmlSetNs(root, xmlNewNs(root, x(kRelsNs), nullptr));
    }
    xmlNode* r = xmlNewChild(root, root->ns, x("Relationship"), nullptr);
    xmlSetProp(r, x("Id"), x("rIdZbirSharedStrings"));
    xmlSetProp(r, x("Type"), x(kSharedStringsType));
    xmlSetProp(r, x("Target"), x(relativeTarget(folder, part).c_str()));
    parts[relsName] = serialize(doc.get());

    auto types = parts.find("[Content_Types].xml");
    if (types == parts.end())
        return;
    Doc t = parse(types->first, types->second);
    xmlNode* troot = xmlDocGetRootElement(t.get());
    xmlNode* o = xmlNewChild(troot, troot->ns, x("Override"), nullptr);
    xmlSetProp(o, x("PartName"), x(("/" + part).c_str()));
    xmlSetProp(o, x("ContentType"), x(kSharedStringsContent));
    types->second = serialize(t.get());
}

void put16(std::string& out, unsigned v)
{
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// A zip archive of stored entries.
std::optional<std::string> storedArchive(const Parts& parts)
{
    std::string out, directory;
    for (const auto& [name, bytes] : parts) {
        if (bytes.size() >= 0xFFFFFFFFu || out.size() >= 0xFFFFFFFFu)
            return std::nullopt;  // past what a plain archive holds
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        const auto size = static_cast<std::uint32_t>(bytes.size());
        const auto offset = static_cast<std::uint32_t>(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, 0x0800);  // UTF-8 names
        put16(out, 0);       // stored
        put16(out, 0);
        put16(out, 0x21);    // 1980-01-01
        put32(out, crc);
        put32(out, size);
        put32(out, size);
        put16(out, static_cast<unsigned>(name.size()));
        put16(out, 0);
        out += name;
        out += bytes;

        put32(directory, 0x02014b50);
        put16(directory, 20);
        put16(directory, 20);
        put16(directory, 0x0800);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0x21);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, static_cast<unsigned>(name.size()));
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, 0);
        put32(directory, offset);
        directory += name;
    }
    if (parts.size() > 0xFFFF || out.size() + directory.size() >= 0xFFFFFFFFu)
        return std::nullopt;
    const auto at = static_cast<std::uint32_t>(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, static_cast<unsigned>(parts.size()));
    put16(out, static_cast<unsigned>(parts.size()));
    put32(out, static_cast<std::uint32_t>(directory.size()));
    put32(out, at);
    put16(out, 0);
    return out;
}

}  // namespace

std::optional<std::string> normalizedPackage(const std::string& zip)
{
    xmlInitParser();
    orcus::zip_archive_stream_blob stream(reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size());
    orcus::zip_archive archive(&stream);
    archive.load();
    Parts parts;
    std::vector<unsigned char> buffer;
    for (std::size_t i = 0; i < archive.get_file_entry_count(); ++i) {
        const std::string name(archive.get_file_entry_name(i));
        buffer.clear();
        if (!archive.read_file_entry(name, buffer))
            throw unreadable(name, "nie da si\xEA rozpakowa\xE6");
        parts[name].assign(buffer.begin(), buffer.end());
    }

    bool changed = false;
    for (auto& [name, bytes] : parts)
        if (name.ends_with(".rels"))
            changed = relativeTargets(name, bytes) || changed;

    const std::string workbookPart = relatedPart(parts, "", "/officeDocument");
    if (!workbookPart.empty()) {
        std::string sharedPart = relatedPart(parts, workbookPart, "/sharedStrings");
        const auto shared = sharedPart.empty() ? parts.end() : parts.find(sharedPart);
        const std::size_t first = shared == parts.end() ? 0 : sharedStringCount(shared->first, shared->second);
        std::vector<std::string> strings;
        for (auto& [name, bytes] : parts)
            if (name != sharedPart && name.ends_with(".xml") && !name.ends_with("].xml"))
                changed = sharedInlineStrings(name, bytes, strings, first) || changed;
        if (!strings.empty()) {
            if (shared != parts.end()) {
                shared->second = withStrings(shared->first, &shared->second, strings);
            } else {
                const auto slash = workbookPart.rfind('/');
                const std::string folder = slash == std::string::npos ? std::string() : workbookPart.substr(0, slash + 1);
                sharedPart = folder + "sharedStrings.xml";
                for (int n = 2; parts.count(sharedPart); ++n)
                    sharedPart = folder + "sharedStrings" + std::to_string(n) + ".xml";
                parts[sharedPart] = withStrings(sharedPart, nullptr, strings);
                declareSharedStrings(parts, workbookPart, sharedPart);
            }
        }
    }
    if (!changed)
        return std::nullopt;
    return storedArchive(parts);
}

}  // namespace zbir::workbook
