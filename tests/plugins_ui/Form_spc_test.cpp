// The chain window in the program, over the main window's engine and settings as the program wires them:
// slots filled and switched from the menu, the selection, the menu's grouping, placement and closing, what
// the OpenGL view shows after a choice or a bar move, broken plugins, long names, and changes made through
// the chain by others.
#include "PluginFiles.h"
#include "app/AppTestSupport.h"
#include "app/ChainWindowHooks.h"
#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "platform/NumberText.h"
#include "plugins/Form_spc.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "plugins/uWSGradientBar.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>

#include <algorithm>
#include <climits>
#include <filesystem>

namespace {

class ChainWindowTest : public MainWindowTest {
protected:
    void TearDown() override {
        if (Form && Form->Engine()) {
            if (SwappedCatalogue) std::swap(Engine().Catalogue, SavedCatalogue);
            if (!SavedProgramFolder.empty()) Engine().ProgramFolder = SavedProgramFolder;
        }
        if (Form) Form->ChainWindow = nullptr;
        Window.reset();
        MainWindowTest::TearDown();
    }

    // As the program starts: the main window, the chain window over its chain, then the main window shown,
    // which shows the chain window as the settings say.
    void Start() {
        ASSERT_TRUE(Create());
        // These tests put plugins into the catalogue by hand and move the program folder under the engine;
        // the plugin watcher would take that for edited files and reload the catalogue under the panel.
        Form->Settings.WatchPluginFiles = false; // applied when the window is shown
        Window = std::make_unique<TForm_spc>(*Form->Chain(), Form->Settings, Form.get());
        AttachChainWindow(*Form, *Window);
        Form->show();
        ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed() && Window->isVisible(); }));
        SavedProgramFolder = Engine().ProgramFolder;
        RunLoopFor(20);
    }
    // Shown again, so that the menu is built anew from the catalogue.
    void ShowAgain() {
        Window->hide();
        Window->show();
        RunLoopFor(10);
    }
    // Plugins of the test's own folder; slot instances are then made from that folder.
    int AddPlugin(const std::string& ini, const std::string& fullName, const std::string& params = "") {
        Files.Write(ini, fullName, "Test", params);
        Engine().ProgramFolder = Files.Folder();
        Form->GLView()->MakeCurrent();
        return Files.AddToCatalogue(Engine(), ini);
    }
    void UseCatalogue(std::vector<std::unique_ptr<TShaderPlugin>> catalogue) {
        SavedCatalogue = std::move(catalogue);
        std::swap(Engine().Catalogue, SavedCatalogue);
        SwappedCatalogue = true;
    }

    TRenderEngine& Engine() { return *Form->Engine(); }
    TChainState& Chain() { return *Form->Chain(); }
    TShaderPlugin* Slot(int slot) { return Engine().Slots[size_t(slot - 1)].get(); }
    int CatalogueIndex(const std::string& fullName) {
        for (const auto& plugin : Engine().Catalogue)
            if (plugin->FullName == fullName) return plugin->CatalogueIndex;
        ADD_FAILURE() << fullName << " is not in the catalogue";
        return -1;
    }
    QAction* Item(const QString& name) {
        auto* action = Window->PopupMenu1->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name.toStdString();
        return action;
    }
    void Choose(int tag) {
        if (QAction* action = Item(QStringLiteral("Item_%1").arg(tag))) action->trigger();
    }
    void PressLabel(int slot, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mousePress(Window->Image[size_t(slot - 1)], button, {}, QPoint(60, 12));
        QTest::mouseRelease(Window->Image[size_t(slot - 1)], button, {}, QPoint(60, 12));
    }
    // Pixels of a label's picture in one colour.
    int LabelPixels(int slot, QRgb colour) {
        const QImage& picture = Window->Image[size_t(slot - 1)]->Picture;
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += picture.pixel(x, y) == colour ? 1 : 0;
        return count;
    }
    // The brightest red in a label: about its text's colour (the backgrounds, black and navy, have no red),
    // 0 without text. The text is smoothed: its strokes come near the colour, not always onto it.
    int TextRed(int slot) {
        const QImage& picture = Window->Image[size_t(slot - 1)]->Picture;
        int red = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                red = std::max(red, qRed(picture.pixel(x, y)));
        return red;
    }
    // A right click as the window system reports it after the press: the context menu request.
    void ContextMenuOn(QWidget* widget) {
        const QPoint at = widget->rect().center();
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &request);
    }
    std::vector<QString> TopLevel(QMenu* menu) {
        std::vector<QString> names;
        for (QAction* action : menu->actions())
            names.push_back(action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return names;
    }

    std::unique_ptr<TForm_spc> Window;
    TPluginFiles Files;
    std::string SavedProgramFolder;
    std::vector<std::unique_ptr<TShaderPlugin>> SavedCatalogue;
    bool SwappedCatalogue = false;
};

