#pragma once
// Checks a JPK file against the ministry's schema of its root namespace, with
// libxml2, offline: no network, no DTD loading, no entity expansion.

#include "jpkforms/forms.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
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

// The check of a document made while it is being written: the writer hands
// over its bytes in pieces and the check reads them on a thread of its own,
// so that it costs no time after the last piece. The verdict is the one
// checkDocument() gives for the whole of the bytes.
class StreamCheck {
public:
    StreamCheck();   // starts the thread
    ~StreamCheck();  // stops a check still running and waits for the thread
    StreamCheck(const StreamCheck&) = delete;
    StreamCheck& operator=(const StreamCheck&) = delete;

    // The next piece of the document; waits while the check is more than a
    // few pieces behind, so memory stays bounded.
    void write(std::string_view bytes);
    // The end of the document: waits for the verdict.
    CheckResult finish();

private:
    void run(const std::stop_token& stop);
    // The reader's input: copies up to `size` bytes into `out`; 0 at the
    // end, -1 when stopped.
    int read(char* out, int size, const std::stop_token& stop);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::string> m_pieces;
    std::string m_current;      // the piece being read
    std::size_t m_offset = 0;   // into m_current
    bool m_ended = false;       // finish() was called
    bool m_done = false;        // the check has its verdict
    std::optional<CheckResult> m_result;
    std::jthread m_thread;      // last: starts once the members above exist
};

}  // namespace zbir::jpkforms
