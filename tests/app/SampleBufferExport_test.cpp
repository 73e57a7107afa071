// "Save SampleBuffer..." in the running program: the dialog it offers, a picture's and a playing video's
// current frame written upright as BMP and JPEG, and names it cannot write.
#include "AppTestSupport.h"
#include "AppVideoClips.h"

#include "app/SampleBufferExport.h"
#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"

#include <QFileDialog>

#include <filesystem>
#include <set>

namespace {

QImage ToImage(const TBitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* row = bitmap.ScanLine(y);
        const int step = bitmap.BytesPerPixel();
        for (int x = 0; x < bitmap.Width(); ++x)
            image.setPixel(x, y, qRgb(row[step * x + 2], row[step * x + 1], row[step * x]));
    }
    return image;
}

TBitmap LoadJpeg(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    TBitmap bitmap;
    if (bytes && LooksLikeJpeg(bytes->data(), bytes->size()))
        DecodeJpeg(bytes->data(), bytes->size(), bitmap);
    return bitmap;
}

std::set<std::string> Listing(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

class SampleBufferTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        Form->Settings.RenderHUD = false;
        AttachSampleBufferExport(*Form, [this](QFileDialog& dialog) {
            Filters = dialog.nameFilters();
            SelectedFilter = dialog.selectedNameFilter();
            Suffix = dialog.defaultSuffix();
            Mode = dialog.acceptMode();
            Folder = dialog.directory().absolutePath();
            return QString::fromStdString(Chosen);
        });
    }
    void Save(const std::string& path) {
        Chosen = path;
        Form->Action_saveVideoImg->trigger();
    }
    std::string Chosen;
    QStringList Filters;
    QString SelectedFilter, Suffix, Folder;
    QFileDialog::AcceptMode Mode = QFileDialog::AcceptOpen;
};

TEST_F(SampleBufferTest, APicturesFrameIsSavedUprightAsBmpAndAsJpegForJpgAndJpegNames) {
    const std::string picture = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(256, 192), picture);
    OpenAndSettle(picture);
    const std::string out = Temp.Path() + "out/";
    std::filesystem::create_directory(out);
    Form->Settings.LastPath = out;

    Save(out + "shot.bmp");
    EXPECT_EQ(Filters, QStringList({"Alle Files (*.*)", "JPEG images (*.jpg)", "image files (*.bmp)"}));
    EXPECT_EQ(SelectedFilter, QStringLiteral("JPEG images (*.jpg)"));
    EXPECT_EQ(Suffix, QStringLiteral("jpg"));
    EXPECT_EQ(Mode, QFileDialog::AcceptSave);
    EXPECT_EQ(Folder.toStdString() + "/", out);
    TBitmap bmp;
    LoadBmpFile(out + "shot.bmp", bmp);
    EXPECT_TRUE(bmp.SamePixels(BlockPicture(256, 192))) << "the BMP holds the frame as it is, upright";

    Form->Settings.JpegQuality = 100;
    Save(out + "shot.jpg");
    Form->Settings.JpegQuality = 0; // the lowest stored value still gives a picture
    Save(out + "low.JPEG");
    for (const char* name : {"shot.jpg", "low.JPEG"}) {
        const TBitmap jpeg = LoadJpeg(out + name);
        ASSERT_EQ(jpeg.Width(), 256) << name;
        ASSERT_EQ(jpeg.Height(), 192) << name;
        const int tolerance = std::string(name) == "shot.jpg" ? 3 : 40;
        EXPECT_TRUE(ShowsBlocks(ToImage(jpeg), QRect(0, 0, 256, 192), tolerance)) << name;
    }
    EXPECT_EQ(Listing(out), (std::set<std::string>{"shot.bmp", "shot.jpg", "low.JPEG"}))
        << "no scratch file is left behind";
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(SampleBufferTest, APlayingVideosCurrentFrameIsSavedUprightAndPlayingGoesOn) {
    Form->OpenFile(CounterClip());
    ASSERT_EQ(Form->PlayState(), TPlayState::Playing);
    ASSERT_TRUE(RunLoopUntil([&] { return FrameNumberIn(GrabScreen(GLViewportOnScreen())) >= 3; }, 10000));

    Save(Temp.File("frame.bmp"));
    TBitmap bmp;
    LoadBmpFile(Temp.File("frame.bmp"), bmp);
    ASSERT_EQ(bmp.Width(), 640);
    ASSERT_EQ(bmp.Height(), 480);
    // The number blocks lie in the top third and the flat colour in the bottom one: a frame upside down
    // reads as no number.
    const QImage image = ToImage(bmp);
    EXPECT_GE(FrameNumberIn(image), 3);
    const QRgb bottom = image.pixel(320, 440);
    EXPECT_NEAR(qRed(bottom), 40, 12);
    EXPECT_NEAR(qGreen(bottom), 80, 12);
    EXPECT_NEAR(qBlue(bottom), 160, 12);

    Form->Settings.JpegQuality = 90;
    Save(Temp.File("frame.jpg"));
    const TBitmap jpeg = LoadJpeg(Temp.File("frame.jpg"));
    ASSERT_EQ(jpeg.Width(), 640);
    EXPECT_GE(FrameNumberIn(ToImage(jpeg)), 3);

    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
    const uint64_t drawn = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() > drawn + 3; }));
    EXPECT_TRUE(Messages.Entries.empty());
}

TEST_F(SampleBufferTest, UnwritableTargetsGiveAMessageNoPartialFileAndTheProgramGoesOn) {
    const std::string picture = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(64, 48), picture);
    OpenAndSettle(picture);
    const std::string folderName = Temp.File("shot.jpg");
    std::filesystem::create_directory(folderName);
    const auto before = Listing(Temp.Path());

    // Nobody, root included, may create files in /proc.
    Save("/proc/lumatex-shot.bmp");
    EXPECT_EQ(Messages.Entries.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists("/proc/lumatex-shot.bmp"));

    Save(folderName);
    EXPECT_EQ(Messages.Entries.size(), 2u);
    EXPECT_TRUE(DirectoryExists(folderName));
    EXPECT_TRUE(std::filesystem::is_empty(folderName));
    EXPECT_EQ(Listing(Temp.Path()), before) << "no partial or scratch file";
    for (const auto& entry : Messages.Entries)
        EXPECT_EQ(entry.Icon, TMessageIcon::Error) << entry.Text;

    Save(Temp.File("after.bmp"));
    EXPECT_TRUE(FileExists(Temp.File("after.bmp")));
    EXPECT_EQ(Messages.Entries.size(), 2u);
    EXPECT_EQ(Form->PlayState(), TPlayState::Playing);
}

} // namespace
