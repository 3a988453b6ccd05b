// Bad input files, end to end through the core with a headless window: for
// each, what the status line and the run log say, that the run still builds
// and saves the workbook from what could be read, and that the earlier
// month's work (workbook, combined file, text copies) is kept whole.

#include "shell/earlier_work.h"
#include "base/winfs.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace zbir::test {
namespace {

namespace fs = std::filesystem;

const std::string kBad = "JPK_VAT_2017_05_C.xml";

class BadInputTest : public EarlierWorkFixture {
protected:
    // The earlier work, then a third file `bytes` in the group and the
    // transport again. Returns the log lines that run wrote.
    std::vector<std::string> transportWith(const std::string& bytes, const std::string& name = kBad)
    {
        earlierWork();
        if (HasFatalFailure())
            return {};
        addXml(name, bytes);
        const std::size_t before = logLines().size();
        restart().MakeXLS();
        return newLogLines(before);
    }

    // The run said `message` about the bad file in red, logged it with code
    // 9, still summed up and saved, and went back to idle. The scanner names
    // the file as the folder spells it, the transport as the list shows it.
    void expectReported(const std::vector<std::string>& log, const std::string& message,
                        const std::string& name = kBad)
    {
        const std::string line = name + ": " + message;
        EXPECT_FALSE(app->lastOk());
        EXPECT_EQ(app->state, 0);
        EXPECT_EQ(app->statusColour(), shell::Red);
        EXPECT_EQ(app->statusText(), line);
        EXPECT_NE(std::find(log.begin(), log.end(), "  ... " + line), log.end()) << "log lacks: " << line;
        EXPECT_TRUE(logContains("Podsumowanie stworzonych arkuszy"));
        workbook::loadWorkbookFile(workbook());  // the new workbook saved whole
        expectEarlierWorkKept();
    }

    // The copy of a file read whole is well-formed XML.
    void expectWellFormedCopy(const std::string& name = kBad)
    {
        const fs::path copy = copyPath(name);
        ASSERT_TRUE(fs::exists(copy)) << copy;
        std::string error;
        EXPECT_TRUE(wellFormedXml(readFile(copy), &error)) << error;
    }
};

TEST_F(BadInputTest, FileCutInsideAValue)
{
    const std::string whole = vatFile({{"7", "1.61"}});
    expectReported(transportWith(whole.substr(0, whole.find("Firma 1") + 5)),
                   "plik urwany w elemencie <NazwaKontrahenta>");
}

TEST_F(BadInputTest, FileCutInsideATag)
{
    const std::string whole = vatFile({{"7", "1.61"}});
    const std::size_t cut = whole.find("<tns:DowodSprzedazy>") + 5;
    expectReported(transportWith(whole.substr(0, cut)), "plik urwany w znaczniku");
}

TEST_F(BadInputTest, FileCutBetweenElements)
{
    const std::string whole = vatFile({{"7", "1.61"}});
    expectReported(transportWith(whole.substr(0, whole.find("</tns:JPK>"))), "plik urwany, brak </JPK>");
}

TEST_F(BadInputTest, EmptyFile)
{
    expectReported(transportWith(""), "brak znacznik\xF3w XML");
}

TEST_F(BadInputTest, BinaryJunk)
{
    std::string junk;
    for (int i = 0; i < 100000; ++i)
        junk += static_cast<char>((i * 2654435761u) >> 24);
    const auto log = transportWith(junk);
    // Whatever the junk gave, the run says something is wrong with the file.
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->statusText().rfind(kBad + ": ", 0), 0u) << app->statusText();
    bool logged = false;
    for (const std::string& l : log)
        logged = logged || l.rfind("  ... " + kBad + ": ", 0) == 0;
    EXPECT_TRUE(logged);
    expectEarlierWorkKept();
}

// Bytes that are no UTF-8 in a file declared UTF-8 are read as Windows-1250
// (what such files hold in practice): no message, right letters, and the
// copy is proper UTF-8.
TEST_F(BadInputTest, InvalidUtf8IsReadAsWindows1250)
{
    std::string file = vatFile({{"7", "1.61"}});
    file.replace(file.find("Firma 1"), 7, "\xA3\xF3" "d\x9F \xFF\xFE");
    transportWith(file);
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    xl().sheetsSelect(4);
    bool found = false;
    for (int row = 1; row < 30 && !found; ++row)
        found = xl().cellValue(row, 3) == "\xA3\xF3" "d\x9F \xFF\xFE";
    EXPECT_TRUE(found);
    expectWellFormedCopy();
    EXPECT_NE(readFile(copyPath(kBad)).find("\xC5\x81\xC3\xB3" "d\xC5\xBA"),
              std::string::npos);
    expectEarlierWorkKept();
}

TEST_F(BadInputTest, DeclaredEncodingThatLies)
{
    std::string file = vatFile({{"7", "1.61"}});
    file.replace(file.find("UTF-8"), 5, "windows-1250");
    file.replace(file.find("Firma 1"), 7, "\xC5\x81\xC3\xB3" "d\xC5\xBA");
    expectReported(transportWith(file), "tekst w UTF-8 wbrew deklaracji kodowania");
}

