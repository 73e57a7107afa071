// Progress.h: the progress bar lumatex-render draws on stderr while it renders several frames. It draws only
// when its stream is a terminal, so logs and pipes never receive carriage returns.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace RenderCli {

// One line of the bar, without "\r": "[#####.....]  50% 5/10" for a known total, "frames: 5" without one
// (total < 0). width is the number of cells between the brackets.
std::string ProgressLine(int64_t done, int64_t total, int width);

class TProgressBar {
public:
    // enabled false draws nothing; Enabled(stream) says whether a stream is a terminal.
    TProgressBar(std::FILE* stream, bool enabled, int64_t total);
    ~TProgressBar(); // ends the line when something was drawn
    TProgressBar(const TProgressBar&) = delete;
    TProgressBar& operator=(const TProgressBar&) = delete;

    static bool IsTerminal(std::FILE* stream);
    void Update(int64_t done);
    // Ends the bar's line so that later messages start on a line of their own.
    void Finish();

private:
    std::FILE* Stream;
    bool Enabled;
    int64_t Total;
    bool Drawn = false;
};

} // namespace RenderCli
