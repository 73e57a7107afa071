// The export steps around the engine's off-screen save and the still image load.
#include "pipeline/ExportSteps.h"
#include "pipeline/StillImage.h"

#include "imaging/JpegCodec.h"
#include "imaging/PictureRows.h"
#include "imaging/Resample.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/ScratchFiles.h"
#include "platform/Stream.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A picture whose every pixel differs from its neighbours, so that a resample or a flip shows.
TBitmap Pattern(int width, int height, int bits = 24) {
    TBitmap b(width, height, bits);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            row[x * b.BytesPerPixel() + 0] = static_cast<uint8_t>(x * 7 + y);
            row[x * b.BytesPerPixel() + 1] = static_cast<uint8_t>(y * 5);
            row[x * b.BytesPerPixel() + 2] = static_cast<uint8_t>(x ^ y);
        }
    }
    return b;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(ForcedAspectSize, LargestSizeOfTheFramesRatioInTheBox) {
    EXPECT_EQ(ForcedAspectSize({640, 480}, {512, 512}), (TPixelSize{512, 384}));
    EXPECT_EQ(ForcedAspectSize({100, 0}, {64, 32}), (TPixelSize{32, 32})) << "no height: ratio 1";
    EXPECT_EQ(ForcedAspectSize({4000, 1}, {16, 16}), (TPixelSize{16, 1})) << "never below one pixel";
    EXPECT_EQ(ForcedAspectSize({1, 4000}, {16, 16}), (TPixelSize{1, 16}));
}

TEST(LoadStillImage, SizesFollowTheMainWindowsRulesAndUnreadableFilesRaise) {
    TTempFolder tmp;
    SaveBmpFile(Pattern(300, 200), tmp.File("a.bmp"));
    const TBitmap resampled = LoadStillImage(tmp.File("a.bmp"), false);
    EXPECT_EQ(resampled.Width(), 512);
    EXPECT_EQ(resampled.Height(), 512);
    SaveBmpFile(Pattern(301, 200), tmp.File("b.bmp"));
    const TBitmap trimmed = LoadStillImage(tmp.File("b.bmp"), true);
    EXPECT_EQ(trimmed.Width(), 300);
    EXPECT_EQ(trimmed.Height(), 200);
    const TBitmap square = Pattern(256, 256);
    SaveBmpFile(square, tmp.File("c.bmp"));
    EXPECT_TRUE(LoadStillImage(tmp.File("c.bmp"), false).SamePixels(square))
        << "a power of two is used unchanged";
    SaveBmpFile(Pattern(3, 5), tmp.File("narrow.bmp"));
    EXPECT_EQ(LoadStillImage(tmp.File("narrow.bmp"), true).Width(), 3) << "nothing to trim to: kept";
    WriteBinaryFile(tmp.File("jpeg-inside.bmp"), EncodeJpeg(Pattern(64, 32), 90)); // decoded by content
    EXPECT_EQ(LoadStillImage(tmp.File("jpeg-inside.bmp"), true).Width(), 64);

    EXPECT_THROW(LoadStillImage(tmp.File("missing.bmp"), true), ELumatex);
    WriteTextFile(tmp.File("text.jpg"), "this is no picture at all"); // damaged BMPs are fuzz_bmp's
    EXPECT_THROW(LoadStillImage(tmp.File("text.jpg"), true), ELumatex);
}

TEST(FinishExport, ResultReplacesOnlyTheTarget) {
    TTempFolder tmp;
    const TBitmap rendered = Pattern(512, 512, 32);
    TBitmap picture = rendered;
    FinishExport(picture, tmp.File("out.bmp"), TOutputFormat::Bmp, false, {640, 480}, 100);
    TBitmap back;
    LoadBmpFile(tmp.File("out.bmp"), back);
    EXPECT_TRUE(back.SamePixels(rendered)) << "without aspect forcing the engine's picture is the result";

    picture = rendered;
    WriteTextFile(tmp.File("shot.bmp"), "a file of the user's that must survive");
    FinishExport(picture, tmp.File("shot.jpg"), TOutputFormat::Jpeg, true, {640, 480}, 75);
    EXPECT_EQ(Names(tmp.Path()), (std::vector<std::string>{"out.bmp", "shot.bmp", "shot.jpg"}));
    EXPECT_EQ(ReadTextFile(tmp.File("shot.bmp")), "a file of the user's that must survive");
    const auto jpeg = ReadWholeFile(tmp.File("shot.jpg"));
    ASSERT_TRUE(jpeg);
    TBitmap decoded;
    DecodeJpeg(jpeg->data(), jpeg->size(), decoded);
    EXPECT_EQ(decoded.Width(), 512);
    EXPECT_EQ(decoded.Height(), 384);
}

