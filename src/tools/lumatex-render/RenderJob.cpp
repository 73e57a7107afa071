#include "RenderJob.h"

#include "Progress.h"
#include "control/ChainModulators.h"

#include "gl/GLCheck.h"
#include "gl/HeadlessContext.h"
#include "imaging/glBitmap.h"
#include "pipeline/ClipRender.h"
#include "pipeline/ExportSteps.h"
#include "pipeline/FrameExport.h"
#include "pipeline/MediaFiles.h"
#include "pipeline/RenderSetup.h"
#include "pipeline/StillImage.h"
#include "pipeline/VideoEncoder.h"
#include "platform/DataFolders.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/FramePipeline.h"
#include "platform/IniFile.h"
#include "presets/PresetFolders.h"
#include "presets/uPresets.h"
#include "render/uOutputTarget.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "video/ClipFrameReader.h"
#include "video/ClipSound.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <optional>

namespace RenderCli {

namespace {

constexpr double kPictureFrameSeconds = 1.0 / 25.0;

// A failure with the exit status it ends the program with; the text goes to stderr.
struct TJobError {
    int ExitCode;
    std::string Text;
};

[[noreturn]] void Fail(int exitCode, std::string text) {
    throw TJobError{exitCode, std::move(text)};
}

int Report(const TJobError& error) {
    if (!error.Text.empty())
        std::fprintf(stderr, "%s: %s\n", kProgramName, MessageAsLines(error.Text).c_str());
    return error.ExitCode;
}

// A line on stderr about something skipped that does not change the result or the exit status.
void Warn(const std::string& text) {
    std::fprintf(stderr, "%s: warning: %s\n", kProgramName, text.c_str());
}

// Text from a file as a terminal can show it: control bytes (NUL included) as \xNN.
std::string Printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            out += FormatText("\\x%02x", byte);
        else
            out.push_back(c);
    }
    return out;
}

// --root: exactly that folder. Otherwise the data folders of the program: beside it, or the user's and the
// system's of an installed one.
TDataFolders DataFoldersFor(const TRenderOptions& options) {
    TDataFolders data = FindDataFolders(ProgramFolder());
    if (!options.Root.empty()) {
        if (!DirectoryExists(options.Root)) Fail(kExitUsage, "--root: no such folder: " + options.Root);
        data = SingleDataFolder(options.Root);
    }
    bool anyPlugins = false;
    for (const std::string& root : data.Roots)
        anyPlugins = anyPlugins || DirectoryExists(root + "plugins");
    if (!anyPlugins) {
        std::string folders;
        for (const std::string& root : data.Roots)
            folders += (folders.empty() ? "" : ", ") + root;
        Warn(folders + (data.Roots.size() > 1 ? " have" : " has") +
             " no plugins/ folder; the catalogue is empty");
    }
    return data;
}

std::string PluginFolders(const std::vector<std::string>& roots) {
    std::string folders;
    for (const std::string& root : roots)
        folders += (folders.empty() ? "" : " or ") + root + "plugins/";
    return folders;
}

void WarnSkippedSlots(const std::vector<TSkippedPresetSlot>& skipped, const std::vector<std::string>& roots) {
    for (const TSkippedPresetSlot& s : skipped) {
        const std::string slot =
            FormatText("preset slot %d names \"%s\", which ", s.Slot, Printable(s.PlugInName).c_str());
        switch (s.Reason) {
        case TPresetSkip::NotAFileName:
            Warn(slot + "is no file name of the plugins folder; the slot is skipped");
            break;
        case TPresetSkip::NoSuchPlugin:
            Warn(slot + "is not in " + PluginFolders(roots) + "; the slot is skipped");
            break;
        case TPresetSkip::NotInCatalogue:
            Warn(slot + "is not in the catalogue (its description did not load); the slot stays empty");
            break;
        }
    }
}

// A name is looked up in every presets/ folder, the user's first, by its name in any case.
std::string PresetFile(const TRenderOptions& options, const TDataFolders& data) {
    if (options.Preset.empty()) return {};
    if (LowerExtension(options.Preset) != kPresetExtension) {
        for (const std::string& folder : TPresetFolders(data.Roots, data.UserRoot).ReadFolders())
            if (const auto found = FindFileNoCase(folder + options.Preset + kPresetExtension)) return *found;
    }
    const std::string path = PresetPathFor(options.Preset, data.Roots.front());
    const std::optional<std::string> found = FindFileNoCase(path);
    if (!found) Fail(kExitInput, "preset not found: " + path);
    return *found;
}

