#include "shell/run_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;
using zbir::shell::RunLog;
using zbir::test::readFile;
using zbir::test::TempDir;
using zbir::test::writeFile;

TEST(RunLog, NewLogStartsWithAnEmptyLineThenOneLinePerEntry)
{
    TempDir dir;
    RunLog log(dir.path());
    for (int code : {0, 1})
        log.event(static_cast<std::uint8_t>(code));
    for (int code = 2; code <= 10; ++code)
        log.event(static_cast<std::uint8_t>(code), "JPK_VAT_2017_05");
    log.event(255, "");
    EXPECT_EQ(readFile(dir / "ZBIR.LOG"),
              "\r\n"
              "  -\r\n"
              "    ~~~~~  operacja anulowana  ~~~~~\r\n"
              "  Uruchomienie funkcji JPK_VAT_2017_05\r\n"
              "  Przygotowanie listy plik\xF3w w formacie XML dla grupy: JPK_VAT_2017_05\r\n"
              "  Transport plik\xF3w JPK_VAT_2017_05*.XML do zeszytu JPK_VAT_2017_05.XLS\r\n"
              "  Kasowanie JPK_VAT_2017_05\r\n"
              "  Zapis poprzedniej wersji jako JPK_VAT_2017_05\r\n"
              "  Podsumowanie stworzonych arkuszy w pierwszym arkuszu o nazwie -SUMA-\r\n"
              "  Odczyt pliku Podmiot1.JPK z definicjami p\xF3l dla Naglowka i Podmiotu1\r\n"
              "  ... JPK_VAT_2017_05\r\n"
              "  Co\x9C innego ( JPK_VAT_2017_05 )\r\n"
              "  Co\x9C innego (  )\r\n");
}

TEST(RunLog, AppendsToAnExistingLogWhateverTheCaseOfItsName)
{
    TempDir dir;
    writeFile(dir / "zbir.log", "\r\n  -\r\n");
    RunLog log(dir.path());
    log.event(0);
    EXPECT_EQ(readFile(dir / "zbir.log"), "\r\n  -\r\n  -\r\n");
    EXPECT_FALSE(fs::exists(dir / "ZBIR.LOG"));
}

TEST(RunLog, ALogThatCannotBeWrittenRaises)
{
    TempDir dir;
    fs::create_directory(dir / "ZBIR.LOG");
    RunLog log(dir.path());
    EXPECT_THROW(log.event(0), std::runtime_error);
}
