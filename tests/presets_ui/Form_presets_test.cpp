// The preset manager in the program, wired as the program wires it: the list of a presets folder, clicks and
// double clicks, saving over a file, deleting, the placement at show and close, names that would leave the
// folder or cannot be files, and a chain that comes back from a preset pixel for pixel.
#include "app/AppTestSupport.h"
#include "app/ChainWindowHooks.h"
#include "app/IdleRenderer.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "plugins/Form_spc.h"
#include "plugins/uChainState.h"
#include "presets/Form_presets.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class PresetWindowTest : public MainWindowTest {
protected:
    void TearDown() override {
        if (Form && Form->Engine() && !SavedProgramFolder.empty())
            Engine().ProgramFolder = SavedProgramFolder;
        Presets.reset();
        if (Form) Form->ChainWindow = nullptr;
        ChainWindow.reset();
        MainWindowTest::TearDown();
    }

    // As the program starts, with a program folder of the test's own: presets/ empty, the shipped plugins
    // and shaders beside it.
    void Start() {
        ASSERT_TRUE(Create());
        // The program folder moves under the engine below; the plugin watcher would take it for edits.
        Form->Settings.WatchPluginFiles = false; // applied when the window is shown
        ChainWindow = std::make_unique<TForm_spc>(*Form->Chain(), Form->Settings, Form.get());
        AttachChainWindow(*Form, *ChainWindow);
        Presets = std::make_unique<TForm_presets>(*Form->Chain(), Form->Settings, Form.get());
        AttachPresetManager(*Form, *ChainWindow, *Presets);
        Form->show();
        ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed(); }));
        Program = Temp.File("program/");
        fs::create_directories(Program + "presets");
        fs::create_directory_symlink(ProgramDataFolder() + "plugins", Program + "plugins");
        fs::create_directory_symlink(ProgramDataFolder() + "shader", Program + "shader");
        SavedProgramFolder = Engine().ProgramFolder;
        Engine().ProgramFolder = Program;
    }
    void ShowPresets() {
        Presets->hide();
        Presets->ShowManager();
        ASSERT_TRUE(RunLoopUntil([this] { return Presets->isVisible(); }));
        RunLoopFor(20);
    }
    void Touch(const std::string& name) { WriteTextFile(Program + "presets/" + name, "[1]\r\n"); }
    std::vector<std::string> Listed() const {
        std::vector<std::string> names;
        for (int i = 0; i < Presets->ListView1->topLevelItemCount(); ++i)
            names.push_back(Presets->ListView1->topLevelItem(i)->text(0).toStdString());
        return names;
    }
    void ClickItem(int index, bool twice = false) {
        const QPoint at =
            Presets->ListView1->visualItemRect(Presets->ListView1->topLevelItem(index)).center();
        if (twice)
            QTest::mouseDClick(Presets->ListView1->viewport(), Qt::LeftButton, {}, at);
        else
            QTest::mouseClick(Presets->ListView1->viewport(), Qt::LeftButton, {}, at);
    }
    int IndexOf(const std::string& iniName) {
        for (const auto& plugin : Engine().Catalogue)
            if (plugin->IniFileName == iniName) return plugin->CatalogueIndex;
        ADD_FAILURE() << iniName << " is not in the catalogue";
        return -1;
    }
    TRenderEngine& Engine() { return *Form->Engine(); }
    TChainState& Chain() { return *Form->Chain(); }

    std::unique_ptr<TForm_spc> ChainWindow;
    std::unique_ptr<TForm_presets> Presets;
    std::string Program;
    std::string SavedProgramFolder;
};

