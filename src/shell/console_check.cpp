#include "shell/console_check.h"

#include "jpkforms/schema_check.h"

#include <filesystem>
#include <system_error>

namespace zbir::shell {

int runCheck(const std::vector<std::string>& files, std::ostream& out, std::ostream& err)
{
    int bad = 0;
    for (const std::string& file : files) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(file, ec)) {
            ++bad;
            out << file << ": nie ma takiego pliku\n";
            continue;
        }
        const jpkforms::CheckResult r = jpkforms::checkFile(file);
        const std::string form = r.form ? std::string(r.form->name) : std::string();
        for (const jpkforms::SchemaProblem& p : r.problems) {
            err << "zbir: " << file;
            if (p.line > 0)
                err << ':' << p.line;
            err << ": " << p.message << '\n';
        }
        switch (r.verdict) {
        case jpkforms::Verdict::Valid:
            out << file << ": poprawny (" << form << ")\n";
            break;
        case jpkforms::Verdict::Invalid:
            ++bad;
            out << file << ": NIEPOPRAWNY" << (form.empty() ? "" : " (" + form + ")") << ", b\xC5\x82\xC4\x99"
                << "d\xC3\xB3w: " << r.problems.size() << '\n';
            break;
        case jpkforms::Verdict::UnknownForm:
            ++bad;
            out << file << ": nieznany formularz"
                << (r.rootNamespace.empty() ? "" : " (przestrze\xC5\x84 nazw " + r.rootNamespace + ")")
                << '\n';
            break;
        case jpkforms::Verdict::NoSchema:
            ++bad;
            out << file << ": nie sprawdzono (" << form << "): brak schematu\n";
            break;
        case jpkforms::Verdict::Stopped:  // no stop is asked for here
            ++bad;
            out << file << ": nie sprawdzono\n";
            break;
        }
    }
    out.flush();
    if (files.size() > 1)
        err << "zbir: sprawdzono plik\xC3\xB3w: " << files.size() << ", niepoprawnych lub nieznanych: " << bad
            << '\n';
    return bad == 0 ? 0 : 1;
}

}  // namespace zbir::shell
