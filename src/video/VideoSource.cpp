#include "video/VideoSource.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace {

constexpr std::string_view kLavfiPrefix = "lavfi:";
constexpr std::string_view kDevicePrefix = "/dev/";
// The network protocols a user may name; "file:" and the like stay files, and local pipes stay out.
constexpr std::array<std::string_view, 12> kStreamSchemes = {
    "rtsp", "rtsps", "rtmp", "rtmps", "http", "https", "udp", "rtp", "srt", "tcp", "mms", "hls"};

std::string LowerScheme(const std::string& text) {
    const size_t colon = text.find("://");
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = text.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return scheme;
}

} // namespace

TVideoSource SourceFromAddress(const std::string& text) {
    TVideoSource source;
    source.Address = text;
    if (text.rfind(kLavfiPrefix, 0) == 0) {
        source.Kind = TSourceKind::TestSource;
        source.Address = text.substr(kLavfiPrefix.size());
        return source;
    }
    const std::string scheme = LowerScheme(text);
    if (std::find(kStreamSchemes.begin(), kStreamSchemes.end(), scheme) != kStreamSchemes.end()) {
        source.Kind = TSourceKind::Stream;
        return source;
    }
    if (text.rfind(kDevicePrefix, 0) == 0) source.Kind = TSourceKind::Camera;
    return source;
}
