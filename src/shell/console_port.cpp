#include "shell/console_port.h"

#include "encoding/charset.h"
#include "jpkvat/messages.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <sys/ioctl.h>
#include <unistd.h>

namespace zbir::shell {

namespace {

constexpr double kRedrawEvery = 0.1;  // seconds between bar redraws
constexpr int kBarWidth = 20;
const char* const kClearLine = "\r\x1b[K";

// Red status texts that end an operation well: the window shows every final
// message in red, the command line marks only failures as errors.
const char* const kFinalNotErrors[] = {
    jpkvat::msg::kDonePrefix,
    jpkvat::msg::kDoneWithWarningsPrefix,
};

bool isError(const std::string& text, int colour)
{
    if (colour != Red)
        return false;
    for (const char* prefix : kFinalNotErrors)
        if (text.rfind(prefix, 0) == 0)
            return false;
    return true;
}

// The first `columns` characters of UTF-8 text.
std::string fitColumns(const std::string& utf8, int columns)
{
    int seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            continue;
        if (seen++ == columns)
            return utf8.substr(0, i);
    }
    return utf8;
}

}  // namespace

ConsolePort::Options ConsolePort::optionsFor(int fd)
{
    Options o;
    const char* term = std::getenv("TERM");
    o.terminal = isatty(fd) == 1 && !(term && std::strcmp(term, "dumb") == 0);
    const char* noColour = std::getenv("NO_COLOR");
    o.colour = o.terminal && !(noColour && *noColour);
    winsize ws{};
    if (o.terminal && ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        o.columns = ws.ws_col;
    return o;
}

ConsolePort::ConsolePort(std::ostream& out, std::ostream& err, Options options)
    : m_out(out), m_err(err), m_options(std::move(options))
{
}

std::string ConsolePort::terminalText(const std::string& programText)
{
    return encoding::windows1250ToUtf8(programText);
}

double ConsolePort::now() const
{
    if (m_options.clock)
        return m_options.clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void ConsolePort::printLine(const std::string& programText, bool red)
{
    const std::string bar = m_bar;
    clearBar();
    const std::string text = terminalText(programText);
    if (red && m_options.colour)
        m_err << "\x1b[31m" << text << "\x1b[0m\n";
    else
        m_err << text << '\n';
    if (!bar.empty()) {
        m_bar = bar;
        m_err << m_bar;
    }
    m_err.flush();
}

void ConsolePort::showStatus(const std::string& text, int colour)
{
    if (text.empty())
        return;
    const bool red = isError(text, colour);
    std::string line = (red ? "zbir: b\xB3\xB9" "d: " : "zbir: ") + text;
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    flushDeferred();
    if (colour == DarkRed && m_meter.started()) {
        // A file's name shown while another is read: the line of the file
        // that ends comes first, at the next progress report.
        m_deferred = line;
        return;
    }
    printLine(line, red);
}

void ConsolePort::flushDeferred()
{
    if (m_deferred.empty())
        return;
    const std::string line = std::move(m_deferred);
    m_deferred.clear();
    printLine(line, false);
}

void ConsolePort::showProgress(const Progress& progress)
{
    const double t = now();
    if (m_meter.update(progress, t))
        printLine("zbir: " + ProgressMeter::fileText(*m_meter.endedFile()), false);
    flushDeferred();
    const bool newFile = progress.file != m_drawnFile;
    if (m_options.terminal) {
        if (newFile || t - m_lastDraw >= kRedrawEvery)
            drawBar(t);
        return;
    }
    // A file whose records are counted from its start gets its line when it
    // ends; one whose start went unseen, when it is first seen.
    const bool startLine = newFile && !m_meter.fileCounted();
    if (newFile)
        m_lastDraw = t;
    m_drawnFile = progress.file;
    if (startLine || t - m_lastDraw >= m_options.plainEvery) {
        m_lastDraw = t;
        m_err << terminalText("zbir: " + m_meter.text(t)) << std::endl;
    }
}

void ConsolePort::drawBar(double t)
{
    m_drawnFile = m_meter.last().file;
    m_lastDraw = t;
    const std::string line = std::string("zbir: ") + progressBar(m_meter.fraction(), kBarWidth) + " " + m_meter.text(t, "  ");
    // One column short of the width, so that the cursor never wraps.
    m_bar = std::string("\r") + fitColumns(terminalText(line), m_options.columns - 1) + "\x1b[K";
    m_err << m_bar;
    m_err.flush();
}

void ConsolePort::clearBar()
{
    if (m_bar.empty())
        return;
    m_err << kClearLine;
    m_bar.clear();
}

void ConsolePort::finishProgress()
{
    clearBar();
    m_meter.endFile();
    if (const auto& ended = m_meter.endedFile(); ended && m_meter.started())
        m_err << terminalText("zbir: " + ProgressMeter::fileText(*ended)) << '\n';
    flushDeferred();
    if (m_meter.records() > 0) {
        m_err << terminalText("zbir: " + m_meter.summary(now())) << '\n';
        m_lastLine.clear();
    }
    m_err.flush();
    m_meter.reset();
    m_drawnFile = -1;
    m_lastDraw = -1e9;
}

void ConsolePort::watchStop(std::function<bool()> requested, std::function<void()> stop)
{
    m_stopRequested = std::move(requested);
    m_stop = std::move(stop);
}

void ConsolePort::processEvents()
{
    if (m_stopSeen || !m_stopRequested || !m_stopRequested())
        return;
    m_stopSeen = true;
    if (m_stop)
        m_stop();
}

void ConsolePort::showDetail(const std::string& text)
{
    printLine("zbir: " + text, false);
}

void ConsolePort::message(const std::string& text)
{
    flushDeferred();
    m_lastLine.clear();
    printLine("zbir: " + text, false);
}

void ConsolePort::error(const std::string& text)
{
    flushDeferred();
    m_lastLine.clear();
    printLine("zbir: b\xB3\xB9" "d: " + text, true);
}

}  // namespace zbir::shell
