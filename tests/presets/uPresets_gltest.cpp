// Presets written from and applied to a live chain (real plugins and shaders, headless GL).
#include "presets/uPresets.h"

#include "platform/ELumatex.h"
#include "platform/IniFile.h"
#include "plugins/ChainFixture.h"

namespace {

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

} // namespace

class PresetGLTest : public ChainGLTest {
protected:
    std::string Preset(const std::string& name) { return Root.File("presets/" + name); }

    // Slot 1 gain (on, both values changed), slot 2 mixer (off, values changed), slot 3 empty, slot 5 Invert.
    void BuildChain() {
        Chain->AssignSlot(1, kGain, true);
        Slot(1)->Params1f[0].Value[0] = 0.25f;  // gain: not stored, bias of the same kind comes later
        Slot(1)->Params1f[1].Value[0] = 0.125f; // bias
        Chain->AssignSlot(2, kMixer, false);
        Slot(2)->Params4f[0].Value = {0.1f, 0.2f, 0.3f, 0.4f};
        Slot(2)->Params3f[0].Value = {0.3f, 0.0f, 1.0f};
        Slot(2)->Params2f[0].Value = {0.75f, 0.75f}; // scale: not stored
        Slot(2)->Params2f[1].Value = {0.5f, 0.25f};  // offset
        Slot(2)->Params1f[0].Value[0] = 1.0f;
        Chain->AssignSlot(5, kInvert, true);
    }
};

TEST_F(PresetGLTest, WrittenFileHoldsOneKeyPerKindInOrder) {
    BuildChain();
    ASSERT_TRUE(WritePreset(*Chain, Preset("chain.prs")));
    EXPECT_TRUE(Messages.Entries.empty()) << "a new file is written without a question";
    EXPECT_EQ(ReadTextFile(Preset("chain.prs")),
              Lines({"[1]",
                     "PlugInName=gain.ini",
                     "parameter_u1f=bias:0.125",
                     "active=1",
                     "[2]",
                     "PlugInName=mixer.ini",
                     "parameter_u1f=amount:1",
                     "parameter_u2f=offset:0.5;0.25",
                     "parameter_u3f=tint:0.300000011920929;0;1",
                     "parameter_u4f=weights:0.100000001490116;0.200000002980232;0.300000011920929;"
                     "0.400000005960464",
                     "active=0",
                     "[3]",
                     "PlugInName=NONE",
                     "[4]",
                     "PlugInName=NONE",
                     "[5]",
                     "PlugInName=Invert.INI",
                     "active=1",
                     "[6]",
                     "PlugInName=NONE",
                     "[7]",
                     "PlugInName=NONE",
                     "[8]",
                     "PlugInName=NONE"}));
}

TEST_F(PresetGLTest, RoundTripRestoresTheStoredChain) {
    BuildChain();
    const std::string odd = Preset("a:b;c=[d].prs"); // characters the INI syntax uses, in the file name
    ASSERT_TRUE(WritePreset(*Chain, odd));
    for (int slot = 1; slot <= kSlotCount; ++slot)
        Chain->AssignSlot(slot, -1, false);
    Chain->AssignSlot(3, kGain, true); // the preset empties it again
    Chain->LabelMouseDown(7);
    ApplyPreset(*Chain, odd);
    EXPECT_EQ(Chain->SelectedSlot, 1);
    EXPECT_EQ(Chain->Label(5).Hint, "Invert");
    EXPECT_FLOAT_EQ(Slot(1)->Params1f[0].Value[0], 0.5f)
        << "the first of two 1f parameters keeps its file value";
    EXPECT_EQ(Slot(2)->Params2f[0].Value, (std::array<float, 2>{0.5f, 0.5f}));
    EXPECT_EQ(Slot(3), nullptr);
    EXPECT_FALSE(Active(3)) << "NONE empties the slot and switches it off";
    EXPECT_EQ(Engine->ActiveCount, 2);
    EXPECT_EQ(Engine->ActiveOrder[1], 4);
    // Everything stored came back: the chain writes the same file again.
    ASSERT_TRUE(WritePreset(*Chain, Preset("again.prs")));
    EXPECT_EQ(ReadTextFile(Preset("again.prs")), ReadTextFile(odd));
}

