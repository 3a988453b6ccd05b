#pragma once
// The corrected copy of a JPK file: the scanner's items written back as UTF-8
// XML lines (CR LF), two blanks of indent per level below the root, the
// declaration rewritten to utf-8 and the values escaped for XML. Every tag
// keeps the namespace prefix the file gave it, so that every element stays in
// its namespace.

#include "xmlsheet/scan_items.h"
#include "xmlsheet/xml_scanner.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

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
    void close();                                         // throws std::runtime_error when writing failed

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
