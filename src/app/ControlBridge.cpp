#include "app/ControlBridge.h"

#include "app/Form_Animate.h"
#include "app/Form_Master.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/IniFile.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

namespace {

const QEvent::Type kControlWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
constexpr size_t kMidiWaitingLimit = 4096;

TModulatorTarget ModulatorTarget(const TParamBarTarget& target) {
    return {target.SlotIndex, target.UniformName, target.Component};
}

TMidiTarget MidiTarget(const TParamBarTarget& target) {
    return {target.SlotIndex + 1, false, target.UniformName, target.Component};
}

} // namespace

TControlBridge::TControlBridge(TForm_Master& master, TChainState& chain, const std::string& presetFolder)
    : QObject(&master), Master(master), Control(chain, Modulators, Tempo, presetFolder),
      Osc([this](TControlCommand&& command) {
          bool wasEmpty = false;
          Queue.Push(std::move(command), wasEmpty);
          if (wasEmpty) Wake();
      }),
      Midi([this](const TMidiEvent& event) { PushMidi(event); }) {
    RunAnimateDialog = [](QWidget* parent, TModulator& modulator, bool& remove) {
        return RunFormAnimate(parent, modulator, remove);
    };
    Status = new QLabel(master.StatusBar1);
    Status->setObjectName(QStringLiteral("StatusBar1_Control"));
    master.StatusBar1->addWidget(Status, 1);
}

TControlBridge::~TControlBridge() {
    // The threads end before the queue and the window they post to go.
    Osc.Stop();
    Midi.Close();
}

bool TControlBridge::SetOscPort(int port, const std::string& bindAddress, std::string& error) {
    Osc.Stop();
    bool started = true;
    if (port != 0) started = Osc.Start(port, bindAddress, error);
    ShowStatus();
    return started;
}

void TControlBridge::OpenMidi() {
    if (!Midi.Open(MidiError)) Status->setText(QString::fromLatin1(kNoSequencerStatus));
}

void TControlBridge::LoadMidiBindings(const std::string& path) {
    MidiPath = path;
    MidiMap.Load(path);
}

void TControlBridge::SaveMidi() {
    if (MidiPath.empty()) return;
    try {
        MidiMap.Save(MidiPath);
    } catch (const std::exception&) {
        // A folder that cannot be written keeps the bindings for this run only.
    }
}

double TControlBridge::Now() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

bool TControlBridge::SetBpm(double bpm) {
    const bool set = Tempo.SetBpm(bpm, Now());
    ShowStatus();
    return set;
}

void TControlBridge::Wake() {
    // From any thread; the event is handled on the GUI thread, between two frames.
    QCoreApplication::postEvent(this, new QEvent(kControlWakeEvent));
}

bool TControlBridge::event(QEvent* event) {
    if (event->type() != kControlWakeEvent) return QObject::event(event);
    ApplyWaiting();
    return true;
}

void TControlBridge::Push(TControlCommand command) {
    bool wasEmpty = false;
    Queue.Push(std::move(command), wasEmpty);
    if (wasEmpty) Wake();
}

void TControlBridge::PushMidi(const TMidiEvent& event) {
    bool wasEmpty = false;
    {
        std::lock_guard guard(MidiLock);
        wasEmpty = MidiWaiting.empty();
        // A controller's newest value replaces the one still waiting: a flood stays one entry per knob.
        if (event.Type == TMidiEvent::TType::Controller) {
            for (TMidiEvent& waiting : MidiWaiting)
                if (waiting.Type == event.Type && waiting.Channel == event.Channel &&
                    waiting.Number == event.Number) {
                    waiting.Value = event.Value;
                    return;
                }
        }
        if (MidiWaiting.size() >= kMidiWaitingLimit) return;
        MidiWaiting.push_back(event);
    }
    if (wasEmpty) Wake();
}

void TControlBridge::ApplyMidi() {
    std::vector<TMidiEvent> events;
    {
        std::lock_guard guard(MidiLock);
        events.swap(MidiWaiting);
    }
    for (const TMidiEvent& event : events) {
        bool learned = false;
        if (auto command = MidiMap.Handle(event, &learned)) ApplyOne(*command);
        if (learned) SaveMidi();
    }
}

