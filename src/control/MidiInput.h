// MidiInput.h: the program as an ALSA sequencer client "Lumatex" with one input port; a thread reads its
// events and hands on the control changes and notes. Without a sequencer (no /dev/snd/seq) Open fails and
// nothing else happens. Open and Close from one thread; the handler runs on the reading thread.
#pragma once

#include "control/MidiMap.h"

#include <functional>
#include <optional>
#include <string>
#include <thread>

struct _snd_seq;
typedef struct snd_seq_event snd_seq_event_t;

inline constexpr const char* kMidiClientName = "Lumatex";

// The event a sequencer event stands for; nullopt for every other kind (clock, sysex, port changes).
std::optional<TMidiEvent> MidiEventFromSequencer(const snd_seq_event_t& event);

class TMidiInput {
public:
    using THandler = std::function<void(const TMidiEvent& event)>;

    explicit TMidiInput(THandler handler);
    TMidiInput(const TMidiInput&) = delete;
    TMidiInput& operator=(const TMidiInput&) = delete;
    ~TMidiInput(); // Close

    // False with error set when there is no sequencer to be a client of.
    bool Open(std::string& error);
    void Close();
    bool IsOpen() const { return Sequencer != nullptr; }

private:
    void Read();

    THandler Handler;
    _snd_seq* Sequencer = nullptr;
    int WakePipe[2] = {-1, -1};
    std::thread Thread;
};
