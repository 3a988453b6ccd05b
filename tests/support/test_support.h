#pragma once
// Helpers shared by the tests.

#include <filesystem>
#include <string>

namespace zbir::test {

// A fresh temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// ../shared next to the source tree, or empty when absent.
std::filesystem::path sharedDir();

// The project's source tree.
std::filesystem::path sourceDir();

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Runs a shell command; returns its exit status and puts stdout+stderr into *output.
int runCommand(const std::string& command, std::string* output = nullptr);

}  // namespace zbir::test

// Skips the current test when ../shared is absent.
#define ZBIR_REQUIRE_SHARED(var)                                                          \
    const auto var = ::zbir::test::sharedDir();                                          \
    if (var.empty())                                                                      \
    GTEST_SKIP() << "../shared (samples and schemas) is absent next to the source tree"
