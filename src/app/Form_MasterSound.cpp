// The main window's Audio menu: mute and volume of a video's sound, kept in the settings, and the one status
// text when the sound cannot be heard. A live source plays silent: only files are asked for their sound.
#include "app/Form_Master.h"

#include <QAction>
#include <QStatusBar>

#include <algorithm>

namespace {

// Long enough to be read, short enough not to hide the panels for the rest of the video.
constexpr int kSoundNoticeMs = 8000;

} // namespace

void TForm_Master::SetMute(bool mute) {
    Settings.Mute = mute;
    Action_Mute->setChecked(mute);
    Playback.SetMute(mute);
}

void TForm_Master::SetVolume(int volume) {
    Settings.Volume = std::clamp(volume, 0, 100);
    Playback.SetVolume(Settings.Volume);
    // Nothing left to turn: the step that would go past the end is offered no more.
    Action_VolumeUp->setEnabled(Settings.Volume < 100);
    Action_VolumeDown->setEnabled(Settings.Volume > 0);
}

void TForm_Master::ShowSoundStatus() {
    const std::string text = Playback.SoundStatusText();
    if (text.empty() || text == FSoundStatusShown) return;
    FSoundStatusShown = text;
    StatusBar1->showMessage(QString::fromStdString("  " + text), kSoundNoticeMs);
}
