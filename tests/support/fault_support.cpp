#include "support/fault_support.h"

#include "xlsx/sheet_data_reader.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <zlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <grp.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zbir::test {

namespace {

constexpr uid_t kNobody = 65534;

// Runs the program with `args` in this (forked) process; never returns.
[[noreturn]] void execZbir(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    std::string program = ZBIR_BINARY;
    argv.push_back(program.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
}

void ignoreXmlMessage(void*, const char*, ...) {}

}  // namespace

bool wellFormedXml(std::string_view bytes, std::string* error)
{
    xmlInitParser();
    xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt)
        throw std::runtime_error("libxml2 has no memory");
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), "test.xml", nullptr,
                                      XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    const bool ok = doc != nullptr && ctxt->wellFormed;
    if (!ok && error) {
        const xmlError* e = xmlCtxtGetLastError(ctxt);
        *error = e && e->message ? std::string(e->message) + " (line " + std::to_string(e->line) + ")"
                                 : std::string("not well-formed");
    }
    if (doc)
        xmlFreeDoc(doc);
    xmlFreeParserCtxt(ctxt);
    return ok;
}

std::string storedZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    return workbook::storedZip(entries);
}

std::string deflatedZip(const std::vector<std::pair<std::string, std::string>>& entries)
{
    auto put16 = [](std::string& out, unsigned v) {
        out += static_cast<char>(v & 0xFF);
        out += static_cast<char>((v >> 8) & 0xFF);
    };
    auto put32 = [&](std::string& out, std::uint32_t v) {
        put16(out, v & 0xFFFF);
        put16(out, v >> 16);
    };
    std::string zip, directory;
    for (const auto& [name, bytes] : entries) {
        z_stream z{};
        if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2");
        std::string packed(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
        z.avail_in = static_cast<uInt>(bytes.size());
        z.next_out = reinterpret_cast<Bytef*>(packed.data());
        z.avail_out = static_cast<uInt>(packed.size());
        const int rc = deflate(&z, Z_FINISH);
        packed.resize(z.total_out);
        deflateEnd(&z);
        if (rc != Z_STREAM_END)
            throw std::runtime_error("deflate");
        const auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        for (std::string* out : {&zip, &directory}) {
            const bool central = out == &directory;
            put32(*out, central ? 0x02014b50 : 0x04034b50);
            if (central)
                put16(*out, 20);
            put16(*out, 20);
            put16(*out, 0);
            put16(*out, 8);
            put32(*out, 0);
            put32(*out, crc);
            put32(*out, static_cast<std::uint32_t>(packed.size()));
            put32(*out, static_cast<std::uint32_t>(bytes.size()));
            put16(*out, static_cast<unsigned>(name.size()));
            put16(*out, 0);
            if (central) {
                put16(*out, 0);
                put16(*out, 0);
                put16(*out, 0);
                put32(*out, 0);
                put32(*out, offset);
            }
            *out += name;
        }
        zip += packed;
    }
    const auto directoryStart = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put32(zip, 0);
    put16(zip, static_cast<unsigned>(entries.size()));
    put16(zip, static_cast<unsigned>(entries.size()));
    put32(zip, static_cast<std::uint32_t>(directory.size()));
    put32(zip, directoryStart);
    put16(zip, 0);
    return zip;
}

FileSizeLimit::FileSizeLimit(unsigned long long bytes)
{
    rlimit r{};
    if (getrlimit(RLIMIT_FSIZE, &r) != 0)
        throw std::runtime_error("getrlimit");
    m_soft = r.rlim_cur;
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    r.rlim_cur = bytes;
    if (setrlimit(RLIMIT_FSIZE, &r) != 0)
        throw std::runtime_error("setrlimit");
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit r{};
    getrlimit(RLIMIT_FSIZE, &r);
    r.rlim_cur = m_soft;
    setrlimit(RLIMIT_FSIZE, &r);
    std::signal(SIGXFSZ, m_handler);
}

bool runningAsRoot()
{
    return geteuid() == 0;
}

void giveToUnprivileged(const std::filesystem::path& path)
{
    if (runningAsRoot() && chown(path.c_str(), kNobody, kNobody) != 0)
        throw std::runtime_error("chown " + path.string());
}

ProgramRun runZbir(const std::vector<std::string>& args, bool unprivileged)
{
    int fds[2];
    if (pipe(fds) != 0)
        throw std::runtime_error("pipe");
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        dup2(fds[1], STDERR_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (unprivileged && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)
                _exit(126);
        }
        execZbir(args);
    }
    close(fds[1]);
    ProgramRun run;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        run.output.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ZbirProcess::ZbirProcess(const std::vector<std::string>& args,
                         const std::vector<std::pair<std::string, std::string>>& env)
{
    char name[] = "/tmp/zbir-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        throw std::runtime_error("mkstemp");
    m_outputFile = name;
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork");
    if (pid == 0) {
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
        for (const auto& [key, value] : env)
            setenv(key.c_str(), value.c_str(), 1);
        execZbir(args);
    }
    close(fd);
    m_pid = pid;
}

ZbirProcess::~ZbirProcess()
{
    if (m_pid > 0) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    unlink(m_outputFile.c_str());
}

int ZbirProcess::wait()
{
    if (m_pid > 0) {
        waitpid(m_pid, &m_status, 0);
        m_pid = -1;
    }
    return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : WIFSIGNALED(m_status) ? -WTERMSIG(m_status) : -1000;
}

int ZbirProcess::killAfter(double seconds)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (m_pid > 0) {
        if (waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= until) {
            kill(m_pid, SIGKILL);
            break;
        }
        usleep(500);
    }
    return wait();
}

std::string ZbirProcess::output() const
{
    std::ifstream in(m_outputFile, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::map<std::string, std::string> snapshot(const std::filesystem::path& dir)
{
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(dir, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[std::filesystem::relative(it->path(), dir).string()] = bytes.str();
    }
    return files;
}

std::vector<std::string> changedOrGone(const std::map<std::string, std::string>& before,
                                       const std::map<std::string, std::string>& after)
{
    std::vector<std::string> out;
    for (const auto& [name, bytes] : before) {
        auto it = after.find(name);
        if (it == after.end())
            out.push_back(name + " (gone)");
        else if (it->second != bytes)
            out.push_back(name + " (changed)");
    }
    return out;
}

}  // namespace zbir::test