TEST_F(BadInputTest, FiftyMegabyteSingleLine)
{
    // 1,000 records with 50 KB of blanks after each, and not one line end.
    std::vector<std::pair<std::string, std::string>> sales(1000, {"1", "0.23"});
    std::string file = vatFile(sales);
    std::string line;
    line.reserve(52u << 20);
    const std::string blanks(53000, ' ');
    for (char c : file) {
        if (c == '\r' || c == '\n')
            continue;
        line += c;
        if (c == '>' && line.ends_with("</tns:SprzedazWiersz>"))
            line += blanks;
    }
    ASSERT_GT(line.size(), 50u << 20);
    transportWith(line);
    EXPECT_TRUE(app->lastOk()) << app->statusText();
    xl().sheetsSelect(4);
    int rows = 0;
    while (rows < 2000 && xl().cellValue(rows + 1, 1) != "LuKa-Werks")
        ++rows;
    EXPECT_GT(rows, 1000);  // every record read
    expectWellFormedCopy();
    expectEarlierWorkKept();
}

TEST_F(BadInputTest, TenThousandNestedContainers)
{
    std::string file = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><JPK>";
    for (int i = 0; i < 10000; ++i)
        file += "<Poziom>";
    file += "<Wartosc>1</Wartosc>";
    for (int i = 0; i < 10000; ++i)
        file += "</Poziom>";
    file += "</JPK>";
    expectReported(transportWith(file), "zagnie\xBF" "d\xBF" "enie g\xB3\xEA" "bsze ni\xBF 20 poziom\xF3w");
}

// The spreadsheet holds at most 32,767 characters in a cell: it refuses the
// value, which ends the run with the file's name; no new workbook is saved
// and the earlier one keeps its name.
TEST_F(BadInputTest, TenMegabyteValue)
{
    std::string file = vatFile({{"7", "1.61"}});
    file.replace(file.find("Firma 1"), 7, std::string(10u << 20, 'x'));
    const auto log = transportWith(file);
    const std::string line =
        "JPK_VAT_2017_05_C.XML: Tekst d\xB3u\xBFszy ni\xBF 32767 znak\xF3w; JPK_VAT_2017_05.XLS bez zmian";
    EXPECT_FALSE(app->lastOk());
    EXPECT_EQ(app->state, 0);
    EXPECT_EQ(app->statusText(), line);
    EXPECT_NE(std::find(log.begin(), log.end(), "  ... " + line), log.end());
    EXPECT_FALSE(fs::exists(copyPath(kBad)));
    EXPECT_FALSE(fs::exists(previous()));
    expectEarlierWorkKept(false);
}

TEST_F(BadInputTest, FileGoneBetweenListingAndReading)
{
    earlierWork();
    addXml(kBad, vatFile({{"7", "1.61"}}));
    shell::App& a = restart();
    ASSERT_EQ(a.files().size(), 3u);
    fs::remove(root / kBad);
    const std::size_t before = logLines().size();
    a.MakeXLS();
    expectReported(newLogLines(before), "nie mo\xBFna odczyta\xE6 pliku", "JPK_VAT_2017_05_C.XML");
}

// As root (CI) permissions do not stop reading; a dangling link is a file
// that is listed and cannot be read for everyone. The unreadable file proper
// is in the folder-fault tests, run as an unprivileged user.
TEST_F(BadInputTest, ListedFileThatCannotBeOpened)
{
    earlierWork();
    fs::create_symlink(root / "nowhere.xml", root / kBad);
    const std::size_t before = logLines().size();
    restart().MakeXLS();
    expectReported(newLogLines(before), "nie mo\xBFna odczyta\xE6 pliku", "JPK_VAT_2017_05_C.XML");
}

TEST_F(BadInputTest, NamesWithBlanksAndPolishLetters)
{
    // The parent folder, the working folder and the files all have them.
    const fs::path parent = root / "Ksi\xC4\x99gowo\xC5\x9B\xC4\x87 2017 maj";
    const fs::path praca = parent / "praca \xC5\x82\xC3\xB3" "dzka";
    fs::create_directories(praca);
    writeFile(praca / "Podmiot1.JPK", kFixtureSubject);
    writeFile(parent / "JPK_VAT_2017_05_\xC5\x81\xC3\xB3" "d\xC5\xBA 1.xml", vatFile({{"100", "23"}}));
    writeFile(parent / "JPK_VAT_2017_05_\xC5\xBB\xC3\xB3\xC5\x82ty 2.xml", vatFile({{"50", "11.5"}}));
    shell::App a(praca, port, provider);
    port.app = &a;
    a.FoCreat();
    ASSERT_TRUE(a.selectGroup(kGroup));
    ASSERT_EQ(a.files().size(), 2u);
    a.MakeXLS();
    EXPECT_TRUE(a.lastOk()) << a.statusText();
    a.MakeJPK();
    EXPECT_TRUE(a.lastOk()) << a.statusText();
    EXPECT_EQ(a.state, 0);
    std::string error;
    EXPECT_TRUE(wellFormedXml(readFile(parent / (kGroup + ".xml")), &error)) << error;
    EXPECT_EQ(snapshot(praca / "TXT").size(), 2u);
    workbook::loadWorkbookFile(praca / (kGroup + ".XLS"));
    port.app = nullptr;
}