TEST_F(PresetGLTest, AnExistingFileIsOverwrittenOnlyOnYesAndKeepsKeysThisChainDoesNotWrite) {
    const std::string before = Lines({"[2]", "PlugInName=mixer.ini", "parameter_u3f=tint:0.1;0.2;0.3",
                                      "note=kept", "active=1", "[9]", "other=kept too"});
    WriteTextFile(Preset("old.prs"), before);
    Chain->AssignSlot(2, kGain, true);
    Messages.NextAnswer = false;
    EXPECT_FALSE(WritePreset(*Chain, Preset("old.prs")));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_TRUE(Messages.Entries[0].Question);
    EXPECT_EQ(Messages.Entries[0].Text, "File already exists. Overwrite?");
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Question);
    EXPECT_EQ(ReadTextFile(Preset("old.prs")), before) << "left byte for byte";

    Messages.NextAnswer = true;
    ASSERT_TRUE(WritePreset(*Chain, Preset("old.prs")));
    const TIniFile written = TIniFile::FromFile(Preset("old.prs"));
    EXPECT_EQ(written.ReadString("2", "PlugInName", ""), "gain.ini");
    EXPECT_EQ(written.ReadString("2", "parameter_u3f", ""), "tint:0.1;0.2;0.3");
    EXPECT_EQ(written.ReadString("2", "parameter_u1f", ""), "bias:0");
    EXPECT_EQ(written.ReadString("2", "note", ""), "kept");
    EXPECT_EQ(written.ReadString("9", "other", ""), "kept too");
    EXPECT_EQ(written.ReadString("1", "PlugInName", ""), "NONE");
    ApplyPreset(*Chain, Preset("old.prs")); // the old 3-component line means nothing to the gain plugin
    EXPECT_EQ(Chain->Label(2).Tag, kGain);
    EXPECT_FLOAT_EQ(Slot(2)->Params1f[0].Value[0], 0.5f);
}

TEST_F(PresetGLTest, NamesAndSwitchesFollowTheCaseRules) {
    // "none" is a file name like any other; "GAIN.INI" and "invert.ini" find their files and entries.
    Chain->AssignSlot(1, kMixer, true);
    Chain->AssignSlot(2, kMixer, true);
    WriteTextFile(
        Preset("case.prs"),
        Lines({"[1]", "PlugInName=none", "[2]", "PlugInName=NONE", "[3]", "plugInName=GAIN.INI", "ACTIVE=1",
               "[4]", "PlugInName=invert.ini", "active=0", "[5]", "PlugInName=invert.ini", "[7]",
               "PlugInName=invert.ini", "active= 1 ", "[8]", "PlugInName=invert.ini", "active=11"}));
    ApplyPreset(*Chain, Preset("case.prs"));
    EXPECT_EQ(Chain->Label(1).Tag, kMixer) << "'none' names no file: slot 1 keeps its plugin";
    EXPECT_TRUE(Active(1));
    EXPECT_EQ(Chain->Label(2).Tag, -1);
    EXPECT_FALSE(Active(2));
    EXPECT_EQ(Chain->Label(3).Tag, kGain);
    EXPECT_TRUE(Active(3));
    EXPECT_FALSE(Active(4));
    EXPECT_FALSE(Active(5)) << "a missing key means off";
    EXPECT_TRUE(Active(7)) << "blanks around a value are dropped";
    EXPECT_FALSE(Active(8));
    EXPECT_EQ(Chain->Label(8).Tag, kInvert) << "'invert.ini' finds Invert.INI";
}