// The headless "window" with its capability check, and the engine and the chain in it. The setup goes
// before the context it renders with.
struct THeadlessJob {
    THeadlessContext Context;
    TRenderSetup Setup{Context};
    // The preset's modulators and tempo, evaluated at each frame's time.
    TChainModulators Modulators;
    TTempo Tempo;
    // The frames of a video are drawn into one framebuffer of the output size, made with the first frame
    // and kept: nothing but the frame itself changes between frames.
    std::optional<TOutputTarget> Output;

    void CreateContext() {
        if (!Context.Create(64, 64)) Fail(kExitRender, "no headless OpenGL context: " + Context.LastError());
        if (!CheckGLAndExtensions()) Fail(kExitRender, "the OpenGL driver lacks what rendering needs");
    }

    // The engine with the framebuffer edge and the preset as asked; the view is set once the output size is
    // known (SetView).
    void CreateEngine(const std::vector<std::string>& roots, int fboSize, const std::string& presetPath,
                      bool highPrecision = false) {
        if (!Setup.Create(roots, Context.Width(), Context.Height()))
            Fail(kExitRender, "the render engine did not start");
        Engine().RecreateFBOs(fboSize);
        if (highPrecision && !Engine().SetFloatFramebuffers(true))
            Warn("the OpenGL driver offers no float framebuffers; rendering with 8-bit ones");
        if (presetPath.empty()) return;
        try {
            WarnSkippedSlots(ApplyPreset(Setup.GetChain(), presetPath), roots);
            for (const std::string& line :
                 ReadPresetModulators(TIniFile::FromFile(presetPath), Modulators, Tempo, 0.0))
                std::fprintf(stderr, "lumatex-render: preset line skipped: %s\n", line.c_str());
        } catch (const ELumatex& e) {
            Fail(kExitInput, "cannot read the preset: " + std::string(e.what()));
        }
    }

    // View size = output size. The drawing area takes the view's size only when the view is drawn into:
    // files are drawn off-screen, and an area of their size would hold one more copy of the picture.
    void SetView(TPixelSize view, bool viewDrawn) {
        if (viewDrawn && !Context.Resize(view.Width, view.Height))
            Fail(kExitRender, FormatText("cannot render at %dx%d: %s", view.Width, view.Height,
                                         Context.LastError().c_str()));
        Engine().SetViewport(view.Width, view.Height, 0, 0);
    }

    TRenderEngine& Engine() const { return Setup.GetEngine(); }
};

// Frames of a video in presentation order, counted from 0, decoded straight (no playback pacing); what
// cannot be read is an input error.
class TVideoFrames {
public:
    void Open(const std::string& path) {
        try {
            Reader.Open(path);
        } catch (const ELumatex& e) {
            Fail(kExitInput, e.what());
        }
        // A clip without sound, or with a stream that cannot be decoded, renders with silence.
        Sound.Open(path);
        // The main window's size check for the OpenGL view.
        const TVideoFormat& format = Reader.Format();
        if (!VideoSizeSupported(NpotSupported, true, format.Width, format.Height)) {
            ShowMessage(kVideoSizeRefused, kMessageCaption, TMessageIcon::Information);
            Fail(kExitInput, "");
        }
    }
    // Decodes up to frame index and converts it; false when the stream ends before it.
    bool Read(int64_t index, TBitmap& frame) {
        try {
            return Reader.Read(index, frame);
        } catch (const ELumatex& e) {
            Fail(kExitInput, e.what());
        }
    }
    int64_t FrameDurationNs() const { return Reader.FrameDurationNs(); }
    // The clock plugins see for the frame Read gave out last.
    // The sound is that of the window ending at the frame's time.
    TPluginFrameInputs Inputs(int64_t index) {
        TPluginFrameInputs inputs;
        inputs.Time = double(Reader.FrameTimeNs()) / 1e9;
        inputs.TimeDelta = double(Reader.FrameDurationNs()) / 1e9;
        inputs.Frame = index;
        inputs.Audio = Sound.At(Reader.FrameTimeNs());
        return inputs;
    }
    TClipSource ClipSource() {
        TClipSource source;
        source.Read = [this](int64_t index, TBitmap& frame) { return Read(index, frame); };
        source.FrameTimeNs = [this] { return Reader.FrameTimeNs(); };
        source.FrameDurationNs = Reader.FrameDurationNs();
        source.EstimatedFrames = Reader.EstimatedFrames();
        source.SoundAt = [this](int64_t timeNs) { return Sound.At(timeNs); };
        return source;
    }

private:
    TClipFrameReader Reader;
    TClipSound Sound;
};