TEST_F(BadInputTest, ThousandsOfFilesInTheParentFolder)
{
    // 5,000 files of other groups and other kinds beside the group's two.
    for (int i = 0; i < 5000; ++i)
        writeFile(root / ("JPK_KR_2016_" + std::to_string(10000 + i) + (i % 2 ? ".xml" : ".txt")), "<JPK/>");
    const auto started = std::chrono::steady_clock::now();
    earlierWork();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(app->files().size(), 2u);
    EXPECT_GE(app->groups().size(), 2u);
    RecordProperty("seconds_with_5000_files", std::to_string(seconds));
}

// A TCP port on this machine that counts who connects to it: an entity
// naming it is fetched exactly when someone connects.
class Listener {
public:
    Listener()
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_fd < 0 || bind(m_fd, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(m_fd, 8) != 0 ||
            getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("no listening socket");
        m_port = ntohs(a.sin_port);
    }
    ~Listener() { close(m_fd); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/jpk.dtd"; }
    int connections()
    {
        int fd;
        while ((fd = accept(m_fd, nullptr, nullptr)) >= 0) {
            close(fd);
            ++m_count;
        }
        return m_count;
    }

private:
    int m_fd = -1;
    int m_port = 0;
    int m_count = 0;
};

// A VAT file whose first value refers to `reference`, after `doctype`.
std::string hostile(const std::string& doctype, const std::string& reference)
{
    std::string file = vatFile({{"100.00", "23.00"}});
    const std::size_t root = file.find("<tns:JPK");
    file.insert(root, doctype + "\n");
    const std::size_t value = file.find("Firma 1");
    file.replace(value, 7, reference);
    return file;
}

// The bad file's copy in TXT, under whichever name the transport gave it
// (".TXT" when nothing was changed, ".XML" otherwise); well-formed XML.
std::string badCopy(const fs::path& work)
{
    std::string name = base::winfs::upper(kBad);
    for (const char* ending : {"TXT", "XML"}) {
        const fs::path p = work / "TXT" / (name.substr(0, name.size() - 3) + ending);
        if (fs::exists(p)) {
            std::string bytes = readFile(p);
            std::string error;
            EXPECT_TRUE(wellFormedXml(bytes, &error)) << error;
            return bytes;
        }
    }
    ADD_FAILURE() << "no copy of " << kBad;
    return {};
}

const std::string kDoctypeNotice = "deklaracja DOCTYPE pomini\xEAta, encje nie s\xB9 rozwijane";

// Nested entities that would expand to gigabytes: never expanded. The file
// is read as any other, its references to unknown entities marked, the
// user told; the check of the file refuses it before parsing anything.
TEST_F(BadInputTest, BillionLaughs)
{
    std::string laughs = "<!DOCTYPE tns:JPK [<!ENTITY l0 \"ha\">";
    for (int i = 1; i <= 12; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]>";
    const std::string bytes = hostile(laughs, "&l12;");
    expectReported(transportWith(bytes), kDoctypeNotice);
    const std::string copy = badCopy(work());
    EXPECT_LT(copy.size(), 2 * bytes.size());
    EXPECT_EQ(copy.find("hahaha"), std::string::npos);

    const ProgramRun check = runZbir({"sprawdz", (root / kBad).string()});
    EXPECT_EQ(check.exitCode, 1) << check.output;
    EXPECT_NE(check.output.find(kBad + ":2: deklaracja DOCTYPE"), std::string::npos) << check.output;
}

// External entities naming a local file and an address on this machine:
// neither is read or fetched, by the transport or by the check.
TEST_F(BadInputTest, ExternalEntities)
{
    Listener listener;
    const std::string doctype = "<!DOCTYPE tns:JPK [<!ENTITY plik SYSTEM \"file:///etc/passwd\">"
                                "<!ENTITY siec SYSTEM \"" + listener.url() + "\">"
                                "<!ENTITY % zdalna SYSTEM \"" + listener.url() + "\"> %zdalna;]>";
    expectReported(transportWith(hostile(doctype, "&plik;&siec;")), kDoctypeNotice);
    const std::string copy = badCopy(work());
    EXPECT_EQ(copy.find("root:"), std::string::npos);
    xl().sheetsSelect(4);
    for (int row = 1; row <= 40; ++row)
        for (int col = 1; col <= 60; ++col)
            EXPECT_EQ(xl().cellValue(row, col).find("root:"), std::string::npos) << row << "," << col;

    const ProgramRun check = runZbir({"sprawdz", (root / kBad).string()});
    EXPECT_EQ(check.exitCode, 1) << check.output;
    EXPECT_NE(check.output.find("deklaracja DOCTYPE"), std::string::npos) << check.output;
    EXPECT_EQ(check.output.find("root:"), std::string::npos) << check.output;
    EXPECT_EQ(listener.connections(), 0);
}

}  // namespace
}  // namespace zbir::test
