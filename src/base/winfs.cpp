#include "base/winfs.h"

#include "encoding/charset.h"

#include <algorithm>

namespace zbir::base::winfs {

std::string toNative(std::string_view programText)
{
    bool ascii = std::all_of(programText.begin(), programText.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return ascii ? std::string(programText) : encoding::windows1250ToUtf8(programText);
}

std::string fromNative(std::string_view native)
{
    bool ascii = std::all_of(native.begin(), native.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii)
        return std::string(native);
    if (encoding::isValidUtf8(native))
        return encoding::utf8ToWindows1250(native, '_');
    return std::string(native);  // not UTF-8: keep the bytes
}

std::string upper(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

namespace {

char up(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (up(a[i]) != up(b[i]))
            return false;
    return true;
}

}  // namespace

bool matchPattern(std::string_view pattern, std::string_view name)
{
    // iterative wildcard match with backtracking to the last "*"
    size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || up(pattern[p]) == up(name[n]))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<std::string> findFiles(const std::filesystem::path& dir, std::string_view pattern)
{
    std::vector<std::string> out;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (it->is_directory(ec2))
            continue;
        std::string name = fromNative(it->path().filename().string());
        if (matchPattern(pattern, name))
            out.push_back(std::move(name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::filesystem::path resolve(const std::filesystem::path& base, std::string_view relative)
{
    std::filesystem::path cur = base;
    size_t i = 0;
    while (i <= relative.size()) {
        size_t j = relative.find_first_of("\\/", i);
        if (j == std::string_view::npos)
            j = relative.size();
        std::string_view part = relative.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            cur = cur.parent_path();
            if (cur.empty())
                cur = "..";
            continue;
        }
        std::string native = toNative(part);
        std::error_code ec;
        if (std::filesystem::exists(cur / native, ec)) {
            cur /= native;
            continue;
        }
        std::filesystem::path found;
        std::filesystem::directory_iterator it(cur, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (sameName(name, native) || sameName(fromNative(name), part)) {
                found = it->path();
                break;
            }
        }
        cur = found.empty() ? cur / native : found;
    }
    return cur;
}

std::string display(const std::filesystem::path& path)
{
    return fromNative(path.string());
}

}  // namespace zbir::base::winfs
