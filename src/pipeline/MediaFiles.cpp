#include "pipeline/MediaFiles.h"

#include "imaging/Resample.h"
#include "platform/Files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

TMediaKind MediaKindOf(const std::string& path) {
    const std::string ext = LowerExtension(path);
    if (ext == ".avi" || ext == ".mpg") return TMediaKind::Video;
    if (ext == ".bmp" || ext == ".jpg") return TMediaKind::Image;
    return TMediaKind::None;
}

bool IsJpegName(const std::string& path) {
    const std::string ext = LowerExtension(path);
    return ext == ".jpg" || ext == ".jpeg";
}

std::string InputFileProblem(const std::string& path) {
    const auto reason = [&path](int error) -> std::string {
        struct stat link {};
        switch (error) {
        case ENOENT:
            return lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)
                       ? "the symbolic link leads nowhere"
                       : "no such file";
        case ELOOP:
            return "a loop of symbolic links";
        case EACCES:
        case EPERM:
            return "permission denied";
        default:
            return std::strerror(error);
        }
    };
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return reason(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (!S_ISREG(info.st_mode)) return "not a regular file";
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return reason(errno);
    close(fd);
    return {};
}

bool VideoSizeSupported(bool npotSupported, bool showGLRenderer, int width, int height) {
    return npotSupported || !showGLRenderer || (IsPowerOfTwo(width) && IsPowerOfTwo(height));
}
