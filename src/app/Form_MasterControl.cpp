// The main window's remote control: the control bridge started with the settings' OSC port and the
// sequencer, and the Control menu's questions.
#include "app/ControlBridge.h"
#include "app/Form_Master.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"

#include <QInputDialog>

void TForm_Master::StartControl() {
    delete FControl;
    FControl = new TControlBridge(*this, *Chain(), ProgramFolder() + "presets/");
    FControl->LoadMidiBindings(MidiFilePath(SettingsPath));
    FControl->OpenMidi();
    Action_MidiLearnSwitch->setEnabled(FControl->HaveMidi());
    if (Settings.OscPort != 0) StartOsc(Settings.OscPort, {});
    if (!AskOscPort)
        AskOscPort = [this](int& port) {
            bool ok = false;
            port = QInputDialog::getInt(this, QStringLiteral("OSC Port"),
                                        QStringLiteral("UDP port (0 = off):"), port, 0, 65535, 1, &ok);
            return ok;
        };
    if (!AskTempo)
        AskTempo = [this](double& bpm) {
            bool ok = false;
            bpm = QInputDialog::getDouble(this, QStringLiteral("Tempo"), QStringLiteral("Beats per minute:"),
                                          bpm, 20.0, 400.0, 1, &ok);
            return ok;
        };
}

bool TForm_Master::StartOsc(int port, const std::string& bindAddress) {
    if (!FControl) return false;
    std::string error;
    if (FControl->SetOscPort(port, bindAddress, error)) return true;
    ShowMessage(error, kMessageCaption, TMessageIcon::Warning);
    return false;
}

void TForm_Master::Action_OscPortExecute() {
    int port = FControl && FControl->OscPort() ? FControl->OscPort() : Settings.OscPort;
    if (!AskOscPort || !AskOscPort(port)) return;
    Settings.OscPort = port;
    StartOsc(port, {});
}

void TForm_Master::Action_TempoExecute() {
    if (!FControl) return;
    double bpm = FControl->Tempo.Bpm();
    if (AskTempo && AskTempo(bpm)) FControl->SetBpm(bpm);
}
