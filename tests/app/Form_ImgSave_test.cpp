// "Save OpenGL image..." in the running program: the export window's controls and checks, and the pictures
// it writes compared with what lumatex-render writes for the same input, preset and size.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "app/Form_ImgSave.h"
#include "app/GLImageExport.h"
#include "app/QtGLSurface.h"
#include "app/QtMessageSink.h"
#include "gl/GLCheck.h"
#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <filesystem>
#include <set>
#include <vector>

namespace {

constexpr const char* kPreset = "Night Vision";

TBitmap LoadJpeg(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    TBitmap bitmap;
    if (bytes && LooksLikeJpeg(bytes->data(), bytes->size()))
        DecodeJpeg(bytes->data(), bytes->size(), bitmap);
    return bitmap;
}

// The largest difference of one channel between two pictures of the same size; -1 when the sizes differ.
int MaxChannelDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
    int most = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                most = std::max(most, std::abs(a.ScanLine(y)[a.BytesPerPixel() * x + c] -
                                               b.ScanLine(y)[b.BytesPerPixel() * x + c]));
    return most;
}

// A picture of a's size filled with a's first pixel.
TBitmap FlatCopy(const TBitmap& a) {
    TBitmap flat(a);
    for (int y = 0; y < flat.Height(); ++y)
        for (int x = 0; x < flat.Width(); ++x)
            std::copy_n(a.ScanLine(0), a.BytesPerPixel(), flat.ScanLine(y) + a.BytesPerPixel() * x);
    return flat;
}

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class ImgSaveTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        Form->Settings.RenderHUD = false;
        Window = std::make_unique<TForm_ImgSave>(*Form, Form.get());
        AttachImgSaveWindow(*Form, *Window);
        Window->RunSaveDialog = [this](QFileDialog& dialog) {
            ++DialogRuns;
            Title = dialog.windowTitle();
            Filters = dialog.nameFilters();
            SelectedFilter = dialog.selectedNameFilter();
            Suffix = dialog.defaultSuffix();
            return QString::fromStdString(Chosen);
        };
        SavedNpot = NpotSupported;
    }
    void TearDown() override {
        NpotSupported = SavedNpot;
        Window.reset();
        MainWindowTest::TearDown();
    }
    void OpenPicture(const TBitmap& picture, const std::string& name) {
        SaveBmpFile(picture, Temp.File(name));
        OpenAndSettle(Temp.File(name));
    }
    // The user's way: Ctrl+S, own size typed in, aspect box set, "Save", the name chosen.
    void Export(const std::string& target, int width, int height, bool forceAspect) {
        Form->Action_saveGLImg->trigger();
        ASSERT_TRUE(Window->isVisible());
        Window->CB_Viewport->setChecked(false);
        Window->ED_Width->setText(QString::number(width));
        Window->ED_Height->setText(QString::number(height));
        Window->CB_Aspect->setChecked(forceAspect);
        Chosen = target;
        Window->BT_OK->click();
    }
    // lumatex-render on the same input with the export's settings; answers its exit status.
    int RenderReference(const std::string& input, const std::string& output, int width, int height,
                        bool forceAspect, int quality) {
        QStringList arguments{"--preset",       kPreset,
                              "--fbo",          QString::number(Form->Engine()->FBOSize),
                              "--size",         QStringLiteral("%1x%2").arg(width).arg(height),
                              "--jpeg-quality", QString::number(quality)};
        if (forceAspect) arguments << "--force-aspect";
        arguments << QString::fromStdString(input) << QString::fromStdString(output);
        QProcess render;
        render.start(QString::fromStdString(ProgramDataFolder() + "lumatex-render"), arguments);
        if (!render.waitForFinished(60000)) return -1;
        ReferenceErrors = render.readAllStandardError().toStdString();
        return render.exitCode();
    }
    void ApplyBundledPreset() {
        Form->GLView()->MakeCurrent();
        const auto skipped = ApplyPreset(*Form->Chain(), ProgramDataFolder() + "presets/" + kPreset + ".prs");
        ASSERT_TRUE(skipped.empty());
    }

    std::unique_ptr<TForm_ImgSave> Window;
    std::string Chosen;
    int DialogRuns = 0;
    QString Title, SelectedFilter, Suffix;
    QStringList Filters;
    std::string ReferenceErrors;
    bool SavedNpot = true;
};