TEST_F(ChainWindowTest, TheWindowAndItsComponentsAsLaidOut) {
    Start();
    EXPECT_EQ(Window->objectName(), QStringLiteral("Form_spc"));
    EXPECT_EQ(Window->windowTitle(), QStringLiteral(" Shader Plugin Chain "));
    EXPECT_EQ(Window->size(), QSize(197, 551));
    EXPECT_EQ(Window->windowType(), Qt::Tool);
    EXPECT_EQ(Window->parentWidget(), Form.get()) << "kept above the main window";
    EXPECT_TRUE(Window->windowFlags() & Qt::WindowStaysOnTopHint) << "and on top of other windows";
    EXPECT_FALSE(Window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Window->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(Window->font().pixelSize(), 11);
    EXPECT_EQ(Window->Panel1->geometry(), QRect(0, 0, 197, 265));
    for (int i = 1; i <= 8; ++i) {
        const size_t s = size_t(i - 1);
        const int top = 8 + 32 * (i - 1);
        EXPECT_EQ(Window->BT_M[s]->objectName(), QStringLiteral("BT_M%1").arg(i));
        EXPECT_EQ(Window->BT_M[s]->geometry(), QRect(8, top, 25, 25));
        EXPECT_EQ(Window->BT_M[s]->text(), QString::number(i));
        EXPECT_EQ(Window->Panel_Efx[s]->objectName(), QStringLiteral("Panel_Efx%1").arg(i));
        EXPECT_EQ(Window->Panel_Efx[s]->geometry(), QRect(40, top, 137, 25));
        EXPECT_EQ(Window->Panel_Efx[s]->property("Tag").toInt(), -1);
        EXPECT_EQ(Window->Image[s]->objectName(), QStringLiteral("Image%1").arg(i));
        EXPECT_EQ(Window->Image[s]->parentWidget(), Window->Panel_Efx[s]);
        EXPECT_EQ(Window->Image[s]->geometry(), QRect(0, 0, 137, 24));
        EXPECT_EQ(Chain().Label(i).Tag, -1);
        EXPECT_EQ(LabelPixels(i, 0xFF000000), 137 * 24) << "an empty slot's label is black";
    }
    EXPECT_EQ(Window->ScrollBox1->objectName(), QStringLiteral("ScrollBox1"));
    EXPECT_EQ(Window->ScrollBox1->geometry(), QRect(0, 265, 197, 286));
    EXPECT_EQ(Window->ScrollBox1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Window->PopupMenu1->objectName(), QStringLiteral("PopupMenu1"));
    EXPECT_EQ(Chain().SelectedSlot, -1);
    EXPECT_TRUE(Form->Action_ShowSPC->isChecked());
}

TEST_F(ChainWindowTest, AChoiceWithNoSlotSelectedChangesNothing) {
    Start();
    Choose(CatalogueIndex("Invert"));
    Choose(kMenuTagNone);
    for (int slot = 1; slot <= 8; ++slot) {
        EXPECT_EQ(Slot(slot), nullptr);
        EXPECT_FALSE(Engine().SlotActive[size_t(slot - 1)]);
        EXPECT_EQ(Chain().Label(slot).Tag, -1);
        EXPECT_EQ(Chain().Label(slot).Hint, "");
    }
    EXPECT_TRUE(Window->ParamPanel->PanelEntries.empty());
    EXPECT_EQ(Engine().ActiveCount, 0);
}

TEST_F(ChainWindowTest, SlotButtonsSwitchSlotsAndTheLabelTextColour) {
    Start();
    QTest::mouseClick(Window->BT_M[2], Qt::LeftButton);
    EXPECT_TRUE(Engine().SlotActive[2]) << "an empty slot's switch flips too";
    EXPECT_EQ(Chain().LabelTextColour(3), kLabelTextActive);
    EXPECT_EQ(Engine().ActiveCount, 0) << "but no pass is drawn for it";
    QTest::mouseClick(Window->BT_M[2], Qt::LeftButton);
    EXPECT_FALSE(Engine().SlotActive[2]);

    PressLabel(2);
    Choose(CatalogueIndex("Invert"));
    ASSERT_NE(Slot(2), nullptr);
    EXPECT_TRUE(Engine().SlotActive[1]) << "a chosen plugin switches its slot on";
    EXPECT_EQ(Engine().ActiveCount, 1);
    EXPECT_GE(TextRed(2), 230) << "white text";
    QPointer<QGroupBox> group = Window->ParamPanel->PanelEntries.at(0).GroupBox;

    QTest::mouseClick(Window->BT_M[1], Qt::LeftButton);
    EXPECT_FALSE(Engine().SlotActive[1]);
    EXPECT_EQ(Engine().ActiveCount, 0);
    EXPECT_NEAR(TextRed(2), 128, 6) << "grey text";
    EXPECT_GT(LabelPixels(2, 0xFF000080), 1000) << "still the selected slot";
    EXPECT_EQ(Window->ParamPanel->PanelEntries.at(0).GroupBox, group.data()) << "the panel is not rebuilt";
    EXPECT_FALSE(group.isNull());
}

TEST_F(ChainWindowTest, RightClickOnAButtonKeepsTheSelectionAndAPressOnALabelSelectsFirst) {
    Start();
    PressLabel(2);
    EXPECT_EQ(Chain().SelectedSlot, 2);

    QTest::mouseClick(Window->BT_M[4], Qt::RightButton);
    ContextMenuOn(Window->BT_M[4]);
    EXPECT_TRUE(RunLoopUntil([this] { return Window->PopupMenu1->isVisible(); })) << "the menu opens";
    EXPECT_EQ(Chain().SelectedSlot, 2);
    Item(QStringLiteral("Item_%1").arg(CatalogueIndex("Invert")))->trigger();
    Window->PopupMenu1->close();
    EXPECT_NE(Slot(2), nullptr) << "the choice goes to the selected slot";
    EXPECT_EQ(Slot(5), nullptr);
    EXPECT_EQ(Chain().Label(2).Hint, "Invert");

    PressLabel(6, Qt::RightButton);
    EXPECT_EQ(Chain().SelectedSlot, 6);
    ContextMenuOn(Window->Image[5]); // the label leaves it to its panel
    EXPECT_TRUE(RunLoopUntil([this] { return Window->PopupMenu1->isVisible(); }));
    Window->PopupMenu1->close();
    EXPECT_EQ(Chain().HighlightedSlot, 6);
    EXPECT_TRUE(Window->ParamPanel->PanelEntries.empty()) << "slot 6 is empty";

    PressLabel(2, Qt::MiddleButton);
    EXPECT_EQ(Chain().SelectedSlot, 2);
    EXPECT_EQ(Window->ParamPanel->PanelEntries.size(), 1u) << "Invert's one parameter";
}

TEST_F(ChainWindowTest, TheMenuGroupsByGroupNameInOrderOfFirstUseOrListsFlat) {
    Start();
    std::vector<std::unique_ptr<TShaderPlugin>> catalogue;
    const std::pair<const char*, const char*> plugins[] = {
        {"Salt & Pepper", "B"}, {"Alpha", "A"}, {"Bravo", "b"}};
    for (const auto& [name, group] : plugins) {
        auto plugin = std::make_unique<TShaderPlugin>("", std::string(name) + ".ini", "");
        plugin->FullName = name;
        plugin->GroupName = group;
        plugin->CatalogueIndex = int(catalogue.size());
        catalogue.push_back(std::move(plugin));
    }
    UseCatalogue(std::move(catalogue));
    ShowAgain();

    QMenu* menu = Window->PopupMenu1;
    EXPECT_EQ(TopLevel(menu),
              (std::vector<QString>{"Item_5000", "-", "Item_1000", "-", "Item_Group_1", "Item_Group_2"}));
    EXPECT_EQ(Item("Item_5000")->text(), QStringLiteral("Load/Manage Presets"));
    EXPECT_EQ(Item("Item_1000")->text(), QStringLiteral("None"));
    QMenu* b = Item("Item_Group_1")->menu();
    QMenu* a = Item("Item_Group_2")->menu();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(b->title(), QStringLiteral("B"));
    EXPECT_EQ(a->title(), QStringLiteral("A"));
    EXPECT_EQ(TopLevel(b), (std::vector<QString>{"Item_0", "Item_2"}));
    EXPECT_EQ(TopLevel(a), (std::vector<QString>{"Item_1"}));
    EXPECT_EQ(Item("Item_0")->iconText(), QStringLiteral("Salt & Pepper")) << "no mnemonic made of the &";
    EXPECT_EQ(Item("Item_2")->data().toInt(), 2);

    Form->Settings.GroupPlugins = false;
    ShowAgain();
    EXPECT_EQ(TopLevel(menu),
              (std::vector<QString>{"Item_5000", "-", "Item_1000", "-", "Item_0", "Item_1", "Item_2"}));
    EXPECT_TRUE(Window->PopupMenu1->findChildren<QMenu*>().isEmpty()) << "the old submenus are gone";
}

TEST_F(ChainWindowTest, TheStoredPositionIsPulledOntoTheScreen) {
    Start();
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    Window->hide();
    Form->Settings.spc_left = -50;
    Form->Settings.spc_top = -50;
    Window->show();
    EXPECT_EQ(Window->pos(), QPoint(0, 0));
    EXPECT_EQ(Form->Settings.spc_left, 0);
    EXPECT_EQ(Form->Settings.spc_top, 0);

    Window->hide();
    Form->Settings.spc_left = screen.width() + 300;
    Form->Settings.spc_top = screen.height() - 100;
    Window->show();
    const QRect frame = Window->frameGeometry();
    EXPECT_EQ(Window->pos(), QPoint(screen.width() - frame.width(), screen.height() - frame.height() - 20));
    EXPECT_EQ(Form->Settings.spc_left, screen.width() - frame.width());
}

// Stored edges whose sum with the window's size overflows an int, and the smallest int: the window still
// comes up on the screen.
TEST_F(ChainWindowTest, StoredPositionsAtTheIntLimitsAreShownOnTheScreen) {
    Start();
    const QRect screen(QPoint(0, 0), QGuiApplication::primaryScreen()->geometry().size());
    for (const auto& [left, top] :
         {std::pair{2147483637, 2147483637}, std::pair{INT_MIN, INT_MIN}, std::pair{2147483637, INT_MIN}}) {
        Window->hide();
        Form->Settings.spc_left = left;
        Form->Settings.spc_top = top;
        Window->show();
        const QRect frame = Window->frameGeometry();
        const QPoint expected(left < 0 ? 0 : screen.width() - frame.width(),
                              top < 0 ? 0 : screen.height() - frame.height() - 20);
        EXPECT_EQ(Window->pos(), expected) << left << ", " << top;
        EXPECT_TRUE(screen.contains(frame)) << left << ", " << top;
        EXPECT_EQ(QPoint(Form->Settings.spc_left, Form->Settings.spc_top), expected) << "stored back";
    }
}

TEST_F(ChainWindowTest, ClosingUnchecksTheActionAndThePositionIsKept) {
    Start();
    Window->move(130, 140);
    RunLoopFor(20);
    Window->close();
    EXPECT_FALSE(Window->isVisible());
    EXPECT_FALSE(Form->Action_ShowSPC->isChecked());
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    EXPECT_EQ(Form->Settings.spc_left, 130);
    EXPECT_EQ(Form->Settings.spc_top, 140);

    Form->Action_ShowSPC->trigger();
    EXPECT_TRUE(Window->isVisible());
    EXPECT_TRUE(Form->Settings.Show_ShaderPluginChain);
    EXPECT_EQ(Window->pos(), QPoint(130, 140));
    Window->move(150, 160);
    RunLoopFor(20);
    Form->Action_ShowSPC->trigger(); // hidden by the main window
    EXPECT_FALSE(Window->isVisible());
    EXPECT_EQ(Form->Settings.spc_left, 150);
    Form->Action_ShowSPC->trigger();

    // Closing the program keeps the window's visibility and place for the next start.
    Form->close();
    const TSettings stored = StoredSettings();
    EXPECT_TRUE(stored.Show_ShaderPluginChain);
    EXPECT_EQ(stored.spc_left, 150);
    EXPECT_EQ(stored.spc_top, 160);
}

TEST_F(ChainWindowTest, AWindowNeverShownKeepsItsStoredPlace) {
    TSettings settings = DefaultSettings(ProgramFolder());
    settings.Show_ShaderPluginChain = false;
    settings.spc_left = 300;
    settings.spc_top = 200;
    StoreSettings(settings);
    ASSERT_TRUE(Create());
    Window = std::make_unique<TForm_spc>(*Form->Chain(), Form->Settings, Form.get());
    AttachChainWindow(*Form, *Window);
    Form->show();
    ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed(); }));
    EXPECT_FALSE(Window->isVisible());
    EXPECT_FALSE(Form->Action_ShowSPC->isChecked());
    Form->close();
    EXPECT_EQ(StoredSettings().spc_left, 300);
    EXPECT_EQ(StoredSettings().spc_top, 200);
}

