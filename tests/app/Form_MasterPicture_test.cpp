// Pictures in the main window as the user meets them: the open dialog, the command line and drops; what
// both views show; the size rules of the card; files that are no pictures.
#include "AppTestSupport.h"

#include "app/IdleRenderer.h"
#include "app/ImageViewer.h"
#include "app/QtGLSurface.h"
#include "gl/GLCheck.h"
#include "platform/BmpFile.h"
#include "render/uRenderEngine.h"

#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>
#include <QUrl>

#include <filesystem>
#include <random>

namespace {

class PictureTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        SavedNpot = NpotSupported;
    }
    void TearDown() override {
        NpotSupported = SavedNpot;
        MainWindowTest::TearDown();
    }
    std::string WritePicture(const std::string& name, int width, int height) {
        const std::string path = Temp.File(name);
        SaveBmpFile(BlockPicture(width, height), path);
        return path;
    }
    void Drop(const std::string& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
        const QPoint at = Form->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form.get(), &enter);
        ASSERT_TRUE(enter.isAccepted()) << "a local file is accepted for dropping";
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Form.get(), &drop);
    }
    bool SavedNpot = true;
};

TEST_F(PictureTest, APictureOpensInBothViewsUprightAndInItsColours) {
    CreateAndShow();
    const std::string path = WritePicture("blocks.bmp", 256, 192);
    OpenAndSettle(path);

    EXPECT_EQ(Form->MediaKind, TMediaKind::Image);
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Image"));
    EXPECT_EQ(Form->StatusText(spMediaKind), QStringLiteral(" Image Viewer"));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 256x192"));
    EXPECT_EQ(Form->VideoWidth, 256);
    EXPECT_EQ(Form->VideoHeight, 192);
    EXPECT_EQ(Form->Settings.LastFile, path);
    EXPECT_EQ(Form->Settings.LastPath, Temp.Path());
    EXPECT_TRUE(Form->Panel_IMG->isVisible());
    EXPECT_FALSE(Form->Panel_DS->isVisible());

    const QRect gl = GLViewportOnScreen();
    const QRect image = OnScreen(Form->IMG_Viewer);
    EXPECT_EQ(gl.size(), image.size()) << "the two views of the dual layout are alike";
    EXPECT_EQ(gl.left(), image.right() + 1 + 2);
    EXPECT_EQ(gl.top(), image.top());
    EXPECT_TRUE(ShowsBlocks(GrabScreen(image), QRect(QPoint(0, 0), image.size()))) << "image view";
    // The heads-up bar covers the top of the view; the blocks are read below it.
    Form->Settings.RenderHUD = false;
    RunLoopFor(60);
    EXPECT_TRUE(ShowsBlocks(GrabScreen(gl), QRect(QPoint(0, 0), gl.size()))) << "OpenGL view";
    EXPECT_TRUE(Messages.Entries.empty());
}

// "Render OpenGL" off stops the drawing, not the picture: a window moved over the view and away again
// leaves the view showing what it showed.
TEST_F(PictureTest, WithRenderOpenGLOffAnUncoveredViewKeepsItsPicture) {
    CreateAndShow();
    Form->Settings.RenderHUD = false;
    OpenAndSettle(WritePicture("kept.bmp", 256, 192));
    const QRect gl = GLViewportOnScreen();
    ASSERT_TRUE(ShowsBlocks(GrabScreen(gl), QRect(QPoint(0, 0), gl.size())));
    Form->Action_RenderGL->trigger();
    ASSERT_FALSE(Form->Settings.RenderGLWindow);

    QWidget cover;
    cover.setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    cover.setAutoFillBackground(true);
    cover.setPalette(QPalette(Qt::white));
    cover.setGeometry(gl);
    cover.show();
    RunLoopFor(150);
    cover.hide();
    RunLoopFor(150);
    EXPECT_TRUE(ShowsBlocks(GrabScreen(gl), QRect(QPoint(0, 0), gl.size())));
}

TEST_F(PictureTest, WithoutNonPowerOfTwoTexturesAPictureBecomes512Square) {
    CreateAndShow();
    NpotSupported = false;
    OpenAndSettle(WritePicture("odd.bmp", 300, 200));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 512x512"));
    EXPECT_EQ(Form->VideoWidth, 512);
    EXPECT_EQ(Form->VideoHeight, 512);
    // A power-of-two picture is used as it is.
    OpenAndSettle(WritePicture("square.bmp", 256, 128));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 256x128"));
}

TEST_F(PictureTest, AWidthThatIsNoMultipleOfFourIsTrimmed) {
    CreateAndShow();
    NpotSupported = true;
    OpenAndSettle(WritePicture("wide.bmp", 301, 200));
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 300x200"));
    EXPECT_EQ(Form->VideoWidth, 300);
    EXPECT_EQ(Form->VideoHeight, 200);
    const TBitmap frame = Form->Playback.HandOff.WithFrameBitmap([](const TBitmap& b) { return b; });
    EXPECT_EQ(frame.Width(), 300);
    EXPECT_EQ(Form->IMG_Viewer->Picture().size(), QSize(300, 200));
}

