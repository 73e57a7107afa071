#include "pipeline/FrameExport.h"

#include "imaging/PictureRows.h"
#include "imaging/Resample.h"
#include "pipeline/ExportSteps.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"

#include <algorithm>
#include <cstdint>

int ExportMaxEdge() {
    return std::min(kMaxOutputEdge, TFBO::MaxEdge());
}

std::string ExportSizeProblem(int width, int height, bool npotSupported, int maxEdge) {
    if (!npotSupported && !(IsPowerOfTwo(width) && IsPowerOfTwo(height))) return kPowerOfTwoWanted;
    if (width < 1 || height < 1)
        return FormatText("An image of %dx%d pixels cannot be made. Please choose a width and a height of at "
                          "least 1.",
                          width, height);
    if (width > maxEdge || height > maxEdge || int64_t(width) * height > kMaxOutputPixels)
        return FormatText("An image of %dx%d pixels is too large: at most %d pixels per edge can be rendered "
                          "here, and at most %lld pixels in all.",
                          width, height, maxEdge, static_cast<long long>(kMaxOutputPixels));
    return {};
}

std::string DriverEdgeProblem(TPixelSize size, int maxEdge) {
    if (size.Width <= maxEdge && size.Height <= maxEdge) return {};
    return FormatText("cannot render at %dx%d: this OpenGL driver draws at most %d pixels per edge",
                      size.Width, size.Height, maxEdge);
}

TExportTarget ExportTargetFor(const std::string& name) {
    if (IsJpegName(name)) return {name, TOutputFormat::Jpeg};
    if (LowerExtension(name) == ".bmp") return {name, TOutputFormat::Bmp};
    const size_t slash = name.find_last_of('/');
    const size_t bareLength = slash == std::string::npos ? name.size() : name.size() - slash - 1;
    constexpr size_t kReplaced = 4;
    const std::string stem = bareLength > kReplaced ? name.substr(0, name.size() - kReplaced) : name;
    return {stem + ".bmp", TOutputFormat::Bmp};
}

bool ExportFrame(TRenderEngine& engine, const TFrameExport& job) {
    const auto write = [&job](TPictureRows& picture) {
        FinishExport(picture, job.Target.Path, job.Target.Format, job.ForceAspect, job.Frame,
                     job.JpegQuality);
        return true;
    };
    return engine.SaveGLImage(job.Size.Width, job.Size.Height, write);
}