void CheckInputFile(const TCommandLine& commandLine) {
    if (commandLine.InputKind == TMediaKind::None) {
        ShowMessage(kUnsupportedFormat, kMessageCaption, TMessageIcon::Error);
        Fail(kExitInput, "");
    }
    const std::string& input = commandLine.Options.Input;
    if (const std::string why = InputFileProblem(input); !why.empty())
        Fail(kExitInput, "cannot open " + input + ": " + why);
}

TBitmap LoadImageInput(const std::string& path) {
    try {
        return LoadStillImage(path, NpotSupported);
    } catch (const ELumatex& e) {
        Fail(kExitInput, "cannot read the image " + path + ": " + e.what());
    }
}

// The source frame for --bench and the first frame of a render.
TBitmap FirstFrame(const TCommandLine& commandLine, std::optional<TVideoFrames>& video) {
    const TRenderOptions& o = commandLine.Options;
    if (commandLine.InputKind == TMediaKind::Image) return LoadImageInput(o.Input);
    video.emplace();
    video->Open(o.Input);
    TBitmap frame;
    if (!video->Read(o.Frames.First, frame))
        Fail(kExitInput, FormatText("the video has no frame %lld", static_cast<long long>(o.Frames.First)));
    return frame;
}

// One frame through the off-screen save path of "Save OpenGL image...", then into its file. The frame's
// pixels become the source texture's uncopied and are freed by the upload, so a picture of gigabytes is not
// held twice; the frame is left empty. The rendered picture goes into the file band by band, straight from
// the off-screen buffer.
void RenderOneFrame(THeadlessJob& setup, const TCommandLine& commandLine, TBitmap&& frame, TPixelSize size,
                    int64_t index, const TPluginFrameInputs& inputs) {
    setup.Engine().FrameInputs = inputs;
    const TPixelSize frameSize{frame.Width(), frame.Height()};
    const TRenderOptions& o = commandLine.Options;
    // The command line takes only names whose format is their extension's, so the name stays as given.
    const TExportTarget target = ExportTargetFor(commandLine.OutputPattern->Format(index));
    try {
        EvaluateModulatorsAt(setup.Engine().Slots, setup.Modulators, setup.Tempo, inputs.Time);
        // UploadSourceFrame's two steps, with the frame handed over.
        TglBitmap2D& source = *setup.Engine().SourceTexture;
        source.AssignFromBitmap(std::move(frame));
        source.GenTexture(false);
        if (!ExportFrame(setup.Engine(),
                         TFrameExport{target, size, o.ForceAspect, frameSize, o.JpegQuality})) {
            const auto& log = setup.Engine().SaveBufferLog;
            Fail(kExitRender, FormatText("nothing written to %s: no off-screen picture of %dx%d%s%s",
                                         target.Path.c_str(), size.Width, size.Height,
                                         log.empty() ? "" : "; ", log.empty() ? "" : log.back().c_str()));
        }
    } catch (const ELumatex& e) {
        Fail(kExitRender, e.what());
    }
}

// The frames of a run of several, up to this many pixels, go through the kept output framebuffer; a single
// frame and larger ones take the export's band-by-band route, which never holds the picture whole in
// memory.
constexpr int64_t kKeptTargetPixels = int64_t(4096) * 4096;

bool KeepsOutputTarget(TPixelSize size) {
    return int64_t(size.Width) * size.Height <= kKeptTargetPixels;
}

// A frame decoded ahead of the drawing, and a picture drawn, waiting for its file.
struct TDecodedFrame {
    int64_t Index = 0;
    TBitmap Frame;
    TPluginFrameInputs Inputs;
};
struct TDrawnPicture {
    int64_t Index = 0;
    TBitmap Picture;
    TPixelSize FrameSize;
};