TEST_F(PresetWindowTest, TheChainMenuBringsUpTheWindowAsLaidOut) {
    Start();
    EXPECT_FALSE(Presets->isVisible()) << "created hidden";
    auto* item = ChainWindow->PopupMenu1->findChild<QAction*>(QStringLiteral("Item_5000"));
    ASSERT_NE(item, nullptr);
    item->trigger();
    ASSERT_TRUE(RunLoopUntil([this] { return Presets->isVisible(); }));
    EXPECT_FALSE(Presets->isModal());
    EXPECT_EQ(Presets->windowTitle(), QStringLiteral("Presets"));
    for (const char* name :
         {"ListView1", "Panel1", "Edit1", "Panel2", "BT_load", "BT_save", "Button3", "StatusBar1"})
        EXPECT_NE(Presets->findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(Presets->ListView1->headerItem()->text(0), QStringLiteral(" Preset Name "));

    // Edit1 and the column follow the window's width; the buttons keep their place at the right.
    const int editWidth = Presets->Edit1->width();
    const int buttonsFromRight = Presets->width() - Presets->Panel2->x();
    Presets->resize(Presets->width() + 100, Presets->height());
    RunLoopFor(20);
    EXPECT_EQ(Presets->Edit1->width(), editWidth + 100);
    EXPECT_EQ(Presets->width() - Presets->Panel2->x(), buttonsFromRight);
    EXPECT_EQ(Presets->ListView1->columnWidth(0), Presets->ListView1->width() - 5) << "no scroll bar";

    // More presets than the list shows: the column leaves room for the scroll bar.
    for (int i = 0; i < 80; ++i)
        Touch("p" + std::to_string(i) + ".prs");
    ShowPresets();
    const int scrollBar =
        Presets->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Presets->ListView1);
    EXPECT_EQ(Presets->ListView1->columnWidth(0), Presets->ListView1->width() - scrollBar - 5);
}

TEST_F(PresetWindowTest, ListsPresetFilesAlphabeticallyWithoutRegardToCase) {
    Start();
    Touch("b.PRS");
    Touch("c.txt");
    Touch("a.prs");
    Touch("C.prs");
    Touch("A1.prs");
    fs::create_directory(Program + "presets/d.prs");
    ShowPresets();
    EXPECT_EQ(Listed(), (std::vector<std::string>{"a", "A1", "b", "C"}));
    EXPECT_TRUE(Presets->ListView1->selectedItems().isEmpty());

    // A missing folder, or a file where the folder should be, lists nothing.
    fs::remove_all(Program + "presets");
    ShowPresets();
    EXPECT_TRUE(Listed().empty());
    WriteTextFile(Program + "presets", "not a folder");
    ShowPresets();
    EXPECT_TRUE(Listed().empty());
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(PresetWindowTest, ClicksNameTheItemAndADoubleClickBelowTheItemsLoadsNothing) {
    Start();
    Form->GLView()->MakeCurrent();
    Chain().AssignSlot(2, IndexOf("invert.ini"), true);
    ASSERT_TRUE(WritePreset(Chain(), Program + "presets/inverted.prs"));
    Touch("other.prs");
    Chain().AssignSlot(2, -1, true);
    ShowPresets();

    ClickItem(1);
    EXPECT_EQ(Presets->Edit1->text(), QStringLiteral("other"));
    QTest::mouseDClick(Presets->ListView1->viewport(), Qt::LeftButton, {},
                       QPoint(20, Presets->ListView1->viewport()->height() - 5));
    EXPECT_TRUE(Presets->Edit1->text().isEmpty());
    EXPECT_TRUE(Presets->ListView1->selectedItems().isEmpty());
    EXPECT_EQ(Chain().Label(2).Tag, -1) << "nothing loaded";

    ClickItem(0, true);
    EXPECT_EQ(Presets->Edit1->text(), QStringLiteral("inverted"));
    EXPECT_EQ(Chain().Label(2).Tag, IndexOf("invert.ini")) << "a double click on an item loads it";
    EXPECT_TRUE(Engine().SlotActive[1]);
    EXPECT_EQ(Chain().SelectedSlot, 1);
}

TEST_F(PresetWindowTest, DeleteRemovesTheHighlightedPresetsFileAndSelectsTheNext) {
    Start();
    for (const char* name : {"a.prs", "b.prs", "c.prs"})
        Touch(name);
    ShowPresets();
    ClickItem(2);
    // A name typed after selecting does not decide which file goes: the highlighted one does.
    Presets->Edit1->setText(QStringLiteral("a"));
    QTest::mouseClick(Presets->Button3, Qt::LeftButton);
    EXPECT_FALSE(fs::exists(Program + "presets/c.prs"));
    EXPECT_TRUE(fs::exists(Program + "presets/a.prs"));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"a", "b"}));
    ASSERT_EQ(Presets->ListView1->selectedItems().size(), 1);
    EXPECT_EQ(Presets->ListView1->selectedItems().first()->text(0), QStringLiteral("b"));
    EXPECT_EQ(Presets->Edit1->text(), QStringLiteral("b"));

    ClickItem(0);
    QTest::mouseClick(Presets->Button3, Qt::LeftButton);
    QTest::mouseClick(Presets->Button3, Qt::LeftButton);
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(Presets->Edit1->text(), QStringLiteral("b")) << "an empty list keeps the deleted name";
    EXPECT_TRUE(fs::is_empty(Program + "presets"));

    Touch("d.prs");
    ShowPresets();
    QTest::mouseClick(Presets->Button3, Qt::LeftButton);
    EXPECT_TRUE(fs::exists(Program + "presets/d.prs")) << "nothing goes without a selection";
}

