// Form_presets.h: TForm_presets, the "Presets" tool window: the presets of the data folders' presets/
// listed by name (each once), loaded into the chain, saved from it (where the program may write), deleted.
// Its placement lives in the main window's settings record.
//
// GUI thread only. The chain state, its engine and the settings belong to the main window and outlive this
// window. Loading builds slot instances and runs through GLWork, which makes the engine's context current.
#pragma once

#include "presets/PresetFolders.h"

#include <QWidget>

#include <functional>
#include <string>

class QFrame;
class QLineEdit;
class QPushButton;
class QStatusBar;
class QTreeWidget;
class TChainState;
struct TSettings;

inline constexpr const char* kPresetsCaption = "Presets";
inline constexpr const char* kPresetColumnCaption = " Preset Name ";
constexpr int kPresetsDesignWidth = 356;
constexpr int kPresetsDesignHeight = 424;

// A preset name that stays inside the presets folder: not empty, no "/" and no NUL.
bool IsPresetName(const std::string& name);

class TForm_presets : public QWidget {
public:
    // A tool window above parent (the main window), created hidden.
    TForm_presets(TChainState& chain, TSettings& settings, QWidget* parent = nullptr);

    // Runs work with the engine's context current; empty: work runs as it is.
    std::function<void(const std::function<void()>& work)> GLWork;
    // After a preset was applied or written: what else the program keeps in a preset (modulators, tempo)
    // is read from or written into the file. May be empty.
    std::function<void(const std::string& path)> AfterApply;
    std::function<void(const std::string& path)> AfterWrite;

    // Visible, not modal, and in front: what the chain window's "Load/Manage Presets" asks for.
    void ShowManager();

    // The user's data folder (ending in "/"), where presets are saved when the engine's first data folder
    // cannot take them; empty: nowhere else.
    std::string UserDataFolder;
    // The presets/ folders of the engine's data folders and the user's.
    TPresetFolders PresetFolders() const;
    // The folder saves go to, and a name's file there.
    std::string PresetFolder() const;
    std::string PresetPath(const std::string& name) const;

    // Operations of the window, by the names its handlers carry.
    void readpluginDirectory();
    void FitColumn();
    void FormShow();
    void RestorePlacement();
    void FormClose();
    void FormResize();
    void ListView1Click();
    void ListView1DblClick();
    void BT_loadClick();
    void BT_saveClick();
    void Button3Click();

    TChainState& Chain;
    TSettings& Settings;

    // Components, each with its name as objectName.
    QTreeWidget* ListView1 = nullptr;
    QFrame* Panel1 = nullptr;
    QLineEdit* Edit1 = nullptr;
    QFrame* Panel2 = nullptr;
    QPushButton* BT_load = nullptr;
    QPushButton* BT_save = nullptr;
    QPushButton* Button3 = nullptr;
    QStatusBar* StatusBar1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateComponents();
    void LayoutPanel1();
    int SelectedIndex() const; // -1 for none
};
