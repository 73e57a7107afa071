// AudioOutput.h: one playback stream on the desktop's sound server (PulseAudio's simple API; PipeWire
// serves it too), interleaved 16-bit stereo at kAudioRate. Blocking: used by one thread only (the sound
// clock's thread), which is why a server that goes away only ever fails a call, never holds another thread.
#pragma once

#include <cstdint>
#include <string>

struct pa_simple;

class TAudioOutput {
public:
    TAudioOutput() = default;
    ~TAudioOutput();
    TAudioOutput(const TAudioOutput&) = delete;
    TAudioOutput& operator=(const TAudioOutput&) = delete;

    // False with the server's reason in ErrorText when there is no server or no device.
    bool Open(const std::string& streamName);
    void Close();
    bool IsOpen() const { return FStream != nullptr; }
    // Blocks while the server's buffer is full; false when the server is gone.
    bool Write(const int16_t* samples, size_t frames);
    // How long until the last sample written is heard; -1 when the server does not answer.
    int64_t LatencyNs();
    // Drops what is buffered and not yet heard.
    bool Flush();
    const std::string& ErrorText() const { return FErrorText; }

private:
    bool Failed(int error);

    pa_simple* FStream = nullptr;
    std::string FErrorText;
};
