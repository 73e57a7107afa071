// ControlBridge.h: remote control and animation in the program: the OSC port and the MIDI input feed the
// control queue from their threads; the GUI thread applies what waits between two frames (before each
// frame, and from a posted wake-up when nothing is being drawn), then evaluates the modulators for the
// frame. Also the bar context menu ("MIDI Learn", "Forget MIDI", "Animate...") and the tempo actions.
// GUI thread, except the receiving threads' pushes. Owned by the main window; the chain outlives it.
#pragma once

#include "control/ChainControl.h"
#include "control/ChainModulators.h"
#include "control/ControlQueue.h"
#include "control/MidiInput.h"
#include "control/MidiMap.h"
#include "control/OscServer.h"
#include "control/Tempo.h"

#include <QObject>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QLabel;
class QMenu;
class QPoint;
class QWidget;
class TForm_Master;
struct TParamBarTarget;

inline constexpr const char* kMidiLearnCaption = "MIDI Learn";
inline constexpr const char* kMidiForgetCaption = "Forget MIDI";
inline constexpr const char* kAnimateCaption = "Animate...";
inline constexpr const char* kNoSequencerStatus = "  MIDI: no sequencer";

class TControlBridge : public QObject {
public:
    TControlBridge(TForm_Master& master, TChainState& chain, const std::string& presetFolder);
    ~TControlBridge() override;

    // The OSC port on bindAddress (127.0.0.1 when empty); 0 closes it. False with error set when it
    // cannot be opened; the port is then closed.
    bool SetOscPort(int port, const std::string& bindAddress, std::string& error);
    int OscPort() const { return Osc.Port(); }
    // The sequencer client; without one the MIDI items stay disabled and the status says why.
    void OpenMidi();
    bool HaveMidi() const { return Midi.IsOpen(); }
    // midi.ini beside the settings file: read at the start, written after every change.
    void LoadMidiBindings(const std::string& path);

    // Applies what waits, then sets the modulated values for the frame about to be drawn.
    void BeforeFrame();
    // Applies every command waiting (OSC and MIDI); GL work inside, for plugins and presets.
    void ApplyWaiting();
    // A command as if it had arrived now (tests, the tempo actions).
    void Push(TControlCommand command);
    void PushMidi(const TMidiEvent& event);

    void TapTempo() {
        Tempo.Tap(Now());
        ShowStatus();
    }
    void Resync() { Tempo.Resync(Now()); }
    bool SetBpm(double bpm);
    // Seconds of the monotonic clock the modulators follow.
    double Now() const;

    // The context menu of a parameter bar of the chain window, built and shown at globalPos.
    void BarMenu(const TParamBarTarget& target, const QPoint& globalPos, QWidget* parent);
    // Its items, for whoever shows it (the menu is the caller's).
    void FillBarMenu(QMenu& menu, const TParamBarTarget& target, QWidget* parent);
    void LearnSwitch(int slot); // the next note (or control change) flips slot 1..8
    // The modulators and tempo of a preset file just applied, or into one just written. A file that cannot
    // be read or written changes nothing here (its own operation has told).
    void ApplyPresetExtras(const std::string& path);
    void WritePresetExtras(const std::string& path);

    // Runs the "Animate..." dialog for a target; tests replace it. Answers false when cancelled.
    std::function<bool(QWidget* parent, TModulator& modulator, bool& remove)> RunAnimateDialog;
    // The chain window's panel shows the values again; set by whoever attaches the chain window.
    std::function<void()> ShowValues;

    uint64_t Applied() const { return AppliedCount; }
    uint64_t Ignored() const; // OSC messages and commands that named nothing
    QLabel* StatusLabel() const { return Status; }
    TChainControl& ChainControl() { return Control; }

    TChainModulators Modulators;
    TTempo Tempo;
    TMidiMap MidiMap;

protected:
    bool event(QEvent* event) override;

private:
    void Wake();
    void ApplyOne(const TControlCommand& command);
    void ApplyMidi();
    void ShowStatus();
    void SaveMidi();

    TForm_Master& Master;
    TChainControl Control;
    TControlQueue Queue;
    TOscServer Osc;
    TMidiInput Midi;
    std::mutex MidiLock;
    std::vector<TMidiEvent> MidiWaiting;
    std::string MidiPath;
    std::string MidiError;
    QLabel* Status = nullptr;
    uint64_t AppliedCount = 0;
    uint64_t IgnoredHere = 0;
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    bool InApply = false;
};