TEST_F(PresetWindowTest, SavingOverAPresetAsksAndNoLeavesItByteForByte) {
    Start();
    const std::string path = Program + "presets/mine.prs";
    const std::string before = "[1]\r\nPlugInName=invert.ini\r\n; a note the program never wrote\r\n";
    WriteTextFile(path, before);
    ShowPresets();
    Touch("later.prs"); // appears only when the list is read again
    Presets->Edit1->setText(QStringLiteral("mine"));
    Messages.NextAnswer = false;
    QTest::mouseClick(Presets->BT_save, Qt::LeftButton);
    EXPECT_EQ(ReadTextFile(path), before);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_TRUE(Messages.Entries[0].Question);
    EXPECT_EQ(Messages.Entries[0].Text, "File already exists. Overwrite?");
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Listed(), (std::vector<std::string>{"later", "mine"}));
    EXPECT_TRUE(Presets->ListView1->selectedItems().isEmpty());
    EXPECT_EQ(Presets->Edit1->text(), QStringLiteral("mine"));
}

TEST_F(PresetWindowTest, NamesThatLeaveTheFolderOrCannotBeFilesAreRefused) {
    Start();
    const auto save = [this](const QString& name) {
        Presets->Edit1->setText(name);
        QTest::mouseClick(Presets->BT_save, Qt::LeftButton);
    };
    ShowPresets();
    Messages.NextAnswer = true;
    save(QStringLiteral("../outside"));
    save(QStringLiteral("nul") + QChar(0) + QStringLiteral("x"));
    save(QString(300, QLatin1Char('n')));
    fs::create_directory(Program + "presets/folder.prs");
    save(QStringLiteral("folder"));
    ASSERT_EQ(Messages.Entries.size(), 4u);
    for (const auto& entry : Messages.Entries) {
        EXPECT_FALSE(entry.Question);
        EXPECT_NE(entry.Text.find("kann nicht geschrieben werden"), std::string::npos) << entry.Text;
    }
    EXPECT_FALSE(fs::exists(Program + "outside.prs"));
    EXPECT_FALSE(fs::exists(Program + "nul"));
    EXPECT_TRUE(fs::is_directory(Program + "presets/folder.prs"));
    EXPECT_EQ(std::distance(fs::directory_iterator(Program), fs::directory_iterator()), 3)
        << "nothing beside";

    // Blanks around a name are part of it, and the name comes back as it was saved.
    save(QStringLiteral("  spaced  "));
    EXPECT_TRUE(fs::exists(Program + "presets/  spaced  .prs"));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"  spaced  "}));

    // Without a presets folder the program does not make one: the write fails with its message.
    fs::remove_all(Program + "presets");
    Messages.Entries.clear();
    save(QStringLiteral("gone"));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "In " + Program + "presets/gone.prs kann nicht geschrieben werden");
    EXPECT_FALSE(fs::exists(Program + "presets"));
}