void TControlBridge::ApplyWaiting() {
    // A message box raised by a plugin load must not run the loop into here again.
    if (InApply) return;
    InApply = true;
    const std::vector<TControlCommand> commands = Queue.Take();
    bool midiWaiting = false;
    {
        std::lock_guard guard(MidiLock);
        midiWaiting = !MidiWaiting.empty();
    }
    if (!commands.empty() || midiWaiting) {
        const TViewGLScope scope(Master.GLView());
        for (const TControlCommand& command : commands)
            ApplyOne(command);
        ApplyMidi();
        ShowStatus();
    }
    InApply = false;
}

void TControlBridge::ApplyOne(const TControlCommand& command) {
    using O = TChainControl::TOutcome;
    const O outcome = Control.Apply(command, Now());
    if (outcome == O::Ignored) {
        ++IgnoredHere;
        return;
    }
    ++AppliedCount;
    if (outcome == O::Values && ShowValues) ShowValues();
    if (outcome != O::Transport) return;
    switch (command.Kind) {
    case TControlCommand::TKind::Play:
        Master.TB_PlayClick();
        break;
    case TControlCommand::TKind::Pause:
        Master.TB_PauseClick();
        break;
    case TControlCommand::TKind::Stop:
        Master.TB_StopClick();
        break;
    default:
        break;
    }
}

void TControlBridge::BeforeFrame() {
    ApplyWaiting();
    if (Modulators.Empty()) return;
    if (TRenderEngine* engine = Master.Engine()) Modulators.Evaluate(engine->Slots, Tempo, Now());
}

uint64_t TControlBridge::Ignored() const {
    return IgnoredHere + Osc.Ignored();
}

void TControlBridge::ShowStatus() {
    QString text;
    if (Osc.Running()) text += QStringLiteral("  OSC %1").arg(Osc.Port());
    const uint64_t ignored = Ignored();
    if (ignored > 0) text += QStringLiteral(" (%1 ignored)").arg(ignored);
    text += QStringLiteral("  %1 BPM").arg(Tempo.Bpm(), 0, 'f', 1);
    if (!Midi.IsOpen()) text += QString::fromLatin1(kNoSequencerStatus);
    Status->setText(text);
}

void TControlBridge::FillBarMenu(QMenu& menu, const TParamBarTarget& target, QWidget* parent) {
    QAction* learn = menu.addAction(QString::fromLatin1(kMidiLearnCaption));
    learn->setObjectName(QStringLiteral("Item_MidiLearn"));
    learn->setEnabled(Midi.IsOpen());
    connect(learn, &QAction::triggered, this, [this, target] { MidiMap.Learn(MidiTarget(target)); });
    QAction* forget = menu.addAction(QString::fromLatin1(kMidiForgetCaption));
    forget->setObjectName(QStringLiteral("Item_MidiForget"));
    forget->setEnabled(Midi.IsOpen() && MidiMap.IsBound(MidiTarget(target)));
    connect(forget, &QAction::triggered, this, [this, target] {
        if (MidiMap.Forget(MidiTarget(target))) SaveMidi();
    });
    if (!Midi.IsOpen()) {
        learn->setStatusTip(QString::fromLatin1(kNoSequencerStatus).trimmed());
        forget->setStatusTip(learn->statusTip());
    }
    menu.addSeparator();
    QAction* animate = menu.addAction(QString::fromLatin1(kAnimateCaption));
    animate->setObjectName(QStringLiteral("Item_Animate"));
    connect(animate, &QAction::triggered, this, [this, target, parent] {
        const TModulatorTarget key = ModulatorTarget(target);
        TModulator modulator;
        if (const TModulator* existing = Modulators.Find(key)) modulator = *existing;
        bool remove = false;
        if (!RunAnimateDialog || !RunAnimateDialog(parent, modulator, remove)) return;
        if (remove)
            Modulators.Remove(key);
        else
            Modulators.Set(key, modulator);
    });
}

void TControlBridge::BarMenu(const TParamBarTarget& target, const QPoint& globalPos, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("BarMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    FillBarMenu(*menu, target, parent);
    menu->popup(globalPos);
}

void TControlBridge::ApplyPresetExtras(const std::string& path) {
    try {
        ReadPresetModulators(TIniFile::FromFile(path), Modulators, Tempo, Now());
    } catch (const std::exception&) {
    }
    ShowStatus();
}

void TControlBridge::WritePresetExtras(const std::string& path) {
    try {
        Control.WriteModulators(path);
    } catch (const std::exception&) {
    }
}

void TControlBridge::LearnSwitch(int slot) {
    if (slot >= 1 && slot <= kSlotCount) MidiMap.Learn({slot, true, {}, 0});
}