// A run of video frames into their files through the kept framebuffer, the same files RenderOneFrame
// writes. The next frames are decoded on one thread and the files written on another while this one draws,
// and each picture is read back one frame late, through the output's pixel-pack buffers: the driver then
// draws one frame while the next is handed to it, instead of idling while a frame is decoded or written.
class TFrameRun {
public:
    TFrameRun(THeadlessJob& setup, const TCommandLine& commandLine, TVideoFrames& video, TPixelSize size)
        : Setup(setup), CommandLine(commandLine), Video(video), Size(size),
          Pipeline([this](TDecodedFrame& f) { return ReadNext(f); },
                   [this](TDrawnPicture& p) { WritePicture(p); }) {
        if (!Setup.Output) Setup.Output.emplace();
        try {
            Setup.Output->Resize(Size.Width, Size.Height);
        } catch (const ELumatex& e) {
            Fail(kExitRender, e.what());
        }
    }

    // first: frame o.Frames.First, already read. Answers false when the stream ends before --frames' end.
    bool Run(TDecodedFrame& first, TProgressBar& progress) {
        TDecodedFrame frame = std::move(first);
        int64_t done = 0;
        do {
            Draw(frame);
            if (InFlight.size() > 1) TakeOldest();
            progress.Update(++done);
        } while (NextFrame(frame));
        FinishWrites();
        return !EndedEarly;
    }
    int64_t LastIndex() const { return Last; }

private:
    void FinishWrites() {
        while (!InFlight.empty())
            TakeOldest();
        Pipeline.Finish();
    }
    bool NextFrame(TDecodedFrame& frame) {
        try {
            return Pipeline.Next(frame);
        } catch (const TJobError&) {
            // A frame that cannot be decoded ends the run as it would one frame at a time: with the files
            // of the frames before it written.
            FinishWrites();
            throw;
        }
    }

    bool ReadNext(TDecodedFrame& f) {
        const TRenderOptions& o = CommandLine.Options;
        const int64_t index = Last + 1;
        if (!o.Frames.All && index > o.Frames.Last) return false;
        if (!Video.Read(index, f.Frame)) {
            EndedEarly = !o.Frames.All;
            return false;
        }
        f.Index = Last = index;
        f.Inputs = Video.Inputs(index);
        return true;
    }

    void Draw(const TDecodedFrame& f) {
        TRenderEngine& engine = Setup.Engine();
        try {
            engine.FrameInputs = f.Inputs;
            EvaluateModulatorsAt(engine.Slots, Setup.Modulators, Setup.Tempo, f.Inputs.Time);
            engine.UploadVideoFrame(f.Frame);
            Setup.Output->Render(engine);
            Setup.Output->StartRead();
        } catch (const ELumatex& e) {
            Fail(kExitRender, e.what());
        }
        InFlight.push_back({f.Index, {f.Frame.Width(), f.Frame.Height()}});
    }

    void TakeOldest() {
        const auto [index, frameSize] = InFlight.front();
        InFlight.pop_front();
        if (!Setup.Output->TakeRead(Spare.Picture, true))
            Fail(kExitRender, FormatText("frame %lld could not be read back from the driver",
                                         static_cast<long long>(index)));
        Spare.Index = index;
        Spare.FrameSize = frameSize;
        Pipeline.Write(Spare);
    }

    void WritePicture(TDrawnPicture& p) {
        const TRenderOptions& o = CommandLine.Options;
        const TExportTarget target = ExportTargetFor(CommandLine.OutputPattern->Format(p.Index));
        try {
            FinishExport(p.Picture, target.Path, target.Format, o.ForceAspect, p.FrameSize, o.JpegQuality);
        } catch (const ELumatex& e) {
            Fail(kExitRender, e.what());
        }
    }

    THeadlessJob& Setup;
    const TCommandLine& CommandLine;
    TVideoFrames& Video;
    const TPixelSize Size;
    // Reader thread only, until the run's end.
    int64_t Last = CommandLine.Options.Frames.First;
    bool EndedEarly = false;
    // Drawn, not yet read back: index and the source frame's size.
    std::deque<std::pair<int64_t, TPixelSize>> InFlight;
    TDrawnPicture Spare;
    TFramePipeline<TDecodedFrame, TDrawnPicture> Pipeline; // last: its threads use the members above
};