TEST_F(ImgSaveTest, ExportMatchesLumatexRenderPixelForPixelAsBmpAndWithinThreeLevelsAsJpeg) {
    OpenPicture(BlockPicture(256, 192), "blocks.bmp");
    ApplyBundledPreset();
    Form->Settings.JpegQuality = 90;
    for (const bool aspect : {false, true}) {
        SCOPED_TRACE(aspect ? "force aspect" : "exact size");
        const std::string mine = Temp.File(aspect ? "mine-aspect.bmp" : "mine.bmp");
        const std::string theirs = Temp.File(aspect ? "ref-aspect.bmp" : "ref.bmp");
        Export(mine, 300, 260, aspect);
        ASSERT_EQ(RenderReference(Temp.File("blocks.bmp"), theirs, 300, 260, aspect, 90), 0)
            << ReferenceErrors;
        TBitmap a, b;
        LoadBmpFile(mine, a);
        LoadBmpFile(theirs, b);
        EXPECT_EQ(a.Width(), 300);
        EXPECT_EQ(a.Height(), aspect ? 225 : 260);
        EXPECT_TRUE(a.SamePixels(b));
        EXPECT_GT(MaxChannelDifference(a, FlatCopy(a)), 40) << "the chain's picture, not a blank one";
    }
    EXPECT_EQ(Title, QString::fromUtf8("Bitte w\u00e4hlen Sie einen Dateinamen:"));
    EXPECT_EQ(Filters, QStringList({"Alle files (*.*)", "JPEG files (*.jpg)", "image files (*.bmp)"}));
    EXPECT_EQ(SelectedFilter, QStringLiteral("JPEG files (*.jpg)"));
    EXPECT_EQ(Suffix, QStringLiteral("jpg"));

    Export(Temp.File("mine.jpg"), 300, 260, true);
    ASSERT_EQ(RenderReference(Temp.File("blocks.bmp"), Temp.File("ref.jpg"), 300, 260, true, 90), 0);
    const TBitmap jpeg = LoadJpeg(Temp.File("mine.jpg"));
    const int difference = MaxChannelDifference(jpeg, LoadJpeg(Temp.File("ref.jpg")));
    EXPECT_GE(difference, 0) << "sizes differ";
    EXPECT_LE(difference, 3);
    EXPECT_TRUE(Messages.Entries.empty()) << Messages.Entries.front().Text;
}

