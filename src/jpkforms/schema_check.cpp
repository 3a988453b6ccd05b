#include "jpkforms/schema_check.h"

#include <libxml/catalog.h>
#include <libxml/SAX2.h>
#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlreader.h>
#include <libxml/xmlschemas.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>

#ifndef ZBIR_SOURCE_SCHEMA_DIR
#define ZBIR_SOURCE_SCHEMA_DIR ""
#endif
#ifndef ZBIR_INSTALLED_SCHEMA_DIR
#define ZBIR_INSTALLED_SCHEMA_DIR ""
#endif

namespace zbir::jpkforms {

namespace fs = std::filesystem;

namespace {

// Documents are parsed without network, DTD loading or entity expansion;
// a document type declaration is refused outright (JPK files have none).
constexpr int kDocumentOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA;
// More problems than this are counted, not kept.
constexpr std::size_t kMaxProblems = 1000;
// The start of a document the root namespace is looked for in.
constexpr std::size_t kPeekBytes = 1 << 16;

bool isDirectory(const fs::path& p)
{
    std::error_code ec;
    return !p.empty() && fs::is_directory(p, ec);
}

fs::path executableDir()
{
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path{} : exe.parent_path();
}

std::string trimmed(const char* text)
{
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s;
}

// libxml2's loader state is process-wide: schemas are parsed, and documents
// validated, one at a time. Reading the root namespace needs no lock.
std::mutex g_mutex;
xmlCatalogPtr g_catalog = nullptr;
fs::path g_folder;
thread_local bool g_schemaLoading = false;  // only schema parsing, on its own thread, may load files
xmlExternalEntityLoader g_defaultLoader = nullptr;

bool inside(const fs::path& file, const fs::path& folder)
{
    std::error_code ec;
    const fs::path a = fs::weakly_canonical(file, ec);
    if (ec)
        return false;
    const fs::path b = fs::weakly_canonical(folder, ec);
    if (ec)
        return false;
    return std::mismatch(a.begin(), a.end(), b.begin(), b.end()).second == b.end();
}

// Imports of the schemas by their http addresses go to the local copies the
// catalog names; anything outside the schema folder, and anything at all
// while a document is read, is refused.
xmlParserInputPtr loadEntity(const char* url, const char* id, xmlParserCtxtPtr ctxt)
{
    if (!g_schemaLoading || !url)
        return nullptr;
    std::string target = url;
    if (target.rfind("http://", 0) == 0 || target.rfind("https://", 0) == 0 ||
        target.rfind("ftp://", 0) == 0) {
        xmlChar* local = g_catalog ? xmlACatalogResolveURI(g_catalog, BAD_CAST url) : nullptr;
        if (!local && g_catalog)
            local = xmlACatalogResolve(g_catalog, BAD_CAST id, BAD_CAST url);
        if (!local)
            return nullptr;
        target = reinterpret_cast<const char*>(local);
        xmlFree(local);
    }
    if (target.rfind("file://", 0) == 0)
        target.erase(0, 7);
    if (!inside(target, g_folder))
        return nullptr;
    return g_defaultLoader ? g_defaultLoader(target.c_str(), id, ctxt) : nullptr;
}

struct SchemaDeleter {
    void operator()(xmlSchema* s) const { xmlSchemaFree(s); }
};

struct LoadedSchema {
    std::unique_ptr<xmlSchema, SchemaDeleter> schema;
    std::string error;  // why it could not be loaded
};

std::map<std::string, LoadedSchema> g_schemas;

void collect(void* data, xmlErrorPtr error)
{
    auto* problems = static_cast<std::vector<SchemaProblem>*>(data);
    if (!error)
        return;
    if (problems->size() < kMaxProblems)
        problems->push_back({error->line, trimmed(error->message)});
    else if (problems->size() == kMaxProblems)
        problems->push_back({0, "(dalsze b\xC5\x82\xC4\x99" "dy pomini\xC4\x99te)"});
}

void ignore(void*, xmlErrorPtr) {}

// The schema of `form`, parsed once; nullptr with the reason when it fails.
xmlSchema* schemaFor(const Form& form, std::string& why)
{
    const fs::path folder = schemaFolder();
    const fs::path file = folder / fs::path(std::string(form.schema));
    const std::string key = file.string();
    auto it = g_schemas.find(key);
    if (it == g_schemas.end()) {
        LoadedSchema loaded;
        std::error_code ec;
        if (folder.empty() || !fs::is_regular_file(file, ec)) {
            loaded.error = "brak pliku schematu " + file.string();
        } else {
            if (g_folder != folder) {
                if (g_catalog)
                    xmlFreeCatalog(g_catalog);
                g_catalog = xmlLoadACatalog((folder / "catalog.xml").c_str());
                g_folder = folder;
            }
            std::vector<SchemaProblem> problems;
            xmlSchemaParserCtxtPtr ctxt = xmlSchemaNewParserCtxt(file.c_str());
            xmlSchemaSetParserStructuredErrors(ctxt, collect, &problems);
            g_schemaLoading = true;
            loaded.schema.reset(xmlSchemaParse(ctxt));
            g_schemaLoading = false;
            xmlSchemaFreeParserCtxt(ctxt);
            if (!loaded.schema) {
                loaded.error = "schemat " + file.string() + " nie daje si\xC4\x99 wczyta\xC4\x87";
                if (!problems.empty())
                    loaded.error += ": " + problems.front().message;
            }
        }
        it = g_schemas.emplace(key, std::move(loaded)).first;
    }
    why = it->second.error;
    return it->second.schema.get();
}

void installLoader()
{
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        g_defaultLoader = xmlGetExternalEntityLoader();
        xmlSetExternalEntityLoader(loadEntity);
    });
}

