// The main window's Audio menu: mute and volume of a video's sound, what sound-reactive effects listen to,
// all kept in the settings, and the one status text when a sound cannot be heard. A live source plays silent:
// only files are asked for their sound.
#include "app/Form_Master.h"
#include "ui/WindowFonts.h"
#include "video/AudioSources.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
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

void TForm_Master::AddListenToMenu(QMenu* audio) {
    audio->addSeparator();
    Menu_ListenTo = audio->addMenu(QStringLiteral("&Listen To"));
    Menu_ListenTo->setObjectName(QStringLiteral("Menu_ListenTo"));
    Menu_ListenTo->setFont(WindowFont());
    // Asked each time it opens: a device plugged in since shows up, one pulled out is gone.
    connect(Menu_ListenTo, &QMenu::aboutToShow, this, &TForm_Master::FillListenToMenu);
}

void TForm_Master::FillListenToMenu() {
    Menu_ListenTo->clear();
    for (QActionGroup* old : Menu_ListenTo->findChildren<QActionGroup*>())
        delete old;
    auto* group = new QActionGroup(Menu_ListenTo);
    const auto add = [&](const QString& text, const char* name, const std::string& choice) {
        QAction* action = Menu_ListenTo->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        action->setCheckable(true);
        action->setChecked(Settings.ListenTo == choice);
        action->setData(QString::fromStdString(choice));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, choice] { SetListenTo(choice); });
        return action;
    };
    add(QStringLiteral("&Video Sound"), "Action_ListenVideo", kListenToVideo);
    Menu_ListenTo->addSeparator();
    // Only the sources there are now; the one chosen stays listed while it is gone, so the choice shows.
    std::vector<TAudioSourceInfo> sources = ListAudioSources();
    const std::string chosen = Settings.ListenTo.rfind(kListenToDevice, 0) == 0
                                   ? Settings.ListenTo.substr(std::string(kListenToDevice).size())
                                   : std::string();
    if (!chosen.empty() &&
        std::none_of(sources.begin(), sources.end(), [&](auto& s) { return s.Name == chosen; }))
        sources.push_back({chosen, chosen});
    for (const TAudioSourceInfo& source : sources) {
        const QString text =
            QString::fromStdString(source.Description.empty() ? source.Name : source.Description);
        add(text, "Action_ListenDevice", kListenToDevice + source.Name)
            ->setToolTip(QString::fromStdString(source.Name));
    }
    Menu_ListenTo->addSeparator();
    add(QStringLiteral("&Off"), "Action_ListenOff", kListenToOff);
}

void TForm_Master::SetListenTo(const std::string& choice) {
    Settings.ListenTo = choice;
    FCaptureStatusShown.clear();
    const std::string device = kListenToDevice;
    if (choice.rfind(device, 0) == 0 && choice.size() > device.size()) {
        if (!FCapture) FCapture = std::make_unique<TAudioCapture>();
        FCapture->Open(choice.substr(device.size()));
    } else {
        FCapture.reset();
    }
    if (!Menu_ListenTo) return;
    for (QAction* action : Menu_ListenTo->actions())
        if (action->isCheckable()) action->setChecked(action->data().toString().toStdString() == choice);
}

TAudioFeatures TForm_Master::ListenedFeatures() {
    if (FCapture) {
        const std::string text = FCapture->StatusText();
        if (!text.empty() && text != FCaptureStatusShown) {
            FCaptureStatusShown = text;
            StatusBar1->showMessage(QString::fromStdString("  " + text), kSoundNoticeMs);
        }
        return FCapture->Features();
    }
    if (Settings.ListenTo == kListenToVideo) return Playback.SoundFeatures();
    return {};
}