TEST_F(ChainWindowTest, APluginChosenOrABarMovedShowsInTheNextFrame) {
    Start();
    const std::string picture = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(256, 192), picture);
    Form->Settings.RenderHUD = false;
    OpenAndSettle(picture);
    const QRect gl = GLViewportOnScreen();
    const QRect whole(QPoint(0, 0), gl.size());
    ASSERT_TRUE(ShowsBlocks(GrabScreen(gl), whole));

    // One frame at a time: rendering suspended, each step followed by a single frame.
    Form->SetRenderSuspended(true);
    RunLoopFor(30);
    const auto oneFrame = [this] {
        const uint64_t before = Frames();
        Form->IdleRenderer()->Repaint();
        EXPECT_EQ(Frames(), before + 1);
        RunLoopFor(30);
    };

    PressLabel(1);
    Choose(CatalogueIndex("Invert"));
    oneFrame();
    QImage shown = GrabScreen(gl);
    shown.invertPixels();
    EXPECT_TRUE(ShowsBlocks(shown, whole)) << "inverted";

    TWSGradientBar* amount = Window->ParamPanel->PanelEntries.at(0).ValueBars[0];
    const QPoint inBar(10, 7);
    QTest::mousePress(amount, Qt::LeftButton, {}, inBar);
    QTest::mouseMove(amount, QPoint(-40, 7)); // dragged past the left end: amount 0, the plain picture
    QTest::mouseRelease(amount, Qt::LeftButton, {}, QPoint(-40, 7));
    EXPECT_EQ(Slot(1)->Params1f[0].Value[0], 0.0f);
    EXPECT_EQ(Window->ParamPanel->PanelEntries.at(0).ValueEdits[0]->text(), QStringLiteral("0.00"));
    oneFrame();
    EXPECT_TRUE(ShowsBlocks(GrabScreen(gl), whole)) << "the bar's value in the next frame";
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(ChainWindowTest, APluginBrokenSinceTheScanLeavesItsSlotNamedButEmpty) {
    Start();
    const int broken = AddPlugin("broken.ini", "Broken", "[parameter_u1f]\namount = 1 : 1 : Amount\n");
    std::filesystem::remove(Files.Folder() + "shader/invert.frag");
    ShowAgain();
    PressLabel(4);
    Choose(broken);
    EXPECT_EQ(CountMessages(kPluginLoadFailedText), 1);
    EXPECT_EQ(Slot(4), nullptr);
    EXPECT_EQ(Chain().Label(4).Hint, "Broken");
    EXPECT_EQ(Chain().Label(4).Tag, broken);
    EXPECT_TRUE(Engine().SlotActive[3]);
    EXPECT_EQ(Engine().ActiveCount, 0);
    EXPECT_TRUE(Window->ParamPanel->PanelEntries.empty());
    EXPECT_GE(TextRed(4), 230) << "the name is shown";
}

