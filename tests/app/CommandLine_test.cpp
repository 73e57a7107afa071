// The program's command line: what it makes of its arguments, and how the program answers without a
// display (help, version, usage errors, no display at all).
#include "app/CommandLine.h"
#include "app/SideBySide.h"
#include "platform/Settings.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using TAction = TCommandLine::TAction;

struct TRun {
    int Status = -1;
    std::string Out, Err;
};

// Runs the built program with no display in its environment; stdout and stderr apart.
TRun RunWithoutDisplay(const std::string& arguments, const std::string& errFile) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " LUMATEX_BIN_DIR
                                "/lumatex " +
                                arguments + " 2>" + errFile;
    TRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
        run.Out.append(buffer.data(), n);
    const int status = ::pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (FILE* err = std::fopen(errFile.c_str(), "r")) {
        while ((n = std::fread(buffer.data(), 1, buffer.size(), err)) > 0)
            run.Err.append(buffer.data(), n);
        std::fclose(err);
    }
    return run;
}

} // namespace

TEST(CommandLine, ArgumentsBecomeOptionsASourceOrOneUsageError) {
    struct TCase {
        std::vector<std::string> Args;
        TAction Action;
        std::string Preset, Source;
        bool Loop;
        std::string Error;
    } cases[] = {
        {{}, TAction::Run, "", "", false, ""},
        {{"clip.avi"}, TAction::Run, "", "clip.avi", false, ""},
        {{"--loop", "--preset", "Edges", "lavfi:testsrc2"},
         TAction::Run,
         "Edges",
         "lavfi:testsrc2",
         true,
         ""},
        {{"--preset=my.prs", "/dev/video0"}, TAction::Run, "my.prs", "/dev/video0", false, ""},
        {{"--", "-odd name.mp4"}, TAction::Run, "", "-odd name.mp4", false, ""},
        {{"clip.avi", "--help"}, TAction::Help, "", "clip.avi", false, ""},
        {{"-h"}, TAction::Help, "", "", false, ""},
        {{"--version", "--bogus"}, TAction::Version, "", "", false, ""},
        {{"--bogus"}, TAction::UsageError, "", "", false, "unknown option: --bogus"},
        {{"-x", "clip.avi"}, TAction::UsageError, "", "", false, "unknown option: -x"},
        {{"--preset"}, TAction::UsageError, "", "", false, "--preset needs a preset name or a .prs file"},
        {{"--preset="}, TAction::UsageError, "", "", false, "--preset needs a preset name or a .prs file"},
        {{"a.avi", "b.avi"}, TAction::UsageError, "", "", false, "only one source can be given: b.avi"},
    };
    for (const TCase& c : cases) {
        const TCommandLine line = ParseCommandLine(c.Args);
        const std::string trace = c.Args.empty() ? "(none)" : c.Args.front();
        EXPECT_EQ(line.Action, c.Action) << trace;
        EXPECT_EQ(line.Error, c.Error) << trace;
        if (c.Action != TAction::Run) continue;
        EXPECT_EQ(line.Preset, c.Preset) << trace;
        EXPECT_EQ(line.Source, c.Source) << trace;
        EXPECT_EQ(line.Loop, c.Loop) << trace;
    }
}

TEST(CommandLine, FullScreenTakesAScreenCountedFromOneOrTheLast) {
    struct TCase {
        std::vector<std::string> Args;
        int FullScreen;
        std::string Error;
    } cases[] = {
        {{}, -1, ""},
        {{"--fullscreen"}, 0, ""},
        {{"--fullscreen=2", "clip.avi"}, 2, ""},
        {{"--fullscreen=0"}, -1, "--fullscreen=N needs a screen number from 1: 0"},
        {{"--fullscreen="}, -1, "--fullscreen=N needs a screen number from 1: "},
        {{"--fullscreen=2x"}, -1, "--fullscreen=N needs a screen number from 1: 2x"},
    };
    for (const TCase& c : cases) {
        const TCommandLine line = ParseCommandLine(c.Args);
        const std::string trace = c.Args.empty() ? "(none)" : c.Args.front();
        EXPECT_EQ(line.Error, c.Error) << trace;
        if (c.Error.empty()) {
            EXPECT_EQ(line.FullScreen, c.FullScreen) << trace;
        }
    }
}

TEST(CommandLine, OutputTakesAnAddressAY4mFileStandardOutputOrAV4L2Device) {
    const std::string refused =
        "--output needs an address (udp://, srt://, rtmp://, rtsp://), a .y4m file, - or /dev/videoN";
    struct TCase {
        std::vector<std::string> Args;
        std::string Output, Source, Error;
    } cases[] = {
        {{"--output", "udp://127.0.0.1:5000", "clip.avi"}, "udp://127.0.0.1:5000", "clip.avi", ""},
        {{"--output", "-", "clip.avi"}, "-", "clip.avi", ""},
        {{"--output", "out.Y4M"}, "out.Y4M", "", ""},
        {{"--output", "/dev/video10"}, "/dev/video10", "", ""},
        {{"--output", "out.mp4"}, "", "", refused},
        {{"--output", "udp://"}, "", "", refused},
        {{"--output"}, "", "", refused},
    };
    for (const TCase& c : cases) {
        const TCommandLine line = ParseCommandLine(c.Args);
        const std::string trace = c.Args.size() > 1 ? c.Args[1] : "(none)";
        EXPECT_EQ(line.Error, c.Error) << trace;
        EXPECT_EQ(line.Output, c.Output) << trace;
        EXPECT_EQ(line.Source, c.Source) << trace;
    }
}