TEST_F(PresetWindowTest, BadPresetFilesLeaveTheChainDefined) {
    Start();
    Form->GLView()->MakeCurrent();
    Chain().AssignSlot(1, IndexOf("invert.ini"), true);
    {
        std::ofstream big(Program + "presets/huge.prs", std::ios::binary);
        big.seekp(100 * 1024 * 1024 - 1);
        big.put('\n');
    }
    ShowPresets();
    Presets->Edit1->setText(QStringLiteral("huge"));
    QTest::mouseClick(Presets->BT_load, Qt::LeftButton);
    RunLoopFor(20);
    ASSERT_EQ(Messages.Entries.size(), 1u) << "a file too large is refused with its message";
    EXPECT_NE(Messages.Entries[0].Text.find("huge.prs"), std::string::npos);
    EXPECT_EQ(Chain().Label(1).Tag, IndexOf("invert.ini")) << "and the chain stays as it was";

    Presets->Edit1->setText(QStringLiteral("missing"));
    QTest::mouseClick(Presets->BT_load, Qt::LeftButton);
    EXPECT_EQ(Messages.Entries.size(), 1u) << "a name without a file loads nothing, silently";
}

TEST_F(PresetWindowTest, PlacementIsPulledOntoTheScreenAndKeptWhileMaximized) {
    Start();
    const QSize screen = Presets->screen()->geometry().size();
    ASSERT_EQ(screen.width(), 1280) << "the app tests' Xvfb screen";
    Form->Settings.presets_left = 500;
    Form->Settings.presets_top = -40;
    Form->Settings.presets_width = 2000;
    Form->Settings.presets_height = 300;
    ShowPresets();
    EXPECT_EQ(Form->Settings.presets_width, 1270);
    EXPECT_EQ(Form->Settings.presets_left, 10);
    EXPECT_EQ(Form->Settings.presets_top, 0);
    EXPECT_EQ(Presets->width(), 1270);
    EXPECT_EQ(Presets->height(), 300);

    // A window at the top edge at closing keeps the top stored before.
    Form->Settings.presets_top = 77;
    Presets->move(120, 0);
    Presets->resize(380, 410);
    RunLoopFor(20);
    Presets->close();
    EXPECT_EQ(Form->Settings.presets_top, 77);
    EXPECT_EQ(Form->Settings.presets_width, 380);
    EXPECT_EQ(Form->Settings.presets_height, 410);

    // Maximized at closing: the placement before stays, and the next showing is maximized again.
    const TSettings before = Form->Settings;
    ShowPresets();
    Presets->setWindowState(Qt::WindowMaximized);
    RunLoopFor(50);
    EXPECT_TRUE(Form->Settings.presets_maximized);
    Presets->close();
    EXPECT_EQ(Form->Settings.presets_left, before.presets_left);
    EXPECT_EQ(Form->Settings.presets_top, before.presets_top);
    EXPECT_EQ(Form->Settings.presets_width, before.presets_width);
    EXPECT_EQ(Form->Settings.presets_height, before.presets_height);
    ShowPresets();
    EXPECT_TRUE(Presets->windowState() & Qt::WindowMaximized);
    Presets->setWindowState(Qt::WindowNoState);
    RunLoopFor(20);
    EXPECT_FALSE(Form->Settings.presets_maximized);
}

// Stored edges whose sum with the window's size overflows an int, and the smallest int: the window still
// comes up on the screen at its stored size.
TEST_F(PresetWindowTest, StoredPlacementsAtTheIntLimitsAreShownOnTheScreen) {
    Start();
    const QRect screen(QPoint(0, 0), Presets->screen()->geometry().size());
    for (const auto& [left, top] :
         {std::pair{2147483637, 2147483637}, std::pair{INT_MIN, INT_MIN}, std::pair{INT_MIN, 2147483637}}) {
        Form->Settings.presets_left = left;
        Form->Settings.presets_top = top;
        Form->Settings.presets_width = 356;
        Form->Settings.presets_height = 424;
        ShowPresets();
        const QPoint expected(left < 0 ? 0 : screen.width() - 356, top < 0 ? 0 : screen.height() - 424);
        EXPECT_EQ(Presets->pos(), expected) << left << ", " << top;
        EXPECT_EQ(Presets->size(), QSize(356, 424)) << left << ", " << top;
        EXPECT_TRUE(screen.contains(Presets->geometry())) << left << ", " << top;
        EXPECT_EQ(QPoint(Form->Settings.presets_left, Form->Settings.presets_top), expected) << "stored back";
        Presets->close();
    }
}