TEST_F(ChainWindowTest, LongNamesAreShortenedBetweenCharactersAndManyParametersScroll) {
    Start();
    std::string name = "Ünïcødé";
    while (name.size() < 1000)
        name += " € 漢字 Ünïcødé";
    std::string params = "[parameter_u1f]\n";
    for (int i = 0; i < 40; ++i)
        params += "u" + std::to_string(i) + " = 0.5 : 1 : " + (i == 0 ? std::string(500, 'c') : "P") + "\n";
    const int index = AddPlugin("long.ini", name, params);
    ShowAgain();
    PressLabel(3);
    Choose(index);
    ASSERT_NE(Slot(3), nullptr);
    EXPECT_EQ(Chain().Label(3).Hint, name);

    const std::string caption = Window->SlotLabelCaption(name);
    const QString shown = QString::fromStdString(caption);
    ASSERT_TRUE(shown.endsWith(QStringLiteral("...")));
    EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter)) << "no character cut in two";
    const QFontMetrics metrics(Window->font());
    EXPECT_LT(metrics.horizontalAdvance(shown), 105);
    const QString full = QString::fromStdString(name);
    const QString prefix = shown.chopped(3);
    ASSERT_TRUE(full.startsWith(prefix));
    EXPECT_GE(metrics.horizontalAdvance(full.left(prefix.size() + 1) + QStringLiteral("...")), 105)
        << "the longest prefix that fits";

    const QString item = Item(QStringLiteral("Item_%1").arg(index))->iconText();
    EXPECT_TRUE(item.endsWith(QChar(0x2026))) << "the menu shows the start of the name";
    EXPECT_TRUE(full.startsWith(item.chopped(1)));
    EXPECT_LE(QFontMetrics(Window->PopupMenu1->font()).horizontalAdvance(item), 480);

    QScrollArea* box = Window->ScrollBox1;
    RunLoopFor(20);
    EXPECT_EQ(Window->ParamPanel->PanelEntries.size(), 40u);
    EXPECT_GT(box->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(box->horizontalScrollBar()->maximum(), 0);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    Window->ParamPanel->PanelEntries.back().ValueBars[0]->SetPosition(0.75);
    EXPECT_EQ(Slot(3)->Params1f[39].Value[0], 0.75f);
}

