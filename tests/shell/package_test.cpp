// The Debian package of this build tree: made by CPack, unpacked into a
// scratch root with dpkg -x, and its program run from there.

#include "support/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using zbir::test::readFile;
using zbir::test::runCommand;
using zbir::test::TempDir;
using zbir::test::writeFile;

namespace {

std::string quoted(const fs::path& p)
{
    return "'" + p.string() + "'";
}

// The program lies at the top of the build tree.
fs::path buildDir()
{
    return fs::path(ZBIR_BINARY).parent_path();
}

std::string field(const fs::path& deb, const std::string& name)
{
    std::string out;
    EXPECT_EQ(runCommand("dpkg-deb -f " + quoted(deb) + " " + name, &out), 0) << out;
    if (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

}  // namespace

TEST(DebianPackage, InstallsInAScratchRootAndRuns)
{
    TempDir tmp;
    std::string out;
    ASSERT_EQ(runCommand("cd " + quoted(buildDir()) + " && cpack -G DEB -B " + quoted(tmp / "out") +
                             " --config CPackConfig.cmake",
                         &out),
              0)
        << out;
    fs::path deb;
    for (const auto& e : fs::directory_iterator(tmp / "out"))
        if (e.path().extension() == ".deb")
            deb = e.path();
    ASSERT_FALSE(deb.empty()) << out;

    EXPECT_EQ(field(deb, "Package"), "zbir");
    EXPECT_EQ(field(deb, "Version"), ZBIR_VERSION);
    // The libraries the program links, and Qt's platform plugins for the window.
    const std::string depends = field(deb, "Depends");
    for (const char* package : {"libc6", "libstdc++6", "libxlsxwriter", "liborcus-0.17", "libjpeg62-turbo"})
        EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
    if (depends.find("libqt6widgets6") != std::string::npos) {
        EXPECT_NE(depends.find("qt6-qpa-plugins"), std::string::npos) << depends;
    }

    const fs::path root = tmp / "root";
    ASSERT_EQ(runCommand("dpkg -x " + quoted(deb) + " " + quoted(root), &out), 0) << out;
    for (const char* file : {"usr/bin/zbir", "usr/share/applications/zbir.desktop",
                             "usr/share/icons/hicolor/48x48/apps/zbir.png", "usr/share/icons/hicolor/64x64/apps/zbir.png",
                             "usr/share/icons/hicolor/128x128/apps/zbir.png", "usr/share/man/man1/zbir.1.gz",
                             "usr/share/man/pl/man1/zbir.1.gz"})
        EXPECT_TRUE(fs::is_regular_file(root / file)) << file;

    const fs::path zbir = root / "usr" / "bin" / "zbir";
    ASSERT_EQ(runCommand(quoted(zbir) + " --version", &out), 0) << out;
    EXPECT_EQ(out, std::string("zbir ") + ZBIR_VERSION + "\n");

    // The installed program does real work.
    fs::create_directories(tmp / "jpk" / "praca");
    writeFile(tmp / "jpk" / "JPK_VAT_2017_05_A.XML", "<JPK/>");
    ASSERT_EQ(runCommand(quoted(zbir) + " -C " + quoted(tmp / "jpk" / "praca") + " groups 2>/dev/null", &out), 0)
        << out;
    EXPECT_EQ(out, "* JPK_VAT_2017_05\n");

    EXPECT_EQ(runCommand("desktop-file-validate " + quoted(root / "usr/share/applications/zbir.desktop"), &out), 0)
        << out;
    // Both man pages carry the version and format without a warning.
    for (const char* page : {"usr/share/man/man1/zbir.1.gz", "usr/share/man/pl/man1/zbir.1.gz"}) {
        ASSERT_EQ(runCommand("zcat " + quoted(root / page) + " | grep -c '^\\.TH ZBIR 1 .*\"zbir " + ZBIR_VERSION +
                                 "\"'",
                             &out),
                  0)
            << page;
        ASSERT_EQ(runCommand("zcat " + quoted(root / page) + " | preconv | groff -man -Tutf8 -ww -z", &out), 0) << page;
        EXPECT_EQ(out, "") << page;
    }
}