TEST(CommandLine, SideBySidePutsTheChainWindowRightOfTheMainWindowOnTheScreen) {
    EXPECT_TRUE(ParseCommandLine({"--side-by-side", "clip.avi"}).SideBySide);
    EXPECT_FALSE(ParseCommandLine({"clip.avi"}).SideBySide);
    const struct {
        int ScreenWidth, MainWidth, NewMainWidth, SpcLeft;
    } cases[] = {
        {1920, 1024, 1024, 1024 + kSideBySideGap}, // both fit: the main window keeps its width
        {1200, 1024, 1200 - 210 - kSideBySideGap, 1200 - 210},
        {400, 1024, 200, 400 - 210}, // never below half the screen; the chain window stays on it
        {100, 1024, 50, 0},
    };
    for (const auto& c : cases) {
        TSettings settings;
        settings.main_left = settings.main_top = settings.spc_left = settings.spc_top = 333;
        settings.main_maximized = true;
        settings.Show_ShaderPluginChain = false;
        settings.main_width = c.MainWidth;
        PlaceSideBySide(settings, c.ScreenWidth, 210);
        EXPECT_EQ(settings.main_width, c.NewMainWidth) << c.ScreenWidth;
        EXPECT_EQ(settings.spc_left, c.SpcLeft) << c.ScreenWidth;
        EXPECT_EQ(settings.main_left + settings.main_top + settings.spc_top, 0) << c.ScreenWidth;
        EXPECT_FALSE(settings.main_maximized);
        EXPECT_TRUE(settings.Show_ShaderPluginChain);
        EXPECT_LE(settings.spc_left + 210, std::max(c.ScreenWidth, 210)) << c.ScreenWidth;
    }
}

TEST(CommandLine, TheProgramAnswersWithoutADisplayAndRefusesToStartWithoutOne) {
    const std::string errFile = ::testing::TempDir() + "lumatex-cli-err.txt";
    struct TCase {
        const char* Arguments;
        int Status;
        const char* InOut; // expected in stdout, or in stderr when the status is not 0
    } cases[] = {
        {"--help", 0, "Usage: lumatex [OPTIONS] [SOURCE]"},
        {"--version", 0, "lumatex "},
        {"--bogus", 2, "lumatex: unknown option: --bogus"},
        {"--preset", 2, "--preset needs a preset name or a .prs file"},
        {"--preset no-such-preset", 2, "preset not found: "},
        {"--loop clip.avi", 1, "no display"},
    };
    for (const TCase& c : cases) {
        const TRun run = RunWithoutDisplay(c.Arguments, errFile);
        EXPECT_EQ(run.Status, c.Status) << c.Arguments;
        const std::string& where = c.Status == 0 ? run.Out : run.Err;
        EXPECT_NE(where.find(c.InOut), std::string::npos) << c.Arguments << ": " << where;
        if (c.Status != 0) {
            EXPECT_TRUE(run.Out.empty()) << c.Arguments;
        }
        // Without a display: one line of ours, not Qt's page about platform plugins.
        if (c.Status == 1) {
            EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << run.Err;
        }
    }
}

TEST(CommandLine, TheOscPortAndItsAddress) {
    struct TCase {
        std::vector<std::string> Arguments;
        int Port;
        const char* Bind;
        const char* Error; // empty: no usage error
    };
    const TCase cases[] = {
        {{"--osc", "9000"}, 9000, "", ""},
        {{"--osc", "0"}, 0, "", ""},
        {{"--osc", "9000", "--osc-bind", "0.0.0.0", "clip.avi"}, 9000, "0.0.0.0", ""},
        {{}, -1, "", ""},
        {{"--osc"}, -1, "", "--osc needs a value"},
        {{"--osc", "65536"}, -1, "", "--osc needs a UDP port 0..65535: 65536"},
        {{"--osc", "-1"}, -1, "", "--osc needs a UDP port 0..65535: -1"},
        {{"--osc", "90x"}, -1, "", "--osc needs a UDP port 0..65535: 90x"},
        {{"--osc-bind"}, -1, "", "--osc-bind needs a value"},
        {{"--osc-bind", ""}, -1, "", "--osc-bind needs an address"},
    };
    for (const TCase& c : cases) {
        const TCommandLine line = ParseCommandLine(c.Arguments);
        const std::string trace = c.Arguments.empty() ? "(none)" : c.Arguments[0];
        if (*c.Error) {
            EXPECT_EQ(line.Action, TCommandLine::TAction::UsageError) << trace;
            EXPECT_EQ(line.Error, c.Error) << trace;
            continue;
        }
        EXPECT_EQ(line.Action, TCommandLine::TAction::Run) << trace;
        EXPECT_EQ(line.OscPort, c.Port) << trace;
        EXPECT_EQ(line.OscBind, c.Bind) << trace;
    }
    EXPECT_NE(CommandLineHelp().find("--osc PORT"), std::string::npos);
    EXPECT_NE(CommandLineHelp().find("--osc-bind ADDR"), std::string::npos);
}
