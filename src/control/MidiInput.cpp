#include "control/MidiInput.h"

#include <alsa/asoundlib.h>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <vector>

std::optional<TMidiEvent> MidiEventFromSequencer(const snd_seq_event_t& event) {
    TMidiEvent midi;
    switch (event.type) {
    case SND_SEQ_EVENT_CONTROLLER:
        if (event.data.control.param > 127) return std::nullopt;
        midi.Type = TMidiEvent::TType::Controller;
        midi.Channel = event.data.control.channel & 0x0F;
        midi.Number = int(event.data.control.param);
        midi.Value = std::clamp(int(event.data.control.value), 0, 127);
        return midi;
    case SND_SEQ_EVENT_NOTEON:
    case SND_SEQ_EVENT_NOTEOFF:
        if (event.data.note.note > 127) return std::nullopt;
        midi.Channel = event.data.note.channel & 0x0F;
        midi.Number = event.data.note.note;
        midi.Value = std::min<int>(event.data.note.velocity, 127);
        midi.Type = event.type == SND_SEQ_EVENT_NOTEON && midi.Value > 0 ? TMidiEvent::TType::NoteOn
                                                                         : TMidiEvent::TType::NoteOff;
        return midi;
    default:
        return std::nullopt;
    }
}

TMidiInput::TMidiInput(THandler handler) : Handler(std::move(handler)) {}

TMidiInput::~TMidiInput() {
    Close();
}

namespace {
// ALSA prints its own complaint on stderr when there is no sequencer; the caller tells the user once.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
} // namespace

bool TMidiInput::Open(std::string& error) {
    Close();
    snd_seq_t* seq = nullptr;
    snd_lib_error_set_handler(QuietAlsa);
    const int status = snd_seq_open(&seq, "default", SND_SEQ_OPEN_INPUT, SND_SEQ_NONBLOCK);
    snd_lib_error_set_handler(nullptr);
    if (status < 0) {
        error = std::string("no MIDI sequencer: ") + snd_strerror(status);
        return false;
    }
    snd_seq_set_client_name(seq, kMidiClientName);
    const int port =
        snd_seq_create_simple_port(seq, kMidiClientName, SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
                                   SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
    if (port < 0 || ::pipe2(WakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("cannot make the MIDI input port: ") + snd_strerror(port < 0 ? port : -errno);
        snd_seq_close(seq);
        return false;
    }
    Sequencer = seq;
    Thread = std::thread([this] { Read(); });
    return true;
}

void TMidiInput::Close() {
    if (!Sequencer) return;
    const char stop = 1;
    [[maybe_unused]] const ssize_t written = ::write(WakePipe[1], &stop, 1);
    if (Thread.joinable()) Thread.join();
    snd_seq_close(Sequencer);
    Sequencer = nullptr;
    ::close(WakePipe[0]);
    ::close(WakePipe[1]);
    WakePipe[0] = WakePipe[1] = -1;
}

void TMidiInput::Read() {
    const int count = snd_seq_poll_descriptors_count(Sequencer, POLLIN);
    std::vector<pollfd> waits(size_t(count) + 1);
    snd_seq_poll_descriptors(Sequencer, waits.data(), unsigned(count), POLLIN);
    waits.back() = {WakePipe[0], POLLIN, 0};
    for (;;) {
        if (::poll(waits.data(), nfds_t(waits.size()), -1) < 0 && errno != EINTR) return;
        if (waits.back().revents) return;
        snd_seq_event_t* event = nullptr;
        // A controller that disconnects only stops sending; an overrun (-ENOSPC) drops events, not the port.
        while (snd_seq_event_input(Sequencer, &event) >= 0 && event) {
            if (const auto midi = MidiEventFromSequencer(*event)) Handler(*midi);
            event = nullptr;
        }
    }
}