TEST_F(ChainWindowTest, ALabelsToolTipIsTheFullNameSoAShortenedOneCanBeRead) {
    Start();
    const std::string longName = "Channel Mixer <b>Pro</b> &  Friends";
    const int longIndex = AddPlugin("long.ini", longName);
    const int shortIndex = AddPlugin("short.ini", "Tint");
    ShowAgain();
    const auto shownTip = [this](int slot) {
        QTextDocument tip;
        tip.setHtml(Window->Image[size_t(slot - 1)]->toolTip());
        return tip.toPlainText().toStdString();
    };
    EXPECT_TRUE(Window->Image[1]->toolTip().isEmpty()) << "an empty slot has none";

    PressLabel(2);
    Choose(longIndex);
    EXPECT_TRUE(Window->SlotLabelCaption(longName).ends_with("...")) << "the drawn name is shortened";
    EXPECT_EQ(shownTip(2), longName) << "markup is shown as written, blanks kept";
    PressLabel(3);
    Choose(shortIndex);
    EXPECT_EQ(shownTip(3), "Tint");
    EXPECT_EQ(shownTip(2), longName) << "a refresh of the labels keeps it";

    Choose(kMenuTagNone);
    EXPECT_TRUE(Window->Image[2]->toolTip().isEmpty()) << "emptied slots lose it";
}

