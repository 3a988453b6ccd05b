#include "shell/console_port.h"

#include "encoding/charset.h"

namespace zbir::shell {

ConsolePort::ConsolePort(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

std::string ConsolePort::terminalText(const std::string& programText)
{
    return encoding::windows1250ToUtf8(programText);
}

void ConsolePort::showStatus(const std::string& text, int colour)
{
    if (text.empty())
        return;
    std::string line = (colour == Red ? "zbir: b\xB3\xB9" "d: " : "zbir: ") + text;
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    m_err << terminalText(line) << std::endl;
}

void ConsolePort::processEvents() {}

void ConsolePort::message(const std::string& text)
{
    m_lastLine.clear();
    m_err << terminalText("zbir: " + text) << std::endl;
}

void ConsolePort::error(const std::string& text)
{
    m_lastLine.clear();
    m_err << terminalText("zbir: b\xB3\xB9" "d: " + text) << std::endl;
}

}  // namespace zbir::shell
