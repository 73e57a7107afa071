#include "tools/CliChildRun.h"

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sys/wait.h>

TChildRun RunChild(const std::string& program, const std::vector<std::string>& args,
                   const TTempFolder& folder) {
    std::string command = program;
    for (const std::string& a : args)
        command += " '" + std::regex_replace(a, std::regex("'"), "'\\''") + "'";
    const std::string out = folder.File("child-stdout.txt");
    const std::string err = folder.File("child-stderr.txt");
    const int status = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
    TChildRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadTextFile(out), ReadTextFile(err)};
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

TChildRun RunRender(const std::vector<std::string>& args, const TTempFolder& folder) {
    return RunChild(LUMATEX_RENDER_EXE, args, folder);
}

std::string MakeTestClip(const TTempFolder& folder, const std::string& name, int width, int height, int rate,
                         double seconds, bool sound) {
    const std::string clip = folder.File(name);
    std::vector<std::string> args{"-v",
                                  "error",
                                  "-y",
                                  "-f",
                                  "lavfi",
                                  "-i",
                                  "testsrc2=size=" + std::to_string(width) + "x" + std::to_string(height) +
                                      ":rate=" + std::to_string(rate) +
                                      ":duration=" + std::to_string(seconds)};
    if (sound)
        args.insert(args.end(), {"-f", "lavfi", "-i",
                                 "sine=frequency=440:sample_rate=48000:duration=" + std::to_string(seconds)});
    args.insert(args.end(), {"-c:v", "mpeg4", "-q:v", "2"});
    if (sound) args.insert(args.end(), {"-c:a", "aac"});
    args.push_back(clip);
    const TChildRun made = RunChild("ffmpeg", args, folder);
    return made.Status == 0 ? clip : std::string();
}

std::string ProbeStreams(const std::string& file, const std::string& entries, const TTempFolder& folder,
                         bool countFrames) {
    std::vector<std::string> args{"-v", "error"};
    if (countFrames) args.push_back("-count_frames");
    args.insert(args.end(), {"-show_entries", "stream=" + entries, "-of", "csv=p=0", file});
    return RunChild("ffprobe", args, folder).Out;
}
