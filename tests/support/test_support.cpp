#include "support/test_support.h"

#include <cstdio>
#include <sys/wait.h>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace zbir::test {

TempDir::TempDir()
{
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100; ++i) {
        auto p = base / ("zbir-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(p)) {
            m_path = p;
            return;
        }
    }
    throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path sourceDir()
{
    return ZBIR_SOURCE_DIR;
}

std::filesystem::path sharedDir()
{
    auto p = sourceDir().parent_path() / "shared";
    std::error_code ec;
    if (std::filesystem::is_directory(p / "samples", ec))
        return p;
    return {};
}

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

int runCommand(const std::string& command, std::string* output)
{
    std::FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p)
        return -1;
    char buf[4096];
    std::string out;
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int status = pclose(p);
    if (output)
        *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace zbir::test