[[noreturn]] void FailEndedEarly(int64_t lastIndex) {
    Fail(kExitInput, FormatText("the video ends after frame %lld; frames up to it were written",
                                static_cast<long long>(lastIndex)));
}

// A picture has no frame rate: it is shown as one frame of a 25 fps clock at --time.
TPluginFrameInputs PictureInputs(const TRenderOptions& o) {
    TPluginFrameInputs inputs;
    inputs.Time = o.PictureTime;
    inputs.TimeDelta = kPictureFrameSeconds;
    return inputs;
}

// Everything a render or a benchmark does before its first frame: input and preset checked, context and
// engine made, the first frame read, the view set. Answers the view size (= output size).
TPixelSize PrepareJob(const TCommandLine& commandLine, THeadlessJob& setup,
                      std::optional<TVideoFrames>& video, TBitmap& frame, bool viewDrawn) {
    const TRenderOptions& o = commandLine.Options;
    CheckInputFile(commandLine);
    const TDataFolders data = DataFoldersFor(o);
    const std::string presetPath = PresetFile(o, data);
    setup.CreateContext();
    // A size the driver cannot draw at all is refused before a picture of gigabytes is loaded for it.
    if (o.Size)
        if (const std::string problem = DriverEdgeProblem(*o.Size, ExportMaxEdge()); !problem.empty())
            Fail(kExitRender, problem);
    // The engine (shader programs compiled by the driver, framebuffers) starts before the picture is loaded:
    // with the address space or memory running short, our own allocation for the picture is then the one
    // that fails, told as "out of memory", instead of one inside the driver's shader compiler, which the
    // driver does not survive (it crashes there, or hangs at the next GL call of the teardown).
    setup.CreateEngine(data.Roots, o.FboSize, presetPath, o.HighPrecision);
    frame = FirstFrame(commandLine, video);
    const TPixelSize size = o.Size ? *o.Size : TPixelSize{frame.Width(), frame.Height()};
    setup.SetView(size, viewDrawn);
    return size;
}

TVideoEncodeOptions EncodeOptions(const TRenderOptions& o) {
    TVideoEncodeOptions options;
    options.Codec = o.Codec;
    options.Crf = o.Crf;
    options.BitRate = o.BitRate;
    return options;
}

// The output's folder must take a file before any frame is rendered for it.
void CheckVideoTarget(const TRenderOptions& o) {
    if (const std::string problem = VideoEncodeProblem(o.Output, EncodeOptions(o)); !problem.empty())
        Fail(kExitUsage, problem);
    if (const std::string problem = OutputFolderProblem(o.Output); !problem.empty())
        Fail(kExitRender, problem);
}

TClipRenderJob ClipJob(const TRenderOptions& o, TPixelSize size) {
    TClipRenderJob job;
    job.Output = o.Output;
    job.AudioSource = IsVideoFileName(o.Output) ? o.Input : std::string();
    job.Size = size;
    job.Encode = EncodeOptions(o);
    job.First = o.Frames.First;
    job.Last = o.Frames.All ? -1 : o.Frames.Last;
    // A live address gets the frames at the source's pace, as a camera would send them.
    job.Paced = IsOutputAddress(o.Output);
    return job;
}

// The chosen frames through the chain into one video file; frames past the end of a range are an input
// error as for single files, and then no file is left either.
int RenderVideoFile(const TCommandLine& commandLine) {
    const TRenderOptions& o = commandLine.Options;
    CheckVideoTarget(o);
    THeadlessJob setup;
    std::optional<TVideoFrames> video;
    TBitmap frame;
    const TPixelSize size = PrepareJob(commandLine, setup, video, frame, false);
    TClipRender clip(setup.Engine(), video->ClipSource(), ClipJob(o, size));
    TProgressBar progress(stderr, TProgressBar::IsTerminal(stderr), clip.Total());
    TClipRenderResult result = TClipRenderResult::Done;
    try {
        result = clip.Run(
            frame, [&progress](int64_t done, int64_t) { progress.Update(done); },
            [&setup](double seconds) {
                EvaluateModulatorsAt(setup.Engine().Slots, setup.Modulators, setup.Tempo, seconds);
            });
    } catch (const ELumatex& e) {
        Fail(kExitRender, e.what());
    }
    progress.Finish();
    if (result == TClipRenderResult::EndedEarly)
        Fail(kExitInput, FormatText("the video ends after frame %lld; nothing was written",
                                    static_cast<long long>(clip.LastFrame())));
    return kExitSuccess;
}

} // namespace