TEST(FinishExport, FailureLeavesNoScratchAndNoHalfTarget) {
    TTempFolder tmp;
    std::filesystem::create_directory(tmp.File("dir"));
    TBitmap nothing; // the encoder refuses it after the scratch file was made
    EXPECT_THROW(FinishExport(nothing, tmp.File("dir/x.jpg"), TOutputFormat::Jpeg, false, {8, 8}, 90),
                 ELumatex);
    EXPECT_TRUE(Names(tmp.File("dir")).empty());
    // A folder in the target's place: the rename fails and the scratch file goes.
    std::filesystem::create_directories(tmp.File("dir/y.bmp/inside"));
    TBitmap picture = Pattern(4, 4, 32);
    EXPECT_THROW(FinishExport(picture, tmp.File("dir/y.bmp"), TOutputFormat::Bmp, false, {4, 4}, 90),
                 ELumatex);
    EXPECT_EQ(Names(tmp.File("dir")), (std::vector<std::string>{"y.bmp"}));
    EXPECT_THROW(CreateScratchFile(tmp.File("missing/z.bmp"), ".bmp"), ELumatex);
}

TEST(CreateScratchFile, NameFitsWhateverTheTargetsLength) {
    TTempFolder tmp;
    // The longest name a file system takes: the scratch file beside it must still be creatable.
    const std::string target = tmp.File(std::string(251, 'n') + ".bmp");
    const std::string scratch = CreateScratchFile(target, ".bmp");
    EXPECT_EQ(scratch.rfind(tmp.Path(), 0), 0u) << "in the target's folder: " << scratch;
    EXPECT_EQ(scratch.size(), tmp.Path().size() + std::string("lumatex-XXXXXX.bmp").size()) << scratch;
    std::filesystem::remove(scratch);
    ForgetScratchFile(scratch);
    TBitmap picture = Pattern(8, 8, 32);
    FinishExport(picture, target, TOutputFormat::Bmp, false, {8, 8}, 90);
    EXPECT_EQ(Names(tmp.Path()), (std::vector<std::string>{std::string(251, 'n') + ".bmp"}));
}

TEST(FinishExport, LinkAtTheTargetIsWrittenThrough) {
    TTempFolder tmp;
    namespace fs = std::filesystem;
    fs::create_directory(tmp.File("sub"));
    WriteTextFile(tmp.File("sub/real.bmp"), "the old picture");
    fs::create_symlink("sub/real.bmp", tmp.File("out.bmp"));
    TBitmap picture = Pattern(8, 8, 32);
    const TBitmap rendered = picture;
    FinishExport(picture, tmp.File("out.bmp"), TOutputFormat::Bmp, false, {8, 8}, 90);
    EXPECT_TRUE(fs::is_symlink(tmp.File("out.bmp")));
    TBitmap back;
    LoadBmpFile(tmp.File("sub/real.bmp"), back);
    EXPECT_TRUE(back.SamePixels(rendered));
    EXPECT_EQ(Names(tmp.File("sub")), (std::vector<std::string>{"real.bmp"}));

    // A chain of links ending nowhere yet: the file at its end is made.
    fs::create_symlink(tmp.File("sub/new.jpg"), tmp.File("dangling.jpg"));
    fs::create_symlink("dangling.jpg", tmp.File("chain.jpg"));
    FinishExport(picture, tmp.File("chain.jpg"), TOutputFormat::Jpeg, false, {8, 8}, 90);
    EXPECT_TRUE(fs::is_symlink(tmp.File("chain.jpg")));
    EXPECT_TRUE(fs::is_symlink(tmp.File("dangling.jpg")));
    EXPECT_TRUE(FileExists(tmp.File("sub/new.jpg")));

    fs::create_symlink("loop.bmp", tmp.File("loop.bmp"));
    EXPECT_THROW(FinishExport(picture, tmp.File("loop.bmp"), TOutputFormat::Bmp, false, {8, 8}, 90),
                 ELumatex);
    EXPECT_EQ(Names(tmp.Path()),
              (std::vector<std::string>{"chain.jpg", "dangling.jpg", "loop.bmp", "out.bmp", "sub"}));
}