TEST_F(ChainWindowTest, ChangesMadeThroughTheChainShowAtTheirRefresh) {
    Start();
    // A preset applied elsewhere selects slot 1; the panel shows the preset's values, not the file's.
    ApplyPreset(Chain(), ProgramDataFolder() + "presets/Comic Book.prs");
    EXPECT_EQ(Chain().SelectedSlot, 1);
    EXPECT_EQ(Chain().Label(1).Hint, "Brightness & Contrast");
    EXPECT_GT(LabelPixels(1, 0xFF000080), 1000) << "slot 1 highlighted";
    EXPECT_GE(TextRed(3), 230);
    ASSERT_EQ(Window->ParamPanel->PanelEntries.size(), 1u);
    const ParamPanelEntry& entry = Window->ParamPanel->PanelEntries[0];
    EXPECT_EQ(entry.ValueEdits[0]->text(), QStringLiteral("1.00"));
    EXPECT_EQ(entry.ValueEdits[1]->text(), QStringLiteral("1.20"));
    EXPECT_EQ(entry.ValueEdits[2]->text(), QStringLiteral("1.60"));

    // The selected slot emptied elsewhere: its controls go with it.
    QPointer<TWSGradientBar> bar = entry.ValueBars[0];
    Form->GLView()->MakeCurrent();
    Chain().AssignSlot(1, -1, true);
    EXPECT_TRUE(bar.isNull());
    EXPECT_TRUE(Window->ParamPanel->PanelEntries.empty());
    EXPECT_EQ(TextRed(1), 0);

    // "None" from the menu empties the selected slot; choosing a plugin again starts from its file values.
    PressLabel(3);
    ASSERT_NE(Slot(3), nullptr);
    Window->ParamPanel->PanelEntries.at(0).ValueBars[0]->SetPosition(0.0);
    const int ink = CatalogueIndex(Slot(3)->FullName);
    Choose(ink);
    EXPECT_EQ(Window->ParamPanel->PanelEntries.at(0).ValueEdits[0]->text(),
              QString::fromStdString(FormatFloat("0.00", double(Slot(3)->Params1f[0].Value[0]) *
                                                             double(Slot(3)->Params1f[0].Scale))));
    EXPECT_NE(Slot(3)->Params1f[0].Value[0], 0.0f);
    Choose(kMenuTagNone);
    EXPECT_EQ(Slot(3), nullptr);
    EXPECT_FALSE(Engine().SlotActive[2]);
    EXPECT_EQ(Chain().Label(3).Tag, -1);
}

} // namespace