int PrintResult(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written && !std::ferror(stdout)) return kExitSuccess;
    const int error = errno;
    std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kProgramName,
                 error != 0 ? std::strerror(error) : "write error");
    return kExitRender;
}

int ListPlugins(const TCommandLine& commandLine, TCliMessageSink&) {
    try {
        const TDataFolders data = DataFoldersFor(commandLine.Options);
        THeadlessJob setup;
        setup.CreateContext();
        setup.CreateEngine(data.Roots, kFBOSizeSmall, "");
        setup.SetView({64, 64}, false);
        std::string list;
        for (const auto& plugin : setup.Engine().Catalogue)
            list += plugin->IniFileName + "\t" + plugin->FullName + "\t" + plugin->GroupName + "\n";
        return PrintResult(list);
    } catch (const TJobError& error) {
        return Report(error);
    }
}

int RenderToFiles(const TCommandLine& commandLine, TCliMessageSink&) {
    try {
        if (commandLine.VideoOutput) return RenderVideoFile(commandLine);
        const TRenderOptions& o = commandLine.Options;
        THeadlessJob setup;
        std::optional<TVideoFrames> video;
        TBitmap frame;
        const TPixelSize size = PrepareJob(commandLine, setup, video, frame, false);

        if (!video) {
            RenderOneFrame(setup, commandLine, std::move(frame), size, 0, PictureInputs(o));
            return kExitSuccess;
        }
        const bool several = o.Frames.Several();
        const int64_t total = o.Frames.All ? -1 : o.Frames.Last - o.Frames.First + 1;
        TProgressBar progress(stderr, several && TProgressBar::IsTerminal(stderr), total);
        if (several && KeepsOutputTarget(size)) {
            TDecodedFrame first{o.Frames.First, std::move(frame), video->Inputs(o.Frames.First)};
            TFrameRun run(setup, commandLine, *video, size);
            const bool complete = run.Run(first, progress);
            progress.Finish();
            if (!complete) FailEndedEarly(run.LastIndex());
            return kExitSuccess;
        }
        int64_t index = o.Frames.First;
        int64_t done = 0;
        for (;;) {
            RenderOneFrame(setup, commandLine, std::move(frame), size, index, video->Inputs(index));
            progress.Update(++done);
            if (!o.Frames.All && index >= o.Frames.Last) break;
            ++index;
            if (!video->Read(index, frame)) {
                progress.Finish();
                if (o.Frames.All) break;
                FailEndedEarly(index - 1);
            }
        }
        return kExitSuccess;
    } catch (const TJobError& error) {
        return Report(error);
    }
}

int Bench(const TCommandLine& commandLine, TCliMessageSink&) {
    try {
        const TRenderOptions& o = commandLine.Options;
        THeadlessJob setup;
        std::optional<TVideoFrames> video;
        TBitmap frame;
        PrepareJob(commandLine, setup, video, frame, true); // the view takes the output size

        using Clock = std::chrono::steady_clock;
        const auto budget = std::chrono::duration<double>(o.BenchSeconds);
        const Clock::time_point start = Clock::now();
        int64_t frames = 0;
        Clock::duration elapsed{};
        try {
            do {
                // The playback path: every frame is uploaded anew, then rendered into the view.
                setup.Engine().UploadSourceFrame(frame);
                setup.Engine().RenderFrame(false);
                ++frames;
                elapsed = Clock::now() - start;
            } while (elapsed < budget);
        } catch (const ELumatex& e) {
            Fail(kExitRender, e.what());
        }
        const double seconds = std::chrono::duration<double>(elapsed).count();
        return PrintResult(
            FormatText("frames: %lld  fps: %.2f\n", static_cast<long long>(frames), frames / seconds));
    } catch (const TJobError& error) {
        return Report(error);
    }
}

} // namespace RenderCli