TEST_F(ImgSaveTest, SizesFollowAspectForcingAndCurrentVideosize) {
    OpenPicture(BlockPicture(640, 480), "frame.bmp");
    Export(Temp.File("boxed.bmp"), 512, 512, true);
    TBitmap boxed;
    LoadBmpFile(Temp.File("boxed.bmp"), boxed);
    EXPECT_EQ(boxed.Width(), 512);
    EXPECT_EQ(boxed.Height(), 384);

    // Showing the window with the stored choice fills and locks the size fields and the aspect box.
    Window->hide();
    Form->Settings.Save_ViewPort = true;
    Form->Settings.Save_ForceAspect = false;
    Form->Action_saveGLImg->trigger();
    EXPECT_EQ(Window->ED_Width->text(), QStringLiteral("640"));
    EXPECT_EQ(Window->ED_Height->text(), QStringLiteral("480"));
    EXPECT_FALSE(Window->ED_Width->isEnabled());
    EXPECT_FALSE(Window->ED_Height->isEnabled());
    EXPECT_FALSE(Window->Label14->isEnabled());
    EXPECT_TRUE(Window->CB_Aspect->isChecked());
    EXPECT_FALSE(Window->CB_Aspect->isEnabled());
    EXPECT_TRUE(Form->Settings.Save_ForceAspect);
    // Freed again, the aspect box keeps its check and follows the user.
    Window->CB_Viewport->setChecked(false);
    EXPECT_TRUE(Window->ED_Width->isEnabled());
    EXPECT_TRUE(Window->CB_Aspect->isEnabled());
    EXPECT_TRUE(Window->CB_Aspect->isChecked());
    Window->CB_Aspect->setChecked(false);
    EXPECT_FALSE(Form->Settings.Save_ForceAspect);
    EXPECT_FALSE(Form->Settings.Save_ViewPort);

    // Non-power-of-two textures at hand: the frame's own size is taken as it is.
    Window->CB_Viewport->setChecked(true);
    Chosen = Temp.File("whole.bmp");
    Window->BT_OK->click();
    TBitmap whole;
    LoadBmpFile(Temp.File("whole.bmp"), whole);
    EXPECT_EQ(whole.Width(), 640);
    EXPECT_EQ(whole.Height(), 480);
    EXPECT_FALSE(Window->isVisible());
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(ImgSaveTest, SizeFieldsTakeFourDigitsAndTheChecksRefuseBeforeTheDialog) {
    OpenPicture(BlockPicture(640, 480), "frame.bmp");
    Form->Settings.Save_ViewPort = false;
    Form->Action_saveGLImg->trigger();
    QLineEdit* width = Window->ED_Width;
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, "a1b2-3x45 6");
    EXPECT_EQ(width->text(), QStringLiteral("1234"));
    QTest::keyClick(width, Qt::Key_Backspace);
    EXPECT_EQ(width->text(), QStringLiteral("123"));
    QTest::keyClick(width, Qt::Key_A, Qt::ControlModifier); // shortcuts still work: select all, then type
    QTest::keyClicks(width, "7");
    EXPECT_EQ(width->text(), QStringLiteral("7"));
    QTest::keyClick(width, Qt::Key_Return);
    EXPECT_EQ(DialogRuns, 0) << "Enter is swallowed by the field";

    width->clear();
    Window->BT_OK->click();
    EXPECT_EQ(CountMessages(kVideoSizeNotSupported), 1);
    EXPECT_EQ(Messages.Entries.back().Icon, TMessageIcon::Error);

    NpotSupported = false;
    width->setText(QStringLiteral("640"));
    Window->ED_Height->setText(QStringLiteral("512"));
    Window->BT_OK->click();
    EXPECT_EQ(CountMessages(kPowerOfTwoWanted), 1);
    EXPECT_EQ(Form->Settings.Save_Size_X, 640) << "the typed size is stored even when refused";
    EXPECT_EQ(DialogRuns, 0);
    EXPECT_TRUE(Window->isVisible()) << "the window stays for a correction";
}

TEST_F(ImgSaveTest, QualityBarClampsTheStoredValueAndStoresItsPosition) {
    OpenPicture(BlockPicture(64, 48), "small.bmp");
    for (const auto& [stored, shown] : {std::pair{0, 10}, std::pair{10, 10}, std::pair{55, 55}}) {
        Window->hide();
        Form->Settings.JpegQuality = stored;
        Form->Action_saveGLImg->trigger();
        EXPECT_EQ(Window->TrackBar_QUAL->value(), shown);
        EXPECT_EQ(Window->L_Qual->text(), QString::number(shown));
        EXPECT_EQ(Form->Settings.JpegQuality, shown);
    }
    Window->TrackBar_QUAL->setValue(70);
    EXPECT_EQ(Form->Settings.JpegQuality, 70);
    EXPECT_EQ(Window->L_Qual->text(), QStringLiteral("70"));
}

