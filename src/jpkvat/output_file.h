#pragma once
// The combined file's output: written to a temporary file beside the target
// and renamed to the target only when complete; otherwise the temporary file
// goes.

#include "jpkforms/schema_check.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace zbir::jpkvat {

class OutputFile {
public:
    explicit OutputFile(std::filesystem::path target);
    ~OutputFile() { discard(); }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file; false with error() set when it cannot.
    // What is written is checked against its schema as it goes.
    bool open();

    std::string& buffer() { return m_buffer; }
    void flushIfFull();

    // Closes the file; false when anything failed to reach it.
    bool close();

    // After close(): the written file against the schema of its form, as
    // jpkforms::checkFile() judges it.
    jpkforms::CheckResult check();

    // Renames the complete temporary file to the target; false with error()
    // set when it cannot.
    bool commit();

    // Renames the complete temporary file to `other` instead (a result kept
    // for inspection); false with error() set when it cannot.
    bool keepAs(const std::filesystem::path& other);

    void discard();

    const std::filesystem::path& temporary() const { return m_temp; }
    // The system's reason for the last failure (program text).
    const std::string& error() const { return m_error; }

private:
    void flush();
    void fail(const std::string& reason);

    std::filesystem::path m_target;
    std::filesystem::path m_temp;
    std::FILE* m_file = nullptr;
    std::unique_ptr<jpkforms::StreamCheck> m_check;  // reads what is written, on its own thread
    std::string m_buffer;
    std::string m_error;
    bool m_ok = true;
    bool m_created = false;
    bool m_committed = false;
};

}  // namespace zbir::jpkvat