struct ReaderDeleter {
    void operator()(xmlTextReader* r) const { xmlFreeTextReader(r); }
};
using Reader = std::unique_ptr<xmlTextReader, ReaderDeleter>;

// Root namespace by a plain look at the start tag, for documents the parser
// cannot begin (an encoding it does not know, say).
std::string peekNamespace(std::string_view doc)
{
    std::size_t pos = 0;
    while ((pos = doc.find('<', pos)) != std::string_view::npos) {
        if (pos + 1 < doc.size() && (doc[pos + 1] == '?' || doc[pos + 1] == '!')) {
            ++pos;
            continue;
        }
        break;
    }
    if (pos == std::string_view::npos)
        return {};
    const std::size_t end = doc.find('>', pos);
    const std::string_view tag = doc.substr(pos + 1, end == std::string_view::npos ? doc.npos : end - pos - 1);
    const std::size_t nameEnd = tag.find_first_of(" \t\r\n/");
    const std::string_view name = tag.substr(0, nameEnd);
    const std::size_t colon = name.find(':');
    const std::string attr =
        colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(name.substr(0, colon));
    std::size_t at = nameEnd;
    while (at != std::string_view::npos && (at = tag.find(attr, at)) != std::string_view::npos) {
        std::size_t p = at + attr.size();
        const bool boundary = at > 0 && (tag[at - 1] == ' ' || tag[at - 1] == '\t' ||
                                         tag[at - 1] == '\r' || tag[at - 1] == '\n');
        while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t'))
            ++p;
        if (boundary && p < tag.size() && tag[p] == '=') {
            ++p;
            while (p < tag.size() && (tag[p] == ' ' || tag[p] == '\t'))
                ++p;
            if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
                const std::size_t close = tag.find(tag[p], p + 1);
                if (close != std::string_view::npos)
                    return std::string(tag.substr(p + 1, close - p - 1));
            }
        }
        at += attr.size();
    }
    return {};
}

std::string readStart(const fs::path& file, std::size_t bytes, bool& ok)
{
    std::ifstream in(file, std::ios::binary);
    ok = static_cast<bool>(in);
    std::string s(bytes, '\0');
    in.read(s.data(), static_cast<std::streamsize>(bytes));
    s.resize(static_cast<std::size_t>(in.gcount()));
    return s;
}

}  // namespace

fs::path schemaFolder()
{
    if (const char* env = std::getenv("ZBIR_SCHEMA_DIR"); env && *env)
        return env;
    const fs::path exe = executableDir();
    if (!exe.empty() && isDirectory(exe.parent_path() / "share/zbir/schemas"))
        return exe.parent_path() / "share/zbir/schemas";
    if (isDirectory(ZBIR_SOURCE_SCHEMA_DIR))
        return ZBIR_SOURCE_SCHEMA_DIR;
    if (isDirectory(ZBIR_INSTALLED_SCHEMA_DIR))
        return ZBIR_INSTALLED_SCHEMA_DIR;
    return {};
}

