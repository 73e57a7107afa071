#include "platform/RegistryFile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <random>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

const std::string kHead = std::string("REGEDIT4\n\n[") + kSettingsKey + "]\n";

// What the Windows registry editor writes: UTF-16LE with a byte order mark.
std::string Utf16LeFile(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text)
        bytes += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

} // namespace

TEST(RegistryFile, WritesRegedit4InInsertionOrderAndEveryValueComesBackExactly) {
    const std::string multiLine("one\r\ntwo\nthree\0four", 19);
    TRegistryFile reg(kSettingsKey);
    reg.WriteDword("FBOSize", 512);
    reg.WriteDword("main_left", -10);
    reg.WriteString("LastFile", "C:\\a \"b\"");
    reg.WriteString("LastPath", "/x/dir\\");
    reg.WriteString("Multi", multiLine);
    reg.WriteString("Long", std::string(10000, 'x'));
    reg.WriteDword("fbosize", 256); // replaces in place, whatever the case
    const std::string text = reg.Text();
    EXPECT_EQ(text.substr(0, text.find("\"Multi\"")),
              kHead + "\"fbosize\"=dword:00000100\n\"main_left\"=dword:fffffff6\n"
                      "\"LastFile\"=\"C:\\\\a \\\"b\\\"\"\n\"LastPath\"=\"/x/dir\\\\\"\n");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 + 6) << "one line per value";

    const TRegistryFile back = TRegistryFile::FromText(kSettingsKey, text);
    ASSERT_EQ(back.Values().size(), 6u);
    EXPECT_EQ(back.ReadDword("MAIN_LEFT"), -10);
    EXPECT_EQ(back.ReadString("LastFile"), "C:\\a \"b\"");
    EXPECT_EQ(back.ReadString("LastPath"), "/x/dir\\");
    EXPECT_EQ(back.ReadString("Multi"), multiLine);
    EXPECT_EQ(back.ReadString("Long"), std::string(10000, 'x'));
    EXPECT_EQ(back.ReadDword("LastFile"), std::nullopt) << "a string is not a DWORD";
    EXPECT_EQ(back.ReadString("FBOSize"), std::nullopt) << "nor a DWORD a string";
}

TEST(RegistryFile, ReadsAWindowsExportOfVersion5) {
    const TRegistryFile reg = TRegistryFile::FromText(
        kSettingsKey, Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                  u"[HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings\\sub]\r\n"
                                  u"\"Elsewhere\"=dword:00000001\r\n\r\n"
                                  u"[HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings]\r\n"
                                  u"\"jpegquality\"=dword:0000004B\r\n"
                                  u"\"LastPath\"=\"C:\\\\Vid\u00e9os\\\\\"\r\n"
                                  u"@=\"unnamed\"\r\n; a comment\r\n"
                                  u"\"Title\"=hex(1):41,00,0a,00,3c,d8,ac,df,\\\r\n  00,00\r\n"
                                  u"\"Size\"=hex(4):00,02,00,00\r\n"
                                  u"\"Blob\"=hex:01,02\r\n\"Path\"=hex(2):25,00,00,00\r\n\r\n"
                                  u"[-HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings]\r\n"
                                  u"\"Deleted\"=dword:00000001\r\n"
                                  u"[hkey_current_user\\software\\quorvale\\lumatex\\v1\\SETTINGS\\]\r\n"
                                  u"\"Again\"=\"yes\"\r\n"));
    EXPECT_EQ(reg.ReadDword("JpegQuality"), 75);
    EXPECT_EQ(reg.ReadString("lastpath"), "C:\\Vid\xC3\xA9os\\");
    EXPECT_EQ(reg.ReadString("Title"), "A\n\xF0\x9F\x8E\xAC") << "UTF-16 data, continued on the next line";
    EXPECT_EQ(reg.ReadDword("Size"), 512);
    EXPECT_EQ(reg.ReadString("Again"), "yes") << "the key line compares without regard to case";
    for (const char* other : {"Blob", "Path"}) {
        ASSERT_NE(reg.Find(other), nullptr) << other;
        EXPECT_EQ(reg.Find(other)->Kind, TRegValueKind::Other) << other;
    }
    EXPECT_EQ(reg.Values().size(), 7u) << "nothing from other keys, no unnamed value";
    EXPECT_NE(reg.Text().find("\n\"Blob\"=hex:01,02\n"), std::string::npos) << "other types are written back";
}

