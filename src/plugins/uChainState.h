// uChainState.h: the shader plugin chain window without its window: the eight slot labels (Tag = catalogue
// index or -1, Hint = the plugin's name), the selected slot, the plugin menu as data, and the operations
// that fill, empty and switch slots in the render engine. The chain window shows this state and forwards its
// clicks here; the preset reader and writer use it directly. Slots are numbered 1..8 here, as the window
// shows them; the engine's arrays are 0..7.
//
// GUI thread only. Operations that create slot instances (SetRenderPlugins and everything that calls it)
// build shader programs: the engine's GL context must be current then. The engine outlives this object.
#pragma once

#include "render/uTypesDef.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

class TRenderEngine;

inline constexpr const char* kPluginLoadFailedText = "One ore more Plugins with errors found";

// Menu tags of the fixed items; catalogue items carry their position, group items -1.
constexpr int kMenuTagPresets = 5000;
constexpr int kMenuTagNone = 1000;
constexpr int kMenuTagGroup = -1;
inline constexpr const char* kMenuPresetsCaption = "Load/Manage Presets";
inline constexpr const char* kMenuNoneCaption = "None";
inline constexpr const char* kMenuSeparatorCaption = "-";

// Label colours (red in the low byte).
constexpr TColorRef kLabelBackground = 0x000000;
constexpr TColorRef kLabelSelectedBackground = 0x800000; // navy
constexpr TColorRef kLabelTextActive = 0xFFFFFF;
constexpr TColorRef kLabelTextInactive = 0x808080;

// Label geometry and the name shortening of DrawSlotLabel.
constexpr int kLabelWidth = 137;
constexpr int kLabelHeight = 24;
constexpr int kLabelTextMaxWidth = 105;
constexpr int kLabelTextMinChars = 10;

// The per-slot state of one label (Image1 .. Image8).
struct TSlotLabel {
    int Tag = -1;     // CatalogueIndex of the plugin in the slot, -1 when empty
    std::string Hint; // its FullName, the text drawn on the label; empty when empty
};

// One entry of the plugin pop-up menu. Every entry but the separators answers a click with
// PluginMenuClick(Tag).
struct TPluginMenuItem {
    std::string Caption; // kMenuSeparatorCaption for a separator
    std::string Name;    // "Item_5000", "Item_1000", "Item_Group_1", "Item_3"; empty for separators
    int Tag = 0;
    bool IsSeparator = false;
    std::vector<TPluginMenuItem> Items; // a group's plugins
};

class TChainState {
public:
    // Fresh slot instances are made from the folders of their catalogue entry.
    explicit TChainState(TRenderEngine& engine);
    TChainState(const TChainState&) = delete;
    TChainState& operator=(const TChainState&) = delete;

    // FormCreate: no slot selected, the parameter panel emptied.
    void FormCreate();
    // The chain window's show without the placing: no label highlighted, the parameter panel emptied
    // (SelectedSlot stays), and the menu built anew for the grouping setting.
    std::vector<TPluginMenuItem> FormShow(bool grouping);

    // A press (any mouse button) on label slot: selects it (anything but 1..8 selects none) and shows its
    // parameters.
    void LabelMouseDown(int slot);
    // BT_M1 .. BT_M8: flips the slot's switch, also for an empty slot.
    void SlotButtonClick(int slot);
    // A menu choice by Tag: 5000 opens the preset manager; 1000 empties the selected slot; a catalogue
    // position puts a fresh instance into the selected slot and switches it on; group items do nothing.
    // Errors while carrying the choice out are swallowed; the engine's active order is rebuilt afterwards.
    void PluginMenuClick(int tag);

    // Rebuilds Slots[slotIndex] (0..7) from the label's Tag: the old instance goes; for a Tag >= 0 a fresh
    // instance is made from the catalogue entry's description file. When it does not load, the message
    // kPluginLoadFailedText is shown and the slot stays without instance (label and switch unchanged).
    // The caller rebuilds the engine's active order.
    void SetRenderPlugins(int slotIndex);
    // Puts catalogue entry catalogueIndex (or nothing, for -1) into slot 1..8 and sets its switch; an empty
    // slot is always off. A slot outside 1..8 only refreshes. Refreshes and rebuilds the active order.
    void AssignSlot(int slot, int catalogueIndex, bool active);
    // The model side of repainting the labels: highlights slot 1..8 (none otherwise), takes each label's
    // text colour from SlotActive and, with rebuild, empties the parameter panel and shows slot's.
    void RefreshSlots(int slot, bool rebuild);

    // The pop-up menu's items: presets, separator, None, separator, then the catalogue, flat or grouped
    // under one item per group name (compared without regard to case, in order of first occurrence). The
    // fixed items are never groups: a group called "None" has an item of its own after them.
    std::vector<TPluginMenuItem> BuildPluginMenu(bool grouping) const;

    // Label slot 1..8.
    TSlotLabel& Label(int slot) { return Labels.at(static_cast<size_t>(slot - 1)); }
    const TSlotLabel& Label(int slot) const { return Labels.at(static_cast<size_t>(slot - 1)); }
    // Colours of label slot 1..8 as the last RefreshSlots painted them.
    TColorRef LabelBackground(int slot) const;
    TColorRef LabelTextColour(int slot) const { return TextColours.at(static_cast<size_t>(slot - 1)); }

    TRenderEngine& Engine;
    std::array<TSlotLabel, kSlotCount> Labels;
    int SelectedSlot = -1;    // 1..8, or -1 for none
    int HighlightedSlot = -1; // slot drawn navy by the last RefreshSlots, -1 for none
    int PanelSlot = -1;       // slot whose parameters the panel shows, -1 when the panel is empty
    std::array<TColorRef, kSlotCount> TextColours{kLabelTextInactive, kLabelTextInactive, kLabelTextInactive,
                                                  kLabelTextInactive, kLabelTextInactive, kLabelTextInactive,
                                                  kLabelTextInactive, kLabelTextInactive};

    // What the window does around the model; each may be left empty.
    std::function<void()> ShowPresetManager;            // visible and in front, not modal
    std::function<void()> ProcessMessages;              // let pending window messages run
    std::function<void()> ClearParamPanel;              // destroy the parameter panel's controls
    std::function<void(int slotIndex)> BuildParamPanel; // build the panel for slot index 0..7
    std::function<void()> LabelsChanged;                // repaint the eight labels

private:
    void AfterChange(); // RebuildActiveOrder, then pending messages
};

// DrawSlotLabel's text for a label: a name wider than kLabelTextMaxWidth pixels with at least 10 characters
// becomes its longest prefix of at least 10 characters that, followed by "...", is narrower than that; when
// even 10 characters and "..." are too wide, the first 10 characters alone. Characters are UTF-8 sequences,
// never cut in two. measure gives a text's width in pixels in the label font.
std::string SlotLabelText(const std::string& hint, const std::function<int(const std::string&)>& measure);
