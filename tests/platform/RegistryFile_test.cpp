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

TEST(RegistryFile, WhatTheKeyDoesNotHoldIsWrittenBackWhereItWas) {
    const std::string key = std::string("[") + kSettingsKey + "]";
    const std::string other = "[HKEY_CURRENT_USER\\Software\\Other]\n\"Theme\"=\"dark\"\n";
    const std::string sub = std::string("[") + kSettingsKey + "\\Sub]\n\"Deep\"=hex:01,\\\n  02\n";
    struct TCase {
        const char* What;
        std::string File;
        std::string Saved; // after FBOSize := 256 and JpegQuality := 90
    };
    const std::vector<TCase> cases = {
        {"a new file", "", kHead + "\"FBOSize\"=dword:00000100\n\"JpegQuality\"=dword:0000005a\n"},
        {"keys before and after, a value of another program, the unnamed value, a comment",
         "REGEDIT4\r\n\r\n" + other + "\n" + key +
             "\n\"FBOSize\"=dword:00000200\n@=\"default\"\n"
             "\"Foreign\"=hex(2):25,00\n; kept\n\n" +
             sub,
         "REGEDIT4\n\n" + other + "\n" + key +
             "\n\"FBOSize\"=dword:00000100\n\"Foreign\"=hex(2):25,00\n"
             "\"JpegQuality\"=dword:0000005a\n@=\"default\"\n; kept\n\n" +
             sub},
        {"no block of the key yet: it follows, set apart", "REGEDIT4\n\n" + other,
         "REGEDIT4\n\n" + other + "\n" + key +
             "\n\"FBOSize\"=dword:00000100\n\"JpegQuality\"=dword:0000005a\n"},
        {"no header, two blocks of the key, no blank line before the next key",
         key + "\n\"FBOSize\"=\"text\"\n" + other + key + "\n\"jpegquality\"=dword:1\n" + sub,
         "REGEDIT4\n\n" + key + "\n\"FBOSize\"=dword:00000100\n\"JpegQuality\"=dword:0000005a\n\n" + other +
             sub},
    };
    for (const TCase& c : cases) {
        TRegistryFile reg = TRegistryFile::FromText(kSettingsKey, c.File);
        reg.WriteDword("FBOSize", 256);
        reg.WriteDword("JpegQuality", 90);
        EXPECT_EQ(reg.Text(), c.Saved) << c.What;
        EXPECT_EQ(reg.Bytes(), reg.Text()) << c.What;
        EXPECT_EQ(TRegistryFile::FromText(kSettingsKey, c.Saved).Text(), c.Saved) << c.What << ": stable";
    }
}

TEST(RegistryFile, AVersion5ExportIsWrittenBackAsOneSoItsWideDataKeepTheirMeaning) {
    const std::u16string other =
        u"[HKEY_CURRENT_USER\\Software\\Other]\r\n\"Path\"=hex(2):25,00,41,00,00,00\r\n";
    TRegistryFile reg = TRegistryFile::FromText(
        kSettingsKey, Utf16LeFile(u"Windows Registry Editor Version 5.00\r\n\r\n" + other + u"\r\n[" +
                                  u"HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings]\r\n"
                                  u"\"LastPath\"=\"C:\\\\Vid\u00e9os\"\r\n"));
    reg.WriteString("Note", "\u00e9\n\xF0\x9F\x8E\xAC");
    reg.WriteString("Broken", "a\xFF\n");
    const std::string bytes = reg.Bytes();
    const std::u16string wanted =
        u"Windows Registry Editor Version 5.00\r\n\r\n" + other + u"\r\n[" +
        u"HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V1\\settings]\r\n\"LastPath\"=\"C:"
        u"\\\\Vid\u00e9os\"\r\n"
        u"\"Note\"=hex(1):e9,00,0a,00,3c,d8,ac,df,00,00\r\n\"Broken\"=hex(1):61,00,fd,ff,0a,00,00,00\r\n";
    EXPECT_EQ(bytes, Utf16LeFile(wanted)) << "UTF-16LE with byte order mark and CR LF, strings in UTF-16";

    const TRegistryFile back = TRegistryFile::FromText(kSettingsKey, bytes);
    EXPECT_EQ(back.ReadString("LastPath"), "C:\\Vid\xC3\xA9os");
    EXPECT_EQ(back.ReadString("Note"), "\u00e9\n\xF0\x9F\x8E\xAC");
    EXPECT_EQ(back.ReadString("Broken"), "a\xEF\xBF\xBD\n") << "a byte that is no UTF-8 becomes U+FFFD";
    EXPECT_EQ(back.Bytes(), bytes);
}