TEST(RegistryFile, DataOfAnyOtherFormIsAnotherType) {
    using enum TRegValueKind;
    const std::vector<std::pair<std::string, TRegValueKind>> cases = {
        {"dword:1", Dword},
        {"DWORD:FFFFFFFF  ", Dword},
        {"hex(1):", String},
        {"dword:", Other},
        {"dword:123456789", Other},
        {"dword:" + std::string(40, 'f'), Other},
        {"dword:12g4", Other},
        {"dword:-1", Other},
        {"\"unterminated", Other},
        {"\"escaped end\\\"", Other},
        {"\"a\" trailing", Other},
        {"hex(1):61,zz", Other},
        {"hex(1):61,,62", Other},
        {"hex(4):01,02,03", Other},
        {"hex(b):00", Other},
        {"1", Other},
        {"", Other}};
    for (const auto& [data, kind] : cases) {
        const TRegistryFile reg = TRegistryFile::FromText(kSettingsKey, kHead + "\"v\"=" + data + "\n");
        ASSERT_NE(reg.Find("v"), nullptr) << data;
        EXPECT_EQ(reg.Find("v")->Kind, kind) << data;
    }
    EXPECT_EQ(TRegistryFile::FromText(kSettingsKey, kHead + "\"v\"=DWORD:FFFFFFFF\n").ReadDword("v"), -1);

    const TRegistryFile later = TRegistryFile::FromText(
        kSettingsKey, kHead + "\"v\"=dword:1\n\"V\"=\"x\"\n\"w\"=dword:2\n\"w\"=-\n\"no equals\"\n");
    EXPECT_EQ(later.ReadString("v"), "x") << "a value set twice keeps the last";
    EXPECT_EQ(later.Values().size(), 1u) << "\"w\"=- removes w";
}

TEST(RegistryFile, DamagedAndOutlandishFilesGiveWhatCanBeRead) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string garbage(random() % 2000, '\0');
        for (char& c : garbage)
            c = static_cast<char>(random());
        const std::string text = "REGEDIT4\n" + garbage + "\n" + kHead.substr(10) + "\"FBOSize\"=dword:100\n";
        EXPECT_EQ(TRegistryFile::FromText(kSettingsKey, text).ReadDword("FBOSize"), 256) << round;
        TRegistryFile::FromText(kSettingsKey, "\xFF\xFE" + garbage); // UTF-16 decoding of anything
    }

    TTempFolder tmp;
    const std::string value = kHead + "\"v\"=dword:00000001\n";
    const std::string atCap = value + ";" + std::string(kRegistryFileMaxBytes - value.size() - 2, 'x') + "\n";
    WriteTextFile(tmp.File("cap.reg"), atCap);
    WriteTextFile(tmp.File("over.reg"), atCap + ";");
    EXPECT_EQ(TRegistryFile::FromFile(kSettingsKey, tmp.File("cap.reg")).ReadDword("v"), 1);
    WriteTextFile(tmp.File("huge.reg"), value); // a sparse gigabyte, refused without being read
    fs::resize_file(tmp.File("huge.reg"), std::uintmax_t{1} << 30);
    ASSERT_EQ(::mkfifo(tmp.File("fifo.reg").c_str(), 0600), 0); // would block a plain open
    for (const std::string& path : {tmp.File("over.reg"), tmp.File("huge.reg"), tmp.File("fifo.reg"),
                                    tmp.File("missing.reg"), tmp.Path(), std::string()})
        EXPECT_TRUE(TRegistryFile::FromFile(kSettingsKey, path).Values().empty()) << path;
    if (::geteuid() != 0) { // root reads anything
        WriteTextFile(tmp.File("locked.reg"), value);
        ASSERT_EQ(::chmod(tmp.File("locked.reg").c_str(), 0), 0);
        EXPECT_TRUE(TRegistryFile::FromFile(kSettingsKey, tmp.File("locked.reg")).Values().empty());
    }
}