namespace {

// A 32-bit picture whose alpha varies too, as the engine's read-back may hold it.
TBitmap Captured(int width, int height) {
    TBitmap b = Pattern(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.ScanLine(y)[x * 4 + 3] = static_cast<uint8_t>(x * 3 + y * 11);
    return b;
}

std::vector<uint8_t> Bytes(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    return bytes ? *bytes : std::vector<uint8_t>{};
}

// A stream that takes `room` bytes and then reports the platform's write error.
class TFullStream : public TMemoryStream {
public:
    explicit TFullStream(size_t room) : Room(room) {}
    size_t Write(const void* buffer, size_t count) override {
        if (Bytes.size() + count > Room) throw ELumatex("disk full");
        return TMemoryStream::Write(buffer, count);
    }

private:
    size_t Room;
};

} // namespace

TEST(FinishExport, RowByRowWritesTheSameFileAsTheWholePicture) {
    TTempFolder tmp;
    // Odd sizes, a single pixel, a strip; frames wider, taller and of the picture's own ratio (whose box
    // filter still averages neighbours).
    const TPixelSize pictures[] = {{37, 23}, {1, 1}, {5, 300}, {300, 5}};
    const TPixelSize frames[] = {{640, 480}, {100, 400}, {37, 23}};
    for (const TPixelSize p : pictures)
        for (const TPixelSize frame : frames)
            for (const bool aspect : {false, true})
                for (const TOutputFormat format : {TOutputFormat::Bmp, TOutputFormat::Jpeg}) {
                    const std::string ext = format == TOutputFormat::Jpeg ? ".jpg" : ".bmp";
                    const TBitmap rendered = Captured(p.Width, p.Height);
                    TBitmap whole = rendered;
                    FinishExport(whole, tmp.File("whole" + ext), format, aspect, frame, 87);
                    TBitmapRows rows(rendered);
                    FinishExport(rows, tmp.File("rows" + ext), format, aspect, frame, 87);
                    const auto expected = Bytes(tmp.File("whole" + ext));
                    ASSERT_FALSE(expected.empty());
                    EXPECT_EQ(Bytes(tmp.File("rows" + ext)), expected)
                        << p.Width << "x" << p.Height << " frame " << frame.Width << "x" << frame.Height
                        << (aspect ? " aspect " : " ") << ext;
                }
    EXPECT_EQ(Names(tmp.Path()),
              (std::vector<std::string>{"rows.bmp", "rows.jpg", "whole.bmp", "whole.jpg"}));
}

TEST(FinishExport, RowByRowFailureLeavesNoScratchAndNoHalfTarget) {
    TTempFolder tmp;
    std::filesystem::create_directories(tmp.File("dir/y.jpg/inside"));
    const TBitmap picture = Captured(8, 8);
    TBitmapRows rows(picture);
    EXPECT_THROW(FinishExport(rows, tmp.File("dir/y.jpg"), TOutputFormat::Jpeg, false, {8, 8}, 90), ELumatex);
    EXPECT_EQ(Names(tmp.File("dir")), (std::vector<std::string>{"y.jpg"}));
    const TBitmap nothing;
    TBitmapRows none(nothing);
    EXPECT_THROW(FinishExport(none, tmp.File("dir/z.bmp"), TOutputFormat::Bmp, true, {8, 8}, 90), ELumatex);
    EXPECT_EQ(Names(tmp.File("dir")), (std::vector<std::string>{"y.jpg"}));
}

TEST(TBoxResampledRows, RowsInAnyOrderAreResampleBitmapsUpOrDown) {
    const std::pair<TPixelSize, TPixelSize> cases[] = {{{37, 23}, {20, 13}},
                                                       {{7, 5}, {20, 13}},
                                                       {{300, 5}, {1, 1}},
                                                       {{5, 300}, {5, 17}},
                                                       {{16, 16}, {16, 16}}};
    for (const auto& [from, to] : cases) {
        const TBitmap source = Captured(from.Width, from.Height);
        TBitmap expected = source;
        ASSERT_TRUE(ResampleBitmap(expected, to.Width, to.Height));
        TBitmapRows rows(source);
        TBoxResampledRows resampled(rows, to.Width, to.Height);
        ASSERT_EQ(resampled.Width(), to.Width);
        ASSERT_EQ(resampled.Height(), to.Height);
        // Down, then up, then scattered: the sums start afresh for every row.
        for (int pass = 0; pass < 3; ++pass)
            for (int i = 0; i < to.Height; ++i) {
                const int y = pass == 0 ? i : pass == 1 ? to.Height - 1 - i : (i * 7) % to.Height;
                ASSERT_EQ(0, std::memcmp(resampled.Row(y), expected.ScanLine(y), size_t(to.Width) * 4))
                    << from.Width << "x" << from.Height << " to " << to.Width << "x" << to.Height << " row "
                    << y << " pass " << pass;
            }
    }
}

TEST(TBmpRowWriter, RowsMakeEncodeBmpsFileAndImpossibleSizesRaise) {
    for (const int bits : {24, 32}) {
        const TBitmap picture = bits == 32 ? Captured(13, 7) : Pattern(13, 7); // 39-byte rows: padded
        TMemoryStream stream;
        TBmpRowWriter writer(stream, 13, 7, bits);
        ASSERT_TRUE(writer.WriteHeaders());
        for (int y = 6; y >= 0; --y)
            ASSERT_TRUE(writer.WriteRow(picture.ScanLine(y)));
        EXPECT_EQ(stream.Bytes, EncodeBmp(picture)) << bits;
    }
    EXPECT_THROW(TBmpRowWriter(*std::make_unique<TMemoryStream>(), 4, 4, 8), ELumatex);
    EXPECT_THROW(TBmpRowWriter(*std::make_unique<TMemoryStream>(), 32768, 32768, 32), ELumatex)
        << "over what a BMP's 32-bit sizes hold";
}

TEST(TJpegRowEncoder, RowsMakeEncodeJpegsBytesAndStreamErrorsComeThrough) {
    for (const int bits : {24, 32}) {
        const TBitmap picture = bits == 32 ? Captured(45, 33) : Pattern(45, 33);
        TMemoryStream stream;
        TJpegRowEncoder encoder(stream, 45, 33, bits, 120); // quality clamped as EncodeJpeg clamps it
        for (int y = 0; y < 33; ++y)
            encoder.WriteRow(picture.ScanLine(y));
        encoder.Finish();
        EXPECT_EQ(stream.Bytes, EncodeJpeg(picture, 100)) << bits;
    }
    // A large noisy picture fills the encoder's buffer more than once before the disk is full.
    TBitmap noisy(512, 512, 24);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512 * 3; ++x)
            noisy.ScanLine(y)[x] = static_cast<uint8_t>((x * 2654435761u + y * 40503u) >> 13);
    TFullStream full(100 * 1024);
    try {
        TJpegRowEncoder encoder(full, 512, 512, 24, 100);
        for (int y = 0; y < 512; ++y)
            encoder.WriteRow(noisy.ScanLine(y));
        encoder.Finish();
        ADD_FAILURE() << "the full stream was not reported";
    } catch (const ELumatex& e) {
        EXPECT_STREQ(e.what(), "disk full");
    }
    EXPECT_THROW(TJpegRowEncoder(full, 0, 5, 24, 90), ELumatex);
}