std::string rootNamespace(std::string_view document)
{
    installLoader();
    const std::string_view start = document.substr(0, kPeekBytes);
    Reader reader(xmlReaderForMemory(start.data(), static_cast<int>(start.size()), nullptr,
                                     nullptr, kDocumentOptions));
    if (reader) {
        xmlTextReaderSetStructuredErrorHandler(reader.get(), ignore, nullptr);
        while (xmlTextReaderRead(reader.get()) == 1) {
            const int type = xmlTextReaderNodeType(reader.get());
            if (type == XML_READER_TYPE_DOCUMENT_TYPE)
                break;
            if (type == XML_READER_TYPE_ELEMENT) {
                const xmlChar* ns = xmlTextReaderConstNamespaceUri(reader.get());
                return ns ? reinterpret_cast<const char*>(ns) : std::string{};
            }
        }
    }
    return peekNamespace(start);
}

std::string rootNamespaceOfFile(const fs::path& file)
{
    bool ok = false;
    const std::string start = readStart(file, kPeekBytes, ok);
    return ok ? rootNamespace(start) : std::string{};
}

namespace {

constexpr const char* kDoctypeRefused = "deklaracja DOCTYPE: pliki JPK jej nie maj\xC4\x85, plik odrzucony";

// The bytes of a document, piece by piece: up to `size` bytes into `out`;
// the count, 0 at the end, -1 on failure.
using Source = std::function<int(char* out, int size)>;

// The line of the document type declaration in the prolog of a document
// starting with `start` (after a byte-order mark, blanks, processing
// instructions and comments); 0 when it has none.
int doctypeLine(std::string_view start)
{
    std::size_t i = start.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    for (;;) {
        while (i < start.size() && (start[i] == ' ' || start[i] == '\t' || start[i] == '\r' || start[i] == '\n'))
            ++i;
        const std::string_view rest = start.substr(std::min(i, start.size()));
        if (rest.rfind("<!DOCTYPE", 0) == 0)
            return 1 + static_cast<int>(std::count(start.begin(), start.begin() + static_cast<std::ptrdiff_t>(i), '\n'));
        const std::string_view end = rest.rfind("<?", 0) == 0 ? "?>" : rest.rfind("<!--", 0) == 0 ? "-->" : "";
        if (end.empty())
            return 0;
        const std::size_t at = rest.find(end, 2);
        if (at == std::string_view::npos)
            return 0;
        i += at + end.size();
    }
}

// The parse of one document, with the schema's validation plugged into its
// SAX events: no tree is built, so memory does not grow with the file.
struct Parse {
    const Source* source = nullptr;
    const std::stop_token* stop = nullptr;
    xmlParserCtxtPtr ctxt = nullptr;
    bool stopped = false;
    int doctype = 0;  // line of a document type declaration met in the parse
};

int readSource(void* context, char* out, int size)
{
    auto* p = static_cast<Parse*>(context);
    if (p->stop->stop_requested()) {
        p->stopped = true;
        return -1;
    }
    return (*p->source)(out, size);
}

int closeSource(void*) { return 0; }

void onDoctype(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    auto* p = static_cast<Parse*>(context);
    p->doctype = std::max(1, xmlSAX2GetLineNumber(p->ctxt));
    xmlStopParser(p->ctxt);
}

int parserLine(void* context, const char** file, unsigned long* line)
{
    auto* ctxt = static_cast<xmlParserCtxtPtr>(context);
    if (file)
        *file = nullptr;
    if (line)
        *line = ctxt && ctxt->input ? static_cast<unsigned long>(ctxt->input->line) : 0;
    return 0;
}

struct ParserDeleter {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};
struct ValidDeleter {
    void operator()(xmlSchemaValidCtxt* c) const { xmlSchemaFreeValidCtxt(c); }
};

// Errors of the parser reach the handler of the thread that parses.
class ThreadErrors {
public:
    explicit ThreadErrors(std::vector<SchemaProblem>* problems) { xmlSetStructuredErrorFunc(problems, collect); }
    ~ThreadErrors() { xmlSetStructuredErrorFunc(nullptr, nullptr); }
    ThreadErrors(const ThreadErrors&) = delete;
    ThreadErrors& operator=(const ThreadErrors&) = delete;
};

// Validates what `source` gives, streaming. A document type declaration
// refuses the document before anything is parsed (and stops the parse when
// it comes later): no entity of it is ever looked at.
CheckResult validate(std::string rootNs, int doctype, const Source& source, const std::stop_token& stop)
{
    CheckResult result;
    result.rootNamespace = std::move(rootNs);
    result.form = findForm(result.rootNamespace);
    if (doctype) {
        result.verdict = Verdict::Invalid;
        result.problems.push_back({doctype, kDoctypeRefused});
        return result;
    }
    if (!result.form) {
        result.verdict = Verdict::UnknownForm;
        result.problems.push_back(
            {0, result.rootNamespace.empty()
                    ? std::string("brak przestrzeni nazw elementu g\xC5\x82\xC3\xB3wnego: "
                                  "to nie jest plik JPK")
                    : "nieznana przestrze\xC5\x84 nazw " + result.rootNamespace +
                          ": tego formularza program nie zna"});
        return result;
    }

    std::lock_guard lock(g_mutex);
    if (stop.stop_requested()) {
        result.verdict = Verdict::Stopped;
        return result;
    }
    std::string why;
    xmlSchema* schema = schemaFor(*result.form, why);
    if (!schema) {
        result.verdict = Verdict::NoSchema;
        result.problems.push_back({0, why});
        return result;
    }

    Parse parse{&source, &stop};
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.internalSubset = onDoctype;
    std::unique_ptr<xmlParserCtxt, ParserDeleter> ctxt(
        xmlCreateIOParserCtxt(&sax, &parse, readSource, closeSource, &parse, XML_CHAR_ENCODING_NONE));
    std::unique_ptr<xmlSchemaValidCtxt, ValidDeleter> valid(xmlSchemaNewValidCtxt(schema));
    if (!ctxt || !valid) {
        result.verdict = Verdict::Invalid;
        result.problems.push_back({0, "nie mog\xC4\x99 czyta\xC4\x87 pliku"});
        return result;
    }
    parse.ctxt = ctxt.get();
    xmlCtxtUseOptions(ctxt.get(), kDocumentOptions);
    xmlSchemaSetValidStructuredErrors(valid.get(), collect, &result.problems);
    xmlSchemaValidateSetLocator(valid.get(), parserLine, ctxt.get());
    xmlSchemaSAXPlugPtr plug = xmlSchemaSAXPlug(valid.get(), &ctxt->sax, &ctxt->userData);
    if (!plug) {
        result.verdict = Verdict::Invalid;
        result.problems.push_back({0, "schemat nie da\xC5\x82 si\xC4\x99 zastosowa\xC4\x87"});
        return result;
    }
    int status;
    {
        ThreadErrors errors(&result.problems);
        status = xmlParseDocument(ctxt.get());
    }
    xmlSchemaSAXUnplug(plug);
    if (parse.stopped || stop.stop_requested()) {
        result.verdict = Verdict::Stopped;
        result.problems.clear();
        return result;
    }
    if (parse.doctype) {
        result.problems.push_back({parse.doctype, kDoctypeRefused});
        status = -1;
    }
    const bool isValid = status == 0 && ctxt->wellFormed && xmlSchemaIsValid(valid.get()) == 1;
    if (!isValid && result.problems.empty())
        result.problems.push_back({ctxt->input ? ctxt->input->line : 0,
                                   "plik niezgodny ze schematem " + std::string(result.form->name)});
    result.verdict = isValid && result.problems.empty() ? Verdict::Valid : Verdict::Invalid;
    return result;
}

}  // namespace

