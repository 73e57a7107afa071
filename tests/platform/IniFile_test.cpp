#include "platform/ELumatex.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;

TEST(IniFile, LookupFoldsAsciiCaseAndDropsBlanks) {
    const TIniFile ini = TIniFile::FromText("[Version]\r\n  PluginReader \t=  0.2 \t\r\n"
                                            "[ScreenName]\nFullName=Wave  Deluxe\n");
    EXPECT_EQ(ini.ReadString("version", "PLUGINREADER", "0.01"), "0.2");
    EXPECT_EQ(ini.ReadString("SCREENNAME", "fullname", ""), "Wave  Deluxe") << "inner blanks stay";
    EXPECT_EQ(ini.ReadString("Version", "Missing", "0.01"), "0.01");
    EXPECT_EQ(ini.ReadString("Nowhere", "PluginReader", "0.01"), "0.01");
    EXPECT_EQ(ini.ReadString("Version", "Missing", "dflt  "), "dflt") << "a default loses trailing blanks";
    // Only A..Z fold: bytes above 127 must match exactly.
    const TIniFile latin = TIniFile::FromText("[\xC4rger]\nk=1\n");
    EXPECT_EQ(latin.ReadString("\xC4RGER", "K", "no"), "1");
    EXPECT_EQ(latin.ReadString("\xE4rger", "k", "no"), "no");
}

TEST(IniFile, FirstSectionAndFirstKeyWin) {
    const TIniFile ini = TIniFile::FromText("k=outside\n[A]\nk=1\nK=2\n; k=comment\nnoequals\n[a]\nk=3\n");
    EXPECT_EQ(ini.ReadString("A", "k", ""), "1");
    EXPECT_EQ(ini.ReadSection("a"), (TIniPairs{{"k", "1"}, {"K", "2"}})) << "each pair with its own value";
    EXPECT_TRUE(ini.ReadSection("none").empty());
}

TEST(IniFile, SectionKeepsFileOrderAndSplitsAtFirstEquals) {
    const TIniFile ini =
        TIniFile::FromText("[parameter_u1f]\r\n zeta = 0.5 : 2 : a=b \r\n\r\nalpha=1;2 : 1 :\r\n = orphan\r\n");
    EXPECT_EQ(ini.ReadSection("PARAMETER_U1F"), (TIniPairs{{"zeta", "0.5 : 2 : a=b"}, {"alpha", "1;2 : 1 :"}}));
}

