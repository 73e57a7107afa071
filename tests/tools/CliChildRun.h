// CliChildRun.h: lumatex-render, ffmpeg and ffprobe run as child processes for the tests of the program's
// outputs: exit status, stdout and stderr.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

struct TChildRun {
    int Status = -1; // exit status, or -1 when the program did not exit normally
    std::string Out;
    std::string Err;
};

// program with args through the shell, every argument quoted.
TChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                   const TTempFolder& folder);
TChildRun RunRender(const std::vector<std::string>& args, const TTempFolder& folder);
// A clip made by ffmpeg from lavfi sources: video of WxH at rate for seconds, with a sine tone when sound.
std::string MakeTestClip(const TTempFolder& folder, const std::string& name, int width, int height, int rate,
                         double seconds, bool sound);
// What ffprobe says of a stream entry (e.g. "codec_type", "nb_read_frames") of every stream, one per line.
std::string ProbeStreams(const std::string& file, const std::string& entries, const TTempFolder& folder,
                         bool countFrames = false);