TEST_F(ImgSaveTest, JpegNamesLeaveABmpOfTheSameStemUntouched) {
    OpenPicture(BlockPicture(64, 48), "small.bmp");
    const std::string out = Temp.Path() + "out/";
    std::filesystem::create_directory(out);
    WriteTextFile(out + "shot.bmp", "the user's own file");
    Export(out + "shot.jpg", 64, 48, false);
    Export(out + "long.jpeg", 64, 48, false);
    EXPECT_EQ(ReadTextFile(out + "shot.bmp"), "the user's own file");
    EXPECT_EQ(LoadJpeg(out + "shot.jpg").Width(), 64);
    EXPECT_EQ(LoadJpeg(out + "long.jpeg").Width(), 64) << ".jpeg is a JPEG name too";
    EXPECT_EQ(Listing(out), (std::set<std::string>{"shot.bmp", "shot.jpg", "long.jpeg"}));
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(ImgSaveTest, BadTargetsAndSizesGiveAMessageWriteNothingAndRenderingGoesOn) {
    OpenPicture(BlockPicture(64, 48), "small.bmp");
    const std::string folderName = Temp.File("shot.jpg");
    std::filesystem::create_directory(folderName);
    const auto before = Listing(Temp.Path());
    const bool suspended = Form->RenderSuspended();

    Export("/proc/lumatex-shot.bmp", 64, 48, false); // nobody may create files there
    EXPECT_EQ(Messages.Entries.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists("/proc/lumatex-shot.bmp"));
    Export(folderName, 64, 48, false);
    EXPECT_EQ(Messages.Entries.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(folderName));
    EXPECT_EQ(Form->RenderSuspended(), suspended) << "rendering is back as it was after a failure";

    for (const auto& [w, h] : {std::pair{0, 0}, std::pair{9999, 9999}}) {
        const size_t messages = Messages.Entries.size();
        Export(Temp.File("size.bmp"), w, h, false);
        ASSERT_EQ(Messages.Entries.size(), messages + 1) << w << "x" << h;
        EXPECT_NE(Messages.Entries.back().Text.find(std::to_string(w) + "x" + std::to_string(h)),
                  std::string::npos)
            << Messages.Entries.back().Text;
        EXPECT_TRUE(Window->isVisible());
        Window->hide();
    }
    EXPECT_EQ(DialogRuns, 2) << "sizes are refused before a name is asked for";
    EXPECT_EQ(Listing(Temp.Path()), before) << "no partial or scratch file";
    for (const auto& entry : Messages.Entries)
        EXPECT_EQ(entry.Icon, TMessageIcon::Error) << entry.Text;

    const uint64_t drawn = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() > drawn; })) << "the program still renders";
    Export(Temp.File("after.bmp"), 64, 48, false);
    EXPECT_TRUE(FileExists(Temp.File("after.bmp")));
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
}

// The program's own message boxes: a write that fails inside the export's GL work (with the off-screen
// buffer's context current) is told once the export has returned and the event loop runs, never by a box
// whose nested loop would run in the middle of the export.
TEST_F(ImgSaveTest, AMessageRaisedInsideTheExportIsShownAfterItNotDuringIt) {
    OpenPicture(BlockPicture(64, 48), "small.bmp");
    struct TShown {
        std::string Text;
        bool ExportReturned;
        bool InGLWork;
        bool RenderSuspended;
    };
    std::vector<TShown> shown;
    bool exportReturned = false;
    const bool suspended = Form->RenderSuspended();
    TQtMessageSink boxes([&](const TQtMessageSink::TMessage& m) {
        shown.push_back({m.Text, exportReturned, TGLWorkScope::Active(), Form->RenderSuspended()});
    });
    {
        const TMessageSinkGuard guard(boxes);
        Export("/proc/lumatex-shot.bmp", 64, 48, false); // nobody may create files there
        exportReturned = true;
        EXPECT_TRUE(shown.empty()) << "shown during the export: " << shown.front().Text;
        EXPECT_EQ(boxes.Pending(), 1u);
        EXPECT_TRUE(RunLoopUntil([&] { return !shown.empty(); }));
    }
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].ExportReturned);
    EXPECT_FALSE(shown[0].InGLWork);
    EXPECT_NE(shown[0].Text.find("/proc/lumatex-shot.bmp"), std::string::npos) << shown[0].Text;
    EXPECT_EQ(shown[0].RenderSuspended, suspended) << "rendering is back as it was when the message shows";
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(ImgSaveTest, APlayingVideoIsExportedAtTheFramesAspectAndGoesOnPlaying) {
    Form->OpenFile(CounterClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    ASSERT_TRUE(RunLoopUntil([&] { return FrameNumberIn(GrabScreen(GLViewportOnScreen())) >= 3; }, 10000));
    Export(Temp.File("frame.bmp"), 512, 512, true);
    TBitmap frame;
    LoadBmpFile(Temp.File("frame.bmp"), frame);
    EXPECT_EQ(frame.Width(), 512);
    EXPECT_EQ(frame.Height(), 384);
    EXPECT_FALSE(Form->RenderSuspended());
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
    const int shown = FrameNumberIn(GrabScreen(GLViewportOnScreen()));
    EXPECT_TRUE(RunLoopUntil([&] { return FrameNumberIn(GrabScreen(GLViewportOnScreen())) > shown; }, 10000))
        << "the OpenGL view goes on with the video";
    EXPECT_TRUE(Messages.Entries.empty());
}

} // namespace
