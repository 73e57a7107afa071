// The watched plugin files in the program: a description that appears while it runs joins the chain
// window's plugin menu without the window being shown again.
#include "app/AppTestSupport.h"

#include "app/ChainWindowHooks.h"
#include "platform/BmpFile.h"
#include "plugins/Form_spc.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QMenu>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Every action of the menu and its submenus, by caption without the accelerator marks.
QStringList MenuCaptions(const QMenu& menu) {
    QStringList captions;
    for (const QAction* action : menu.actions()) {
        if (action->menu()) captions += MenuCaptions(*action->menu());
        captions += QString(action->text()).remove(QLatin1Char('&'));
    }
    return captions;
}

class PluginReloadTest : public MainWindowTest {
protected:
    void TearDown() override {
        if (Form) {
            if (Form->Engine() && !SavedProgramFolder.empty())
                Form->Engine()->ProgramFolder = SavedProgramFolder;
            Form->OnPluginsReloaded = nullptr;
            Form->ChainWindow = nullptr;
        }
        Window.reset();
        MainWindowTest::TearDown();
    }
    std::unique_ptr<TForm_spc> Window;
    std::string SavedProgramFolder;
};

} // namespace

TEST_F(PluginReloadTest, ADescriptionAddedWhileRunningJoinsTheChainWindowsMenu) {
    ASSERT_TRUE(Create());
    Window = std::make_unique<TForm_spc>(*Form->Chain(), Form->Settings, Form.get());
    AttachChainWindow(*Form, *Window);
    Form->show();
    ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed() && Window->isVisible(); }));
    const std::string picture = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(64, 48), picture);
    OpenAndSettle(picture);
    ASSERT_TRUE(Form->Settings.WatchPluginFiles);
    EXPECT_FALSE(MenuCaptions(*Window->PopupMenu1).contains(QStringLiteral("Gain")));

    // A data folder of the test's own, holding the gain plugin, takes the program folder's place.
    const std::string folder = Temp.File("program/");
    fs::copy(TestDataFolder() + "chain", folder, fs::copy_options::recursive);
    SavedProgramFolder = Form->Engine()->ProgramFolder;
    Form->Engine()->ProgramFolder = folder;
    ASSERT_TRUE(RunLoopUntil(
        [this] { return MenuCaptions(*Window->PopupMenu1).contains(QStringLiteral("Gain")); }, 5000))
        << "the watch looks twice a second";
    EXPECT_TRUE(Messages.Entries.empty());
}