CheckResult checkDocument(std::string_view document, std::stop_token stop)
{
    installLoader();
    if (document.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        CheckResult result;
        result.problems.push_back({0, "plik za du\xC5\xBC" "y do sprawdzenia w pami\xC4\x99" "ci"});
        return result;
    }
    std::size_t at = 0;
    const Source source = [&](char* out, int size) {
        const std::size_t n = std::min(document.size() - at, static_cast<std::size_t>(size));
        std::copy_n(document.data() + at, n, out);
        at += n;
        return static_cast<int>(n);
    };
    return validate(rootNamespace(document), doctypeLine(document.substr(0, kPeekBytes)), source, stop);
}

CheckResult checkFile(const fs::path& file, std::stop_token stop)
{
    installLoader();
    bool ok = false;
    const std::string start = readStart(file, kPeekBytes, ok);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(ok ? std::fopen(file.c_str(), "rb") : nullptr, &std::fclose);
    if (!in) {
        CheckResult result;
        result.problems.push_back({0, "nie mog\xC4\x99 czyta\xC4\x87 pliku " + file.string()});
        return result;
    }
    const Source source = [&](char* out, int size) {
        const std::size_t n = std::fread(out, 1, static_cast<std::size_t>(size), in.get());
        return n == 0 && std::ferror(in.get()) ? -1 : static_cast<int>(n);
    };
    return validate(rootNamespace(start), doctypeLine(start), source, stop);
}

