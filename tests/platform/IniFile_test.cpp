#include "platform/ELumatex.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <new>

namespace fs = std::filesystem;

TEST(IniFile, LookupFoldsAsciiCaseFirstSectionAndKeyWinAndSectionsKeepFileOrder) {
    const TIniFile ini = TIniFile::FromText("k=outside\n[Version]\r\n  PluginReader \t=  0.2 \t\r\n"
                                            "[ScreenName]\nFullName=Wave  Deluxe\n"
                                            "[A]\nk=1\nK=2\n; k=comment\nnoequals\n = orphan\n[a]\nk=3\n"
                                            "[p]\n zeta = 0.5 : 2 : a=b \r\n\r\nalpha=1;2 : 1 :\r\n"
                                            "[\xC4rger]\nk=1\n");
    EXPECT_EQ(ini.ReadString("version", "PLUGINREADER", "0.01"), "0.2");
    EXPECT_EQ(ini.ReadString("SCREENNAME", "fullname", ""), "Wave  Deluxe") << "inner blanks stay";
    EXPECT_EQ(ini.ReadString("Nowhere", "PluginReader", "0.01"), "0.01");
    EXPECT_EQ(ini.ReadString("Version", "Missing", "dflt  "), "dflt") << "a default loses trailing blanks";
    EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
    EXPECT_EQ(ini.ReadSection("a"), (TIniPairs{{"k", "1"}, {"K", "2"}})) << "each pair with its own value";
    EXPECT_TRUE(ini.ReadSection("none").empty());
    EXPECT_EQ(ini.ReadSection("P"), (TIniPairs{{"zeta", "0.5 : 2 : a=b"}, {"alpha", "1;2 : 1 :"}}));
    // Only A..Z fold: bytes above 127 must match exactly.
    EXPECT_EQ(ini.ReadString("\xC4RGER", "K", "no"), "1");
    EXPECT_EQ(ini.ReadString("\xE4rger", "k", "no"), "no");
    const TIniFile longValue = TIniFile::FromText("[s]\nk=" + std::string(5000, 'x') + "\n");
    EXPECT_EQ(longValue.ReadString("s", "k", ""), std::string(2047, 'x'));
}

TEST(IniFile, WriteReplacesInPlaceAppendsAtTheSectionEndAndCannotInjectLines) {
    TIniFile ini =
        TIniFile::FromText("; made by hand\n[1]\nPlugInName = old.ini \nactive=1\n\n[2]\r\nPlugInName=NONE");
    ini.WriteString("1", "pluginname", "new.ini");
    ini.WriteString("1", "parameter_u1f", "amount:0.5"); // after the section's last line, before its blanks
    ini.WriteString("2", "active", "0");                 // the unterminated last line gets its line end
    ini.WriteString("3", "PlugInName", "NONE");
    EXPECT_EQ(ini.Text(), "; made by hand\n[1]\nPlugInName=new.ini\r\nactive=1\nparameter_u1f=amount:0.5\r\n"
                          "\n[2]\r\nPlugInName=NONE\r\nactive=0\r\n[3]\r\nPlugInName=NONE\r\n");
    EXPECT_EQ(ini.ReadString("3", "pluginname", ""), "NONE");

    TIniFile injected;
    injected.WriteString("s\r\n[evil]", "k\nx", "v\r\n[other]\r\nk=2");
    EXPECT_EQ(injected.Text(), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(injected.SectionExists("other"));
}

TEST(IniFile, FilesReadMissingAsEmptyAndSaveKeepingPermissionsAndLinks) {
    TTempFolder tmp;
    EXPECT_EQ(TIniFile::FromFile(tmp.File("missing.ini")).Text(), "");
    EXPECT_EQ(TIniFile::FromFile(tmp.Path()).Text(), "") << "a folder reads as empty";

    const std::string path = tmp.File("p.prs");
    WriteTextFile(path, "[1]\nPlugInName=wave.ini\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    TIniFile ini = TIniFile::FromFile(path);
    ini.WriteString("1", "active", "0");
    ini.SaveToFile(path);
    EXPECT_EQ(ReadTextFile(path), "[1]\nPlugInName=wave.ini\nactive=0\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), {}), 1) << "no temporary file is left behind";

    fs::create_symlink(path, tmp.File("link.ini"));
    ini.WriteString("1", "active", "1");
    ini.SaveToFile(tmp.File("link.ini"));
    EXPECT_TRUE(fs::is_symlink(tmp.File("link.ini")));
    EXPECT_EQ(ReadTextFile(path), "[1]\nPlugInName=wave.ini\nactive=1\r\n");
}

TEST(IniFile, RefusedWritesRaiseTheQuotedErrorAndChangeNothing) {
    TTempFolder tmp;
    fs::create_directory(tmp.File("folder.prs"));
    WriteTextFile(tmp.File("plain"), "x");
    for (const std::string& path :
         {tmp.File("no-such-folder/p.prs"), tmp.File("folder.prs"), tmp.File("plain/p.prs"), std::string()}) {
        try {
            TIniFile::FromText("[1]\nPlugInName=NONE\n").SaveToFile(path);
            ADD_FAILURE() << "no error for " << path;
        } catch (const ELumatex& e) {
            EXPECT_EQ(std::string(e.what()), "In " + path + " kann nicht geschrieben werden");
        }
    }
    EXPECT_TRUE(fs::is_directory(tmp.File("folder.prs")));
    EXPECT_EQ(ReadTextFile(tmp.File("plain")), "x");
}

TEST(IniFile, FilesOverOneMebibyteAreRefusedAndAReadFileTakesAboutItsOwnSize) {
    TTempFolder tmp;
    // Empty lines: the shortest lines a file can hold, each one a line to keep track of.
    const std::string head = "[s]\nk=v\n";
    std::string text = head + std::string(kIniFileMaxBytes - head.size(), '\n');
    WriteTextFile(tmp.File("full.prs"), text);
    WriteTextFile(tmp.File("over.prs"), text + "\n");
    try {
        TIniFile::FromFile(tmp.File("over.prs"));
        ADD_FAILURE() << "a file over the limit was read";
    } catch (const ELumatex& e) {
        EXPECT_EQ(std::string(e.what()), tmp.File("over.prs") +
                                             " is too large: 1048577 bytes; description, preset and settings "
                                             "files are read up to 1048576 bytes (1 MiB)");
    }
    EXPECT_EQ(ReadProfileString(tmp.File("over.prs"), "s", "k", "none"), "none") << "these never fail";

    const int verdict = RunWithinAddressSpace(size_t(8) << 20, [&] {
        TIniFile ini = TIniFile::FromFile(tmp.File("full.prs"));
        ini.WriteString("s", "k2", "w");
        return ini.ReadString("s", "k", "") == "v" && ini.ReadString("s", "k2", "") == "w" &&
               ini.Text().size() == kIniFileMaxBytes + 6;
    });
    EXPECT_EQ(verdict, 0) << "a file of 1 MiB read and edited within 8 MiB (2: out of memory)";
}
