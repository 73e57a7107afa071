#include "pipeline/MediaFiles.h"

#include "imaging/Resample.h"
#include "platform/Text.h"

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    return AsciiLower(path.substr(dot));
}

TMediaKind MediaKindOf(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".avi" || ext == ".mpg") return TMediaKind::Video;
    if (ext == ".bmp" || ext == ".jpg") return TMediaKind::Image;
    return TMediaKind::None;
}

std::optional<TOutputFormat> OutputFormatOf(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".bmp") return TOutputFormat::Bmp;
    if (ext == ".jpg") return TOutputFormat::Jpeg;
    return std::nullopt;
}

bool VideoSizeSupported(bool npotSupported, bool showGLRenderer, int width, int height) {
    return npotSupported || !showGLRenderer || (IsPowerOfTwo(width) && IsPowerOfTwo(height));
}
