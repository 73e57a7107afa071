#include "pipeline/ExportSteps.h"

#include "imaging/JpegCodec.h"
#include "imaging/Resample.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
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

std::string CreateScratchFile(const std::string& target, const std::string& extension) {
    // A name of its own in the target's folder: one made from the target's name would overflow the file
    // system's limit for names the target itself still fits.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string pattern = folder + "lumatex-XXXXXX" + extension;
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemps(name.data(), static_cast<int>(extension.size()));
    if (fd < 0) {
        const int error = errno;
        throw ELumatex(
            FormatText("cannot create a file beside %s: %s", target.c_str(), std::strerror(error)));
    }
    // mkstemps makes the file private; the result should get the permissions any new file gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return std::string(name.data());
}

void FinishExport(TBitmap& picture, const std::string& target, TOutputFormat format, bool forceAspect,
                  TPixelSize frame, int jpegQuality) {
    if (forceAspect) {
        const TPixelSize size = ForcedAspectSize(frame, TPixelSize{picture.Width(), picture.Height()});
        if (!ResampleBitmap(picture, size.Width, size.Height))
            throw ELumatex(FormatText("cannot scale the picture to %dx%d", size.Width, size.Height));
    }
    // A link in the target's place stays a link: the picture replaces the file it leads to, and the
    // scratch file lies beside that file so that the rename stays within one file system.
    std::error_code linkError;
    const std::string destination = WriteThroughPath(target, linkError);
    if (linkError)
        throw ELumatex(FormatText("cannot write %s: %s", target.c_str(), linkError.message().c_str()));
    const bool jpeg = format == TOutputFormat::Jpeg;
    const std::string scratch = CreateScratchFile(destination, jpeg ? ".jpg" : ".bmp");
    try {
        if (jpeg)
            SaveJpegFile(picture, scratch, jpegQuality);
        else
            SaveBmpFile(picture, scratch);
        if (std::rename(scratch.c_str(), destination.c_str()) != 0) {
            const int error = errno;
            throw ELumatex(FormatText("cannot write %s: %s", target.c_str(), std::strerror(error)));
        }
    } catch (...) {
        std::remove(scratch.c_str());
        throw;
    }
}
