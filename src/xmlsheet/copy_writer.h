#pragma once
// The corrected copy of a JPK file: the scanner's items written back as UTF-8
// XML lines (CR LF), two blanks of indent per level below the root, the
// declaration rewritten to utf-8 and the values escaped for XML. Every tag
// keeps the namespace prefix the file gave it, so that every element stays in
// its namespace.

#include "xmlsheet/scan_items.h"
#include "xmlsheet/xml_scanner.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zbir::xmlsheet {

class CopyWriter : public ScanConsumer {
public:
    explicit CopyWriter(XmlScanner& scanner);  // raises the scanner's modified flag when it escapes or replaces
    ~CopyWriter() override;                    // closes a file still open, ignoring errors
    CopyWriter(const CopyWriter&) = delete;
    CopyWriter& operator=(const CopyWriter&) = delete;

    void create(const std::filesystem::path& tempPath);  // the temporary file (kCopyTemporary); throws std::runtime_error on failure
    // An element the file left empty stays empty rather than taking the
    // scanner's value: for a file valid against its schema, whose copy must
    // stay valid (an empty element may be a container of optional parts).
    void keepEmptyElements(bool on) { m_keepEmpty = on; }
    // The same decision taken after the copy is written (the schema check
    // may still run while the file is scanned): the scanner's values for
    // empty elements are written and their places remembered, and
    // dropFilledValues() after close() takes them out of the file again.
    void rememberFilledValues(bool on) { m_remember = on; }
    void close();                                         // throws std::runtime_error when writing failed
    // Takes the remembered values out of the closed copy, in place; throws
    // std::runtime_error when the file cannot be rewritten.
    void dropFilledValues();

    void declaration(const Declaration& item) override;
    void comment(const Comment& item) override;
    void opening(const ContainerOpening& item) override;
    void closing(const ContainerClosing& item) override;
    void element(const Element& item) override;

private:
    void indent(int level);
    void appendText(std::string_view programText);
    void appendTag(const std::string& tag, const std::string& prefix, const std::string& attributes);
    void endLine();
    void flush();

    XmlScanner& m_scanner;
    std::FILE* m_file = nullptr;
    std::filesystem::path m_path;
    std::string m_out;
    bool m_failed = false;
    bool m_keepEmpty = false;
    bool m_remember = false;
    std::uint64_t m_flushed = 0;  // bytes of the copy already handed to the file
    struct Span {
        std::uint64_t at;
        std::uint32_t size;
    };
    std::vector<Span> m_filled;   // the scanner's values in the copy, in file order
};

// Where a copy is written before it takes its name (program text, below the
// working folder): in TXT beside the copies, so that the rename stays on one
// file system and the folder synced is the copies' own; neither *.TXT nor
// *.XML, so no run takes it for a copy. Each copy reuses the name, and the
// transport removes one a killed run left.
inline constexpr const char* kCopyTemporary = "TXT\\xx.tmp";

// "TXT\" + file name less its last three characters + "XML" (modified) or "TXT" (not modified), program text.
std::string copyName(const std::string& fileName, bool modified);
// Deletes `target` if present and renames `tempPath` to it; returns false on failure (the caller ignores it as described).
bool placeCopy(const std::filesystem::path& tempPath, const std::filesystem::path& target);

}  // namespace zbir::xmlsheet