TEST(IniFile, ValuesAreCutAfter2047Characters) {
    const std::string longValue(5000, 'x');
    const TIniFile ini = TIniFile::FromText("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(ini.ReadString("s", "k", ""), std::string(2047, 'x'));
    EXPECT_EQ(ini.ReadSection("s").at(0).second.size(), 2047u);
}

TEST(IniFile, WriteReplacesInPlaceAndLeavesOtherLinesAlone) {
    const std::string before = "; made by hand\n[1]\nPlugInName = old.ini \nactive=1\n\n[2]\r\nPlugInName=NONE";
    TIniFile ini = TIniFile::FromText(before);
    ini.WriteString("1", "pluginname", "new.ini");
    EXPECT_EQ(ini.Text(), "; made by hand\n[1]\nPlugInName=new.ini\r\nactive=1\n\n[2]\r\nPlugInName=NONE");
    ini.WriteString("1", "parameter_u1f", "amount:0.5");
    EXPECT_EQ(ini.Text(), "; made by hand\n[1]\nPlugInName=new.ini\r\nactive=1\nparameter_u1f=amount:0.5\r\n\n"
                          "[2]\r\nPlugInName=NONE")
        << "appended after the section's last line, before its blank lines";
    ini.WriteString("2", "active", "0");
    EXPECT_EQ(ini.Text(), "; made by hand\n[1]\nPlugInName=new.ini\r\nactive=1\nparameter_u1f=amount:0.5\r\n\n"
                          "[2]\r\nPlugInName=NONE\r\nactive=0\r\n")
        << "the unterminated last line gets its line end";
    ini.WriteString("3", "PlugInName", "NONE");
    EXPECT_TRUE(ini.Text().ends_with("active=0\r\n[3]\r\nPlugInName=NONE\r\n"));
    EXPECT_EQ(ini.ReadString("3", "pluginname", ""), "NONE");
}

TEST(IniFile, WrittenLineBreaksCannotInjectLines) {
    TIniFile ini;
    ini.WriteString("s\r\n[evil]", "k\nx", "v\r\n[other]\r\nk=2");
    EXPECT_EQ(ini.Text(), "[s]\r\nk=v\r\n");
    EXPECT_FALSE(ini.SectionExists("other"));
}

TEST(IniFile, GarbageNulBytesAndHugeLinesNeverBreakReading) {
    std::string bytes = "[s]\nk=a";
    bytes += '\0';
    bytes += "b\n";
    bytes += std::string(3'000'000, '[');
    bytes += std::string("\n\xFF\xFE\x00\x01=\x80\n[s2]\nok = yes\n", 22);
    bytes += "[unclosed\nk2=v2\n]\n=\n[]\n=x\n";
    const TIniFile ini = TIniFile::FromText(bytes);
    EXPECT_EQ(ini.ReadString("s", "k", ""), std::string("a\0b", 3));
    EXPECT_EQ(ini.ReadString("s2", "ok", ""), "yes");
    EXPECT_EQ(ini.ReadString("unclosed", "k2", ""), "v2") << "a header without ']' names the rest of the line";
    EXPECT_EQ(ini.ReadString("", "", "d"), "d");
    EXPECT_EQ(ini.Text(), bytes) << "parsing alone changes nothing";
}

TEST(IniFile, FilesMissingOrFoldersReadAsEmpty) {
    TTempFolder tmp;
    EXPECT_EQ(ReadProfileString(tmp.File("missing.ini"), "s", "k", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString(tmp.Path(), "s", "k", "dflt"), "dflt");
    EXPECT_TRUE(ReadProfileSection(tmp.File("missing.ini"), "s").empty());
    WriteTextFile(tmp.File("lf.ini"), "[s]\nk=v\nj = w");
    EXPECT_EQ(ReadProfileString(tmp.File("lf.ini"), "S", "K", ""), "v");
    EXPECT_EQ(ReadProfileSection(tmp.File("lf.ini"), "s"), (TIniPairs{{"k", "v"}, {"j", "w"}}));
}

TEST(IniFile, WriteCreatesUpdatesAndKeepsPermissions) {
    TTempFolder tmp;
    const std::string path = tmp.File("p.prs");
    WriteProfileString(path, "1", "PlugInName", "NONE");
    WriteProfileString(path, "2", "PlugInName", "wave.ini");
    WriteProfileString(path, "2", "active", "1");
    WriteProfileString(path, "1", "PlugInName", "blur.ini");
    EXPECT_EQ(ReadTextFile(path), "[1]\r\nPlugInName=blur.ini\r\n[2]\r\nPlugInName=wave.ini\r\nactive=1\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteProfileString(path, "2", "active", "0");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(tmp.Path())) ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file is left behind";
}

TEST(IniFile, WriteThroughALinkReplacesItsTarget) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("real.ini"), "[s]\nk=1\n");
    fs::create_symlink(tmp.File("real.ini"), tmp.File("link.ini"));
    WriteProfileString(tmp.File("link.ini"), "s", "k", "2");
    EXPECT_TRUE(fs::is_symlink(tmp.File("link.ini")));
    EXPECT_EQ(ReadTextFile(tmp.File("real.ini")), "[s]\nk=2\r\n");
}

TEST(IniFile, RefusedWritesRaiseTheQuotedErrorAndChangeNothing) {
    TTempFolder tmp;
    const auto expectRefused = [](const std::string& path) {
        try {
            WriteProfileString(path, "1", "PlugInName", "NONE");
            ADD_FAILURE() << "no error for " << path;
        } catch (const ELumatex& e) {
            EXPECT_EQ(std::string(e.what()), "In " + path + " kann nicht geschrieben werden");
        }
    };
    expectRefused(tmp.File("no-such-folder/p.prs"));
    fs::create_directory(tmp.File("folder.prs"));
    expectRefused(tmp.File("folder.prs"));
    EXPECT_TRUE(fs::is_directory(tmp.File("folder.prs")));
    WriteTextFile(tmp.File("plain"), "x");
    expectRefused(tmp.File("plain/p.prs"));
    EXPECT_EQ(ReadTextFile(tmp.File("plain")), "x");
    expectRefused("");
}