TEST_F(PresetWindowTest, AChainSavedChangedAndLoadedAgainRendersTheSamePixels) {
    Start();
    const std::string picture = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(256, 192), picture);
    Form->Settings.RenderHUD = false;
    OpenAndSettle(picture);
    const QRect gl = GLViewportOnScreen();
    const auto frame = [this, gl] {
        Form->IdleRenderer()->Repaint();
        RunLoopFor(40);
        return GrabScreen(gl);
    };
    Form->SetRenderSuspended(true);

    Form->GLView()->MakeCurrent();
    Chain().AssignSlot(1, IndexOf("brightness_contrast.ini"), true);
    Engine().Slots[0]->Params3f.at(0).Value = {0.3f, 0.8f, 0.45f};
    Chain().AssignSlot(2, IndexOf("invert.ini"), false);
    Chain().AssignSlot(3, IndexOf("posterize.ini"), true);
    const QImage saved = frame();
    ShowPresets();
    Presets->Edit1->setText(QStringLiteral("round trip"));
    QTest::mouseClick(Presets->BT_save, Qt::LeftButton);
    ASSERT_EQ(Listed(), (std::vector<std::string>{"round trip"}));

    Form->GLView()->MakeCurrent();
    Chain().AssignSlot(1, -1, true);
    Chain().AssignSlot(2, IndexOf("invert.ini"), true);
    Chain().AssignSlot(4, IndexOf("sepia.ini"), true);
    ASSERT_NE(frame(), saved) << "the change shows";

    ClickItem(0, true);
    EXPECT_EQ(frame(), saved);
    ASSERT_NE(Engine().Slots[0], nullptr);
    EXPECT_EQ(Engine().Slots[0]->Params3f.at(0).Value[1], 0.8f);
    EXPECT_FALSE(Engine().SlotActive[1]);
    EXPECT_EQ(Chain().Label(4).Tag, -1);
    EXPECT_TRUE(Messages.Entries.empty());
}

} // namespace

// An installed program's folder cannot be written: a preset then goes to the user's data folder, is listed
// once beside the bundled one of its name and is the one loaded; when neither folder can be written, the
// message names the file and nothing is lost.
TEST_F(PresetWindowTest, WithAReadOnlyProgramFolderPresetsAreSavedForTheUserAndListedOnce) {
    Start();
    const std::string user = Temp.File("user/lumatex/");
    Presets->UserDataFolder = user;
    Touch("Old Film.prs");
    Touch("Glitch.prs");
    TUnprivilegedScope::GiveAway(Temp.Path());
    ::chmod((Program + "presets").c_str(), 0555);
    const auto save = [this](const char* name) {
        Presets->Edit1->setText(QString::fromLatin1(name));
        TUnprivilegedScope unprivileged;
        QTest::mouseClick(Presets->BT_save, Qt::LeftButton);
    };
    ShowPresets();
    const int invert = IndexOf("invert.ini");
    Chain().AssignSlot(1, invert, true);
    save("Old Film");
    EXPECT_TRUE(Messages.Entries.empty()) << "a new file of the user's: nothing to overwrite";
    EXPECT_NE(ReadTextFile(user + "presets/Old Film.prs").find("PlugInName=invert.ini"), std::string::npos);
    EXPECT_EQ(ReadTextFile(Program + "presets/Old Film.prs"), "[1]\r\n") << "the bundled one untouched";
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Glitch", "Old Film"})) << "each once";

    Chain().AssignSlot(1, -1, true);
    Presets->Edit1->setText(QStringLiteral("Old Film"));
    {
        TUnprivilegedScope unprivileged; // the same user as the one who saved: root could write anywhere
        QTest::mouseClick(Presets->BT_load, Qt::LeftButton);
    }
    EXPECT_EQ(Chain().Label(1).Tag, invert) << "the user's preset is the one loaded";

    save("Old Film");
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, kPresetOverwriteQuestion) << "now the user's file is there";

    ::chmod((user + "presets").c_str(), 0555);
    Messages.Entries.clear();
    save("New");
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "In " + Program + "presets/New.prs kann nicht geschrieben werden");
    EXPECT_FALSE(fs::exists(Program + "presets/New.prs"));
    EXPECT_FALSE(fs::exists(user + "presets/New.prs"));
    EXPECT_EQ(Listed(), (std::vector<std::string>{"Glitch", "Old Film"}));
    ::chmod((user + "presets").c_str(), 0755);
    ::chmod((Program + "presets").c_str(), 0755);
}
