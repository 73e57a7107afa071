#include "Progress.h"

#include <algorithm>

#include <unistd.h>

namespace RenderCli {

std::string ProgressLine(int64_t done, int64_t total, int width) {
    if (total < 0) return "frames: " + std::to_string(done);
    if (done < 0) done = 0;
    if (done > total) done = total;
    const int64_t filled = total > 0 ? done * width / total : width;
    const int64_t percent = total > 0 ? done * 100 / total : 100;
    std::string line = "[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(width - filled), '.');
    line += "] ";
    const std::string p = std::to_string(percent);
    line.append(3 - std::min<size_t>(3, p.size()), ' ');
    line += p + "% " + std::to_string(done) + "/" + std::to_string(total);
    return line;
}

TProgressBar::TProgressBar(std::FILE* stream, bool enabled, int64_t total)
    : Stream(stream), Enabled(enabled && stream), Total(total) {}

TProgressBar::~TProgressBar() {
    Finish();
}

bool TProgressBar::IsTerminal(std::FILE* stream) {
    return stream && isatty(fileno(stream)) == 1;
}

void TProgressBar::Update(int64_t done) {
    if (!Enabled) return;
    std::fprintf(Stream, "\r%s", ProgressLine(done, Total, 40).c_str());
    std::fflush(Stream);
    Drawn = true;
}

void TProgressBar::Finish() {
    if (!Drawn) return;
    std::fputc('\n', Stream);
    std::fflush(Stream);
    Drawn = false;
}

} // namespace RenderCli