// A disk that fills up while the picture is written, both ways and in both formats: a child process whose
// files may not grow past 4 KiB, where the kernel refuses the write past it (EFBIG) as a full disk refuses
// it (ENOSPC). The message names the file asked for, not the scratch file that was being written, and
// neither is left behind.
TEST(FinishExport, AWriteErrorNamesTheFileAskedForNotTheScratchFile) {
    TTempFolder tmp;
    const TBitmap rendered = Captured(128, 128); // 64 KiB as a BMP, well over 4 KiB as a JPEG too
    for (const TOutputFormat format : {TOutputFormat::Bmp, TOutputFormat::Jpeg})
        for (const bool byRows : {false, true}) {
            const std::string target = tmp.File(format == TOutputFormat::Jpeg ? "shot.jpg" : "shot.bmp");
            int channel[2];
            ASSERT_EQ(pipe(channel), 0);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                close(channel[0]);
                signal(SIGXFSZ, SIG_IGN); // the write answers EFBIG instead of the signal ending the child
                const rlimit limit{4096, RLIM_INFINITY};
                std::string told = "no error";
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(2);
                try {
                    TBitmap whole = rendered;
                    TBitmapRows rows(rendered);
                    if (byRows)
                        FinishExport(rows, target, format, false, {128, 128}, 100);
                    else
                        FinishExport(whole, target, format, false, {128, 128}, 100);
                } catch (const ELumatex& e) {
                    told = e.what();
                }
                [[maybe_unused]] const ssize_t sent = write(channel[1], told.data(), told.size());
                _exit(0);
            }
            close(channel[1]);
            std::string told;
            char buffer[512];
            for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
                told.append(buffer, size_t(n));
            close(channel[0]);
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "the child could not limit its files";
            const std::string how = std::string(byRows ? "by rows " : "whole ") + target;
            EXPECT_EQ(told, "Write error in \"" + target + "\": " + std::strerror(EFBIG)) << how;
            EXPECT_TRUE(Names(tmp.Path()).empty()) << how;
        }
}