namespace {

constexpr std::size_t kMaxPiecesAhead = 8;  // pieces the writer may be ahead of the check

}  // namespace

StreamCheck::StreamCheck() : m_thread([this](std::stop_token stop) { run(stop); }) {}

StreamCheck::~StreamCheck()
{
    m_thread.request_stop();
    {
        std::lock_guard lock(m_mutex);
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

void StreamCheck::write(std::string_view bytes)
{
    if (bytes.empty())
        return;
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_done || m_pieces.size() < kMaxPiecesAhead; });
    if (m_done)
        return;  // the verdict needs no more of the document
    m_pieces.emplace_back(bytes);
    m_changed.notify_all();
}

CheckResult StreamCheck::finish()
{
    std::unique_lock lock(m_mutex);
    m_ended = true;
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_done; });
    return m_result ? std::move(*m_result) : CheckResult{};
}

int StreamCheck::read(char* out, int size, const std::stop_token& stop)
{
    std::unique_lock lock(m_mutex);
    while (m_offset == m_current.size()) {
        // Looked at under the lock before every wait: the destructor asks
        // for the stop, then wakes the waiter under the lock.
        if (stop.stop_requested())
            return -1;
        if (!m_pieces.empty()) {
            m_current = std::move(m_pieces.front());
            m_pieces.pop_front();
            m_offset = 0;
            m_changed.notify_all();
        } else if (m_ended) {
            return 0;
        } else {
            m_changed.wait(lock);
        }
    }
    const std::size_t n = std::min(m_current.size() - m_offset, static_cast<std::size_t>(size));
    std::copy_n(m_current.data() + m_offset, n, out);
    m_offset += n;
    return static_cast<int>(n);
}

void StreamCheck::run(const std::stop_token& stop)
{
    CheckResult result;
    try {
        installLoader();
        // The start of the document names its form.
        std::string start;
        std::vector<char> piece(kPeekBytes);
        int got = 0;
        while (start.size() < kPeekBytes &&
               (got = read(piece.data(), static_cast<int>(kPeekBytes - start.size()), stop)) > 0)
            start.append(piece.data(), static_cast<std::size_t>(got));
        if (got < 0) {
            result.verdict = Verdict::Stopped;
        } else {
            std::size_t at = 0;
            const Source source = [&](char* out, int size) {
                if (at < start.size()) {
                    const std::size_t n = std::min(start.size() - at, static_cast<std::size_t>(size));
                    std::copy_n(start.data() + at, n, out);
                    at += n;
                    return static_cast<int>(n);
                }
                return read(out, size, stop);
            };
            result = validate(rootNamespace(start), doctypeLine(start), source, stop);
            if (stop.stop_requested())
                result = CheckResult{Verdict::Stopped, result.form, result.rootNamespace, {}};
        }
    } catch (const std::exception& e) {
        result.verdict = Verdict::Invalid;
        result.problems.push_back({0, e.what()});
    }
    std::lock_guard lock(m_mutex);
    m_result = std::move(result);
    m_done = true;
    m_pieces.clear();
    m_changed.notify_all();
}

}  // namespace zbir::jpkforms