TEST_F(PictureTest, TheOpenDialogStartsAtTheLastFileWithTheFilterList) {
    CreateAndShow();
    const std::string first = WritePicture("first.bmp", 64, 48);
    OpenAndSettle(first);
    const std::string second = WritePicture("second.bmp", 128, 96);

    QStringList filters, selected;
    QString suffix, folder, filter;
    bool suspendedDuringDialog = false;
    Form->RunOpenDialog = [&](QFileDialog& dialog) {
        filters = dialog.nameFilters();
        filter = dialog.selectedNameFilter();
        suffix = dialog.defaultSuffix();
        folder = dialog.directory().absolutePath() + QStringLiteral("/");
        selected = dialog.selectedFiles();
        suspendedDuringDialog = Form->RenderSuspended();
        return QString::fromStdString(second);
    };
    Form->Action_File->trigger();
    EXPECT_EQ(filters, (QStringList{"All files (*.*)", "AVI-Videos (*.avi)", "MPEG-Videos(*.mpg)",
                                    "Images(*.bmp)", "Images(*.jpg)"}));
    EXPECT_EQ(filter, QStringLiteral("All files (*.*)"));
    EXPECT_EQ(suffix, QStringLiteral("avi"));
    EXPECT_EQ(folder.toStdString(), Temp.Path());
    EXPECT_EQ(selected, QStringList{QString::fromStdString(first)});
    EXPECT_TRUE(suspendedDuringDialog);
    EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 128x96"));
    EXPECT_EQ(Form->Settings.LastFile, second);

    // Cancelled: rendering goes on with the picture as it was.
    Form->RunOpenDialog = [](QFileDialog&) { return QString(); };
    Form->Action_File->trigger();
    EXPECT_FALSE(Form->RenderSuspended());
    EXPECT_EQ(Form->Settings.LastFile, second);
    const uint64_t before = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() > before + 2; }));
}

TEST_F(PictureTest, FilesThatAreNoPicturesGiveTheMessageOrSilenceAndTheNextGoodOneOpens) {
    CreateAndShow();
    std::mt19937 random(7);
    std::vector<uint8_t> noise(5000);
    for (auto& byte : noise)
        byte = uint8_t(random());
    WriteBinaryFile(Temp.File("noise.jpg"), noise);
    WriteBinaryFile(Temp.File("empty.bmp"), {});
    // A BMP header claiming 100000 x 100000 pixels at 24 bits, and nothing after it.
    std::vector<uint8_t> huge = {'B', 'M', 54, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    for (uint32_t v : {100000u, 100000u})
        for (int i = 0; i < 4; ++i)
            huge.push_back(uint8_t(v >> (8 * i)));
    huge.insert(huge.end(), {1, 0, 24, 0});
    huge.resize(54, 0);
    WriteBinaryFile(Temp.File("huge.bmp"), huge);
    std::filesystem::create_directory(Temp.File("x.bmp"));
    WriteBinaryFile(Temp.File("picture.png"), {0x89, 'P', 'N', 'G'});
    const std::string good = WritePicture("good.bmp", 128, 96);

    struct TCase {
        std::string Name;
        bool Refused; // the unsupported-format message; otherwise silence
    };
    const std::vector<TCase> cases = {{"noise.jpg", false}, {"empty.bmp", false}, {"huge.bmp", false},
                                      {"x.bmp", false},     {"gone.jpg", false},  {"picture.png", true}};
    for (const bool byDrop : {false, true}) {
        for (const TCase& c : cases) {
            SCOPED_TRACE(c.Name + (byDrop ? " dropped" : " opened"));
            Messages.Entries.clear();
            if (byDrop)
                Drop(Temp.File(c.Name));
            else
                Form->OpenFile(Temp.File(c.Name));
            RunLoopFor(70);
            if (c.Refused) {
                ASSERT_EQ(Messages.Entries.size(), 1u);
                EXPECT_EQ(Messages.Entries[0].Text, kUnsupportedFormat);
                EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
                EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
            } else {
                EXPECT_TRUE(Messages.Entries.empty()) << Messages.Entries[0].Text;
            }
            EXPECT_GT(Form->VideoWidth, 0);
            EXPECT_GT(Form->VideoHeight, 0);

            if (byDrop)
                Drop(good);
            else
                Form->OpenFile(good);
            const uint64_t before = Frames();
            ASSERT_TRUE(RunLoopUntil([&] { return !Form->Timer1->isActive() && Frames() > before + 2; }));
            EXPECT_EQ(Form->StatusText(spSourceSize), QStringLiteral(" 128x96"));
            EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Image"));
            EXPECT_EQ(Form->Settings.LastFile, good);
        }
    }
}

TEST_F(PictureTest, AVideoNameSetsTheVideoKindAndStopsForThePlayback) {
    CreateAndShow();
    const std::string clip = Temp.File("clip.MPG"); // compared in lower case
    WriteBinaryFile(clip, {0, 0, 1, 0xBA});
    Form->OpenFile(clip);
    EXPECT_EQ(Form->MediaKind, TMediaKind::Video);
    EXPECT_EQ(Form->StatusText(spMediaKind), QStringLiteral(" AVI Player"));
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
    EXPECT_TRUE(Form->TB_Play->isEnabled());
    EXPECT_TRUE(Form->Panel_DS->isVisible());
    EXPECT_EQ(Form->Settings.LastFile, clip);
    // "photo.jpeg" is no name the program opens.
    Form->OpenFile(Temp.File("photo.jpeg"));
    EXPECT_EQ(CountMessages(kUnsupportedFormat), 1);
    EXPECT_EQ(Form->MediaKind, TMediaKind::Video);
}

} // namespace