TEST_F(PresetGLTest, ParameterLinesAreReadLeniently) {
    WriteTextFile(Preset("params.prs"),
                  Lines({"[1]", "PlugInName=mixer.ini", "parameter_u1f=AMOUNT:0.75",
                         "parameter_u2f=scale:0.25", "xparameter_u2fx=offset:0.25;0.75",
                         "parameter_u3f=tint:0.25;x;1", "parameter_u4f=unknown:1;2;3;4", "[4]",
                         "PlugInName=gain.ini", "parameter_u1f=bias:0.25", "parameter_u1f=gain:0.75"}));
    ApplyPreset(*Chain, Preset("params.prs"));
    ASSERT_NE(Slot(1), nullptr);
    EXPECT_FLOAT_EQ(Slot(1)->Params1f[0].Value[0], 0.75f) << "names match without regard to case";
    EXPECT_EQ(Slot(1)->Params2f[0].Value, (std::array<float, 2>{1.0f, 1.0f}))
        << "scale:0.25 lacks a component";
    EXPECT_EQ(Slot(1)->Params2f[1].Value, (std::array<float, 2>{0.25f, 0.75f}))
        << "the key text is found anywhere";
    EXPECT_EQ(Slot(1)->Params3f[0].Value, (std::array<float, 3>{1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(Slot(1)->Params4f[0].Value, (std::array<float, 4>{0.25f, 0.5f, 0.75f, 1.0f})) << "no such name";

    // A key written twice: every line of it reads what a lookup of the key returns, its first value.
    EXPECT_FLOAT_EQ(Slot(4)->Params1f[0].Value[0], 0.5f);
    EXPECT_FLOAT_EQ(Slot(4)->Params1f[1].Value[0], 0.25f);
}

TEST_F(PresetGLTest, UnknownNamesKeepTheirSlotsAndAPluginOutsideTheCatalogueEmptiesIt) {
    WriteTextFile(Root.File("plugins/late.ini"), "[ScreenName]\r\nFullName=Late\r\n");
    Chain->AssignSlot(1, kMixer, true);
    Chain->AssignSlot(2, kMixer, true);
    Chain->AssignSlot(3, kInvert, true);
    Chain->AssignSlot(4, kGain, true);
    Chain->AssignSlot(8, kGain, false);
    WriteTextFile(Preset("partial.prs"),
                  Lines({"[1]", "PlugInName=gone.ini", "active=1", "[2]", "PlugInName=", "[3]",
                         "PlugInName=../shader/gain.frag", "[4]", "PlugInName=LATE.ini", "active=1"}));
    ApplyPreset(*Chain, Preset("partial.prs"));
    EXPECT_EQ(Chain->Label(1).Tag, kMixer);
    EXPECT_EQ(Chain->Label(2).Tag, kMixer);
    EXPECT_EQ(Chain->Label(3).Tag, kInvert) << "a name leading out of the plugins folder names nothing";
    EXPECT_EQ(Slot(4), nullptr);
    EXPECT_EQ(Chain->Label(4).Tag, -1);
    EXPECT_EQ(Chain->Label(8).Tag, kGain) << "no section: kept";
    EXPECT_EQ(Engine->ActiveCount, 3);
    EXPECT_TRUE(Messages.Entries.empty()) << "silently";
}

TEST_F(PresetGLTest, ANameHoldingAFolderEmptiesItsSlotWhenItLeadsToAFileOfThePluginsFolder) {
    std::filesystem::create_directory(Root.File("plugins/sub"));
    WriteTextFile(Root.File("plugins/sub/deep.ini"), "[ScreenName]\r\nFullName=Deep\r\n");
    WriteTextFile(Root.File("outside.ini"), "[ScreenName]\r\nFullName=Outside\r\n");
    struct TCase {
        const char* PlugInName;
        bool Emptied;
        TPresetSkip Reason;
    };
    const TCase cases[] = {
        {"../plugins/gain.ini", true, TPresetSkip::NotInCatalogue},
        {"./GAIN.ini", true, TPresetSkip::NotInCatalogue}, // the file's name without regard to case
        {"sub/../mixer.ini", true, TPresetSkip::NotInCatalogue},
        {"/gain.ini", true, TPresetSkip::NotInCatalogue},
        {"sub/deep.ini", true, TPresetSkip::NotInCatalogue},
        {"../plugins/gone.ini", false, TPresetSkip::NoSuchPlugin},
        {"sub", false, TPresetSkip::NoSuchPlugin},            // a folder is no plugin file
        {"../outside.ini", false, TPresetSkip::NotAFileName}, // there, but outside the folder
        {"../plugins", false, TPresetSkip::NotAFileName},
        {"sub/..", false, TPresetSkip::NotAFileName},
        {"../pluginsX/gain.ini", false, TPresetSkip::NotAFileName},
    };
    for (const TCase& c : cases) {
        Chain->AssignSlot(2, kInvert, true);
        WriteTextFile(Preset("path.prs"),
                      Lines({"[2]", (std::string("PlugInName=") + c.PlugInName).c_str(), "active=1"}));
        const std::vector<TSkippedPresetSlot> skipped = ApplyPreset(*Chain, Preset("path.prs"));
        EXPECT_EQ(Chain->Label(2).Tag, c.Emptied ? -1 : kInvert) << c.PlugInName;
        EXPECT_EQ(Slot(2) == nullptr, c.Emptied) << c.PlugInName;
        EXPECT_EQ(Active(2), !c.Emptied) << c.PlugInName;
        ASSERT_EQ(skipped.size(), 1u) << c.PlugInName;
        EXPECT_EQ(skipped[0].Slot, 2);
        EXPECT_EQ(skipped[0].PlugInName, c.PlugInName);
        EXPECT_EQ(skipped[0].Reason, c.Reason) << c.PlugInName;
    }
    EXPECT_TRUE(Messages.Entries.empty()) << "silently";
}

TEST_F(PresetGLTest, AFreshInstanceThatFailsSkipsTheSectionsValues) {
    std::filesystem::remove(Root.File("shader/gain.vert"));
    WriteTextFile(Preset("broken.prs"),
                  Lines({"[1]", "PlugInName=gain.ini", "active=1", "parameter_u1f=gain:0.1"}));
    ApplyPreset(*Chain, Preset("broken.prs"));
    EXPECT_EQ(Slot(1), nullptr);
    EXPECT_EQ(Chain->Label(1).Tag, kGain);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "One ore more Plugins with errors found");

    // Written back, such a slot keeps its name and switch and has no values to write.
    ASSERT_TRUE(WritePreset(*Chain, Preset("written.prs")));
    const TIniFile written = TIniFile::FromFile(Preset("written.prs"));
    EXPECT_EQ(written.ReadSection("1"), (TIniPairs{{"PlugInName", "gain.ini"}, {"active", "1"}}));
}

TEST_F(PresetGLTest, UnwritablePresetsFolderRaisesThePlatformError) {
    BuildChain();
    // Tests run as root, for whom permissions are no obstacle: a file where the folder should be is.
    std::filesystem::remove_all(Root.File("presets"));
    const std::string missing = Root.File("presets/x.prs");
    try {
        WritePreset(*Chain, missing);
        ADD_FAILURE() << "no error";
    } catch (const ELumatex& e) {
        EXPECT_EQ(std::string(e.what()), "In " + missing + " kann nicht geschrieben werden");
    }
    WriteTextFile(Root.File("presets"), "a file, not a folder");
    EXPECT_THROW(WritePreset(*Chain, missing), ELumatex);
    EXPECT_EQ(ReadTextFile(Root.File("presets")), "a file, not a folder");
    EXPECT_FALSE(DirectoryExists(Root.File("presets"))) << "the folder is never created";
}

TEST_F(PresetGLTest, FilesUpToTheSizeLimitAreReadWholeLargerOnesRaiseAndChangeNothing) {
    // random bytes are fuzz_apply_preset's
    std::string text = "[1]\r\nPlugInName=gain.ini\r\n";
    for (int i = 0; i < 5000; ++i)
        text += "parameter_u1f_" + std::to_string(i) + "=bias:" + std::to_string(i % 10) + ".5\r\n";
    text += "[junk]\r\n"; // the rest of the limit in one line nobody reads
    text += std::string(kIniFileMaxBytes - text.size() - 2, 'x') + "\r\n";
    WriteTextFile(Preset("big.prs"), text);
    ApplyPreset(*Chain, Preset("big.prs"));
    ASSERT_NE(Slot(1), nullptr);
    EXPECT_FLOAT_EQ(Slot(1)->Params1f[1].Value[0], 9.5f) << "every line is applied, the last one wins";

    WriteTextFile(Preset("over.prs"), "[1]\r\nPlugInName=NONE\r\n" + text);
    EXPECT_THROW(ApplyPreset(*Chain, Preset("over.prs")), ELumatex);
    EXPECT_NE(Slot(1), nullptr) << "the slot is left as it was";
}
