#include "plugins/uChainState.h"

#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

namespace {

bool IsSlot(int slot) {
    return slot >= 1 && slot <= kSlotCount;
}

} // namespace

TChainState::TChainState(TRenderEngine& engine) : Engine(engine) {}

void TChainState::FormCreate() {
    SelectedSlot = -1;
    PanelSlot = -1;
    if (ClearParamPanel) ClearParamPanel();
}

std::vector<TPluginMenuItem> TChainState::FormShow(bool grouping) {
    RefreshSlots(0, true);
    return BuildPluginMenu(grouping);
}

void TChainState::LabelMouseDown(int slot) {
    SelectedSlot = IsSlot(slot) ? slot : -1;
    RefreshSlots(SelectedSlot, true);
}

void TChainState::SlotButtonClick(int slot) {
    if (!IsSlot(slot)) return;
    bool& active = Engine.SlotActive[static_cast<size_t>(slot - 1)];
    active = !active;
    RefreshSlots(SelectedSlot, false);
    AfterChange();
}

void TChainState::PluginMenuClick(int tag) {
    if (tag == kMenuTagPresets) {
        if (ShowPresetManager) ShowPresetManager();
        return;
    }
    try {
        if (tag == kMenuTagNone) {
            if (IsSlot(SelectedSlot)) {
                TSlotLabel& label = Label(SelectedSlot);
                label.Hint.clear();
                label.Tag = -1;
                Engine.SlotActive[static_cast<size_t>(SelectedSlot - 1)] = false;
                SetRenderPlugins(SelectedSlot - 1);
            }
            RefreshSlots(SelectedSlot, true);
        } else if (tag >= 0) {
            if (IsSlot(SelectedSlot)) {
                // at() raises for a position the catalogue does not have; the choice is then dropped.
                const TShaderPlugin& entry = *Engine.Catalogue.at(static_cast<size_t>(tag));
                TSlotLabel& label = Label(SelectedSlot);
                label.Hint = entry.FullName;
                label.Tag = entry.CatalogueIndex;
                Engine.SlotActive[static_cast<size_t>(SelectedSlot - 1)] = true;
                SetRenderPlugins(SelectedSlot - 1);
            }
            RefreshSlots(SelectedSlot, true);
        }
    } catch (...) {
        // A failed choice leaves the chain as far as it got; the rebuild below makes that state consistent.
    }
    AfterChange();
}

void TChainState::SetRenderPlugins(int slotIndex) {
    if (slotIndex < 0 || slotIndex >= kSlotCount) return;
    const size_t i = static_cast<size_t>(slotIndex);
    Engine.Slots[i].reset();
    const int tag = Labels[i].Tag;
    if (tag < 0) return;

    bool loaded = false;
    if (static_cast<size_t>(tag) < Engine.Catalogue.size()) {
        // From the data folder the catalogue entry came from: a user's plugin may shadow a system one.
        const TShaderPlugin& entry = *Engine.Catalogue[static_cast<size_t>(tag)];
        Engine.Slots[i] =
            std::make_unique<TShaderPlugin>(entry.PluginFolder, entry.IniFileName, entry.ShaderFolder);
        loaded = Engine.Slots[i]->Load();
    }
    if (!loaded) {
        ShowMessage(kPluginLoadFailedText, kMessageCaption, TMessageIcon::Error);
        Engine.Slots[i].reset();
    }
}

void TChainState::AssignSlot(int slot, int catalogueIndex, bool active) {
    if (!IsSlot(slot)) {
        RefreshSlots(SelectedSlot, true);
        AfterChange();
        return;
    }
    TSlotLabel& label = Label(slot);
    int newTag = -1;
    if (catalogueIndex >= 0 && static_cast<size_t>(catalogueIndex) < Engine.Catalogue.size()) {
        const TShaderPlugin& entry = *Engine.Catalogue[static_cast<size_t>(catalogueIndex)];
        label.Hint = entry.FullName;
        newTag = entry.CatalogueIndex;
    } else {
        // No catalogue entry (also a position past its end): the slot is emptied and switched off.
        label.Hint.clear();
        active = false;
    }
    label.Tag = newTag;
    Engine.SlotActive[static_cast<size_t>(slot - 1)] = active;
    SetRenderPlugins(slot - 1);
    RefreshSlots(SelectedSlot, true);
    AfterChange();
}

