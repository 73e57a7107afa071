#include "pipeline/ExportSteps.h"

#include "imaging/JpegCodec.h"
#include "imaging/PictureRows.h"
#include "imaging/Resample.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/ScratchFiles.h"
#include "platform/Stream.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

TPixelSize ForcedAspectSize(TPixelSize frame, TPixelSize box) {
    const double aspect = frame.Height < 1 ? 1.0 : static_cast<double>(frame.Width) / frame.Height;
    double w = box.Width;
    double h = std::trunc(w / aspect);
    if (box.Height < h) {
        h = box.Height;
        w = std::trunc(box.Height * aspect);
    }
    const auto clampEdge = [](double v) {
        return v < 1.0 ? 1 : (v > kMaxOutputEdge ? kMaxOutputEdge : int(v));
    };
    return TPixelSize{clampEdge(w), clampEdge(h)};
}

namespace {

// Writes the file under a scratch name beside target (or beside the file a link at target leads to) and
// renames it over that; nothing is left behind when write raises. The stream's messages name target: the
// scratch file is ours, the user knows only the name asked for.
void WriteThroughScratch(const std::string& target, TOutputFormat format,
                         const std::function<void(TStream&)>& write) {
    // A link in the target's place stays a link: the picture replaces the file it leads to, and the
    // scratch file lies beside that file so that the rename stays within one file system.
    std::error_code linkError;
    const std::string destination = WriteThroughPath(target, linkError);
    if (linkError)
        throw ELumatex(FormatText("cannot write %s: %s", target.c_str(), linkError.message().c_str()));
    const bool jpeg = format == TOutputFormat::Jpeg;
    const std::string scratch = CreateScratchFile(destination, jpeg ? ".jpg" : ".bmp");
    try {
        {
            TFileStream file(scratch, TFileStream::TMode::Create, target);
            write(file);
        }
        if (std::rename(scratch.c_str(), destination.c_str()) != 0) {
            const int error = errno;
            throw ELumatex(FormatText("cannot write %s: %s", target.c_str(), std::strerror(error)));
        }
    } catch (...) {
        std::remove(scratch.c_str());
        ForgetScratchFile(scratch);
        throw;
    }
    ForgetScratchFile(scratch);
}

[[noreturn]] void RaiseWriteError(const std::string& fileName) {
    throw ELumatex(FormatText("Write error in \"%s\"", fileName.c_str()));
}

void WriteBytes(TStream& file, const std::vector<uint8_t>& bytes, const std::string& target) {
    if (file.Write(bytes.data(), bytes.size()) != bytes.size()) RaiseWriteError(target);
}

void WriteRows(TPictureRows& picture, TStream& file, const std::string& target, TOutputFormat format,
               int jpegQuality) {
    const int width = picture.Width();
    const int height = picture.Height();
    if (format == TOutputFormat::Jpeg) {
        TJpegRowEncoder encoder(file, width, height, 32, jpegQuality);
        for (int y = 0; y < height; ++y)
            encoder.WriteRow(picture.Row(y));
        encoder.Finish();
        return;
    }
    TBmpRowWriter writer(file, width, height, 32);
    if (!writer.WriteHeaders()) RaiseWriteError(target);
    for (int y = height - 1; y >= 0; --y)
        if (!writer.WriteRow(picture.Row(y))) RaiseWriteError(target);
}

} // namespace

void FinishExport(TBitmap& picture, const std::string& target, TOutputFormat format, bool forceAspect,
                  TPixelSize frame, int jpegQuality) {
    if (forceAspect) {
        const TPixelSize size = ForcedAspectSize(frame, TPixelSize{picture.Width(), picture.Height()});
        if (!ResampleBitmap(picture, size.Width, size.Height))
            throw ELumatex(FormatText("cannot scale the picture to %dx%d", size.Width, size.Height));
    }
    WriteThroughScratch(target, format, [&](TStream& file) {
        if (format == TOutputFormat::Jpeg)
            WriteBytes(file, EncodeJpeg(picture, jpegQuality), target);
        else if (!WriteBmp(picture, file))
            RaiseWriteError(target);
    });
}

void FinishExport(TPictureRows& picture, const std::string& target, TOutputFormat format, bool forceAspect,
                  TPixelSize frame, int jpegQuality) {
    std::optional<TBoxResampledRows> resampled;
    if (forceAspect) {
        const TPixelSize size = ForcedAspectSize(frame, TPixelSize{picture.Width(), picture.Height()});
        if (picture.Width() <= 0 || picture.Height() <= 0)
            throw ELumatex(FormatText("cannot scale the picture to %dx%d", size.Width, size.Height));
        resampled.emplace(picture, size.Width, size.Height);
    }
    TPictureRows& rows = resampled ? static_cast<TPictureRows&>(*resampled) : picture;
    WriteThroughScratch(target, format,
                        [&](TStream& file) { WriteRows(rows, file, target, format, jpegQuality); });
}
