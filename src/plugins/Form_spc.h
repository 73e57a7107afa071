// Form_spc.h: TForm_spc, the " Shader Plugin Chain " tool window over the chain state: eight slot rows (a
// switch button and a label with the plugin's name), the plugin pop-up menu and the parameter panel of the
// selected slot. It shows the chain state and hands its clicks to it; whoever else changes the chain
// through the state (a preset applied, AssignSlot) is shown by the same refresh hooks.
//
// GUI thread only. The chain state, its engine and the settings record belong to the main window and
// outlive this window. Work that makes or frees slot instances runs through GLWork, which makes the
// engine's context current for it.
#pragma once

#include "render/uTypesDef.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <string>

class QFrame;
class QMenu;
class QPushButton;
class QScrollArea;
class TChainState;
class TParamPanel;
struct TPluginMenuItem;
struct TSettings;

inline constexpr const char* kChainWindowCaption = " Shader Plugin Chain ";
constexpr int kChainClientWidth = 197;
constexpr int kChainClientHeight = 551;

// A slot label (Image1 .. Image8): a picture of its size, painted by the window, shown as it is. A press
// with any mouse button is reported before a right click's menu opens.
class TSlotImage : public QWidget {
public:
    TSlotImage(int slot, QWidget* parent);
    QImage Picture;
    std::function<void(int slot)> OnMouseDown;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    int Slot;
};

class TForm_spc : public QWidget {
public:
    // A tool window of parent (the main window) that stays on top of other windows. FormCreate runs here.
    TForm_spc(TChainState& chain, TSettings& settings, QWidget* parent = nullptr);
    ~TForm_spc() override; // FormDestroy; the chain state's hooks are taken back

    // Runs work with the engine's context current; empty: work runs as it is (tests without a view).
    std::function<void(const std::function<void()>& work)> GLWork;
    // The main window's ShowShaderPluginChain; the close command calls it with false.
    std::function<void(bool visible)> ShowShaderPluginChain;
    // "Load/Manage Presets": shows the preset manager, not modal. Empty until there is one.
    std::function<void()> ShowPresetManager;

    // Operations of the window, by the names its handlers carry.
    void FormCreate();
    void FormShow();
    void FormHide();                // also at close
    void Image1MouseDown(int slot); // any of the eight labels; slot 1..8, anything else selects none
    void BT_MClick(int slot);       // BT_M1 .. BT_M8
    void PluginMenuClick(int tag);
    void RefreshSlots(int slot, bool rebuild);
    void BuildPluginMenu(bool grouping);
    // Draws label slot's name in colour over its background; the full name is the label's tool tip.
    void DrawSlotLabel(int slot, TColorRef colour);
    // The text DrawSlotLabel draws for a name: shortened to the label's room in the label font.
    std::string SlotLabelCaption(const std::string& hint) const;

    TChainState& Chain;
    TSettings& Settings;

    // Components, each with its name as objectName.
    QFrame* Panel1 = nullptr;
    std::array<QPushButton*, kSlotCount> BT_M{}; // BT_M1 .. BT_M8
    std::array<QFrame*, kSlotCount> Panel_Efx{}; // Panel_Efx1 .. Panel_Efx8
    std::array<TSlotImage*, kSlotCount> Image{}; // Image1 .. Image8
    QScrollArea* ScrollBox1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    std::unique_ptr<TParamPanel> ParamPanel; // PanelEntries and the panel's handlers

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateComponents();
    void RunGLWork(const std::function<void()>& work);
    void PaintLabels();
    void ShowPluginMenu(const std::vector<TPluginMenuItem>& items);
    void AddMenuItems(QMenu* menu, const std::vector<TPluginMenuItem>& items);
    void PopupAt(const QPoint& globalPos);
};