void TChainState::RefreshSlots(int slot, bool rebuild) {
    HighlightedSlot = IsSlot(slot) ? slot : -1;
    for (size_t i = 0; i < TextColours.size(); ++i)
        TextColours[i] = Engine.SlotActive[i] ? kLabelTextActive : kLabelTextInactive;
    if (rebuild) {
        if (ClearParamPanel) ClearParamPanel();
        PanelSlot = -1;
        if (IsSlot(slot)) {
            PanelSlot = slot;
            if (BuildParamPanel) BuildParamPanel(slot - 1);
        }
    }
    if (LabelsChanged) LabelsChanged();
}

TColorRef TChainState::LabelBackground(int slot) const {
    return slot == HighlightedSlot ? kLabelSelectedBackground : kLabelBackground;
}

std::vector<TPluginMenuItem> TChainState::BuildPluginMenu(bool grouping) const {
    std::vector<TPluginMenuItem> menu;
    const auto separator = [] {
        TPluginMenuItem item;
        item.Caption = kMenuSeparatorCaption;
        item.IsSeparator = true;
        return item;
    };
    menu.push_back(
        {kMenuPresetsCaption, "Item_" + std::to_string(kMenuTagPresets), kMenuTagPresets, false, {}});
    menu.push_back(separator());
    menu.push_back({kMenuNoneCaption, "Item_" + std::to_string(kMenuTagNone), kMenuTagNone, false, {}});
    menu.push_back(separator());

    const auto& catalogue = Engine.Catalogue;
    if (!grouping) {
        for (size_t p = 0; p < catalogue.size(); ++p)
            menu.push_back(
                {catalogue[p]->FullName, "Item_" + std::to_string(p), static_cast<int>(p), false, {}});
        return menu;
    }

    // A group is looked up among the group items only: a group called like a fixed item would otherwise
    // turn "None" or the presets item into a submenu that can no longer be chosen.
    const auto findTopLevel = [&menu](const std::string& caption) -> TPluginMenuItem* {
        for (TPluginMenuItem& item : menu)
            if (!item.IsSeparator && item.Tag == kMenuTagGroup && SameTextAscii(item.Caption, caption))
                return &item;
        return nullptr;
    };
    int groupCounter = 0;
    for (const auto& plugin : catalogue) {
        if (findTopLevel(plugin->GroupName)) continue;
        ++groupCounter;
        menu.push_back(
            {plugin->GroupName, "Item_Group_" + std::to_string(groupCounter), kMenuTagGroup, false, {}});
    }
    for (size_t p = 0; p < catalogue.size(); ++p) {
        TPluginMenuItem* group = findTopLevel(catalogue[p]->GroupName);
        if (!group) continue;
        group->Items.push_back(
            {catalogue[p]->FullName, "Item_" + std::to_string(p), static_cast<int>(p), false, {}});
    }
    return menu;
}

void TChainState::AfterChange() {
    Engine.RebuildActiveOrder();
    if (ProcessMessages) ProcessMessages();
}

std::string SlotLabelText(const std::string& hint, const std::function<int(const std::string&)>& measure) {
    // Byte offsets at which characters start, and the end: a name in UTF-8 is cut between characters only.
    std::vector<size_t> starts;
    for (size_t i = 0; i < hint.size(); ++i)
        if (i == 0 || (static_cast<unsigned char>(hint[i]) & 0xC0) != 0x80) starts.push_back(i);
    const size_t characters = starts.size();
    starts.push_back(hint.size());
    const size_t minChars = static_cast<size_t>(kLabelTextMinChars);
    if (characters < minChars || measure(hint) <= kLabelTextMaxWidth) return hint;

    // A prefix that is itself as wide as the label's room cannot fit with the dots, and neither can any
    // longer one: the search starts there instead of at the end of a name of any length.
    size_t longest = minChars;
    while (longest < characters && measure(hint.substr(0, starts[longest])) < kLabelTextMaxWidth)
        ++longest;
    for (size_t length = longest; length >= minChars; --length) {
        const std::string candidate = hint.substr(0, starts[length]) + "...";
        if (measure(candidate) < kLabelTextMaxWidth) return candidate;
    }
    return hint.substr(0, starts[minChars]);
}
