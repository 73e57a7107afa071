// ParamPanel.h: the parameter panel of the chain window: one framed group per parameter of the plugin in a
// slot, with a gradient bar and a small edit field per component. A bar's position is the component's value;
// the field shows the real value, Offset + value x Scale, and takes a typed real value back (Enter), the bar
// limited to 0..1. Effect file inputs that are no range: a bool's bar snaps to 0 or 1, a long is a drop-down
// of its labels (the value the index's place on the bar), an event a button that sets 1 for one frame.
//
// The controls never hold a slot instance: each carries its slot index (Tag) and its entry's parameter
// position, and every change looks the instance up in the slots again, so a slot emptied or refilled
// without a rebuild is skipped instead of touched. GUI thread only; values are read by the engine on the
// same thread at the next frame. A field also stores its typed number when it loses the focus; a bar's
// Home and double click go back to the value the plugin's description gives.
#pragma once

#include "render/uTypesDef.h"

#include <QObject>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QEvent;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QPoint;
class QPushButton;
class QScrollArea;
class TShaderPlugin;
class TWSGradientBar;

// Layout of the panel, in pixels: group boxes in the scroll box's coordinates, bars and edit fields in
// their group box's. Index N-1 or k-1.
struct TParamPanelLayout {
    static constexpr int GroupLeft = 8;
    static constexpr int GroupFirstTop = 7;
    static constexpr int GroupWidth = 169;
    static constexpr int GroupGap = 7;
    static constexpr std::array<int, 4> GroupHeight = {53, 81, 105, 125};
    static constexpr int BarLeft = 16;
    static constexpr std::array<int, 4> BarTop = {23, 47, 71, 95};
    static constexpr int BarWidth = 89;
    static constexpr int BarHeight = 14;
    static constexpr int EditLeft = 112;
    static constexpr std::array<int, 4> EditTop = {21, 44, 68, 92};
    static constexpr int EditWidth = 45;
    static constexpr int EditHeight = 21;
};

// Bar end colours: one-component parameters white; components 1..4 of the others red, green, blue, white.
constexpr TColorRef kSingleBarColour = 0xFFFFFF;
constexpr std::array<TColorRef, 4> kComponentBarColours = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};

// One parameter shown: its group box owns its bars and edit fields (ValueBar1..4, ValueEdit1..4 at index
// k-1; null beyond ComponentCount).
struct ParamPanelEntry {
    QGroupBox* GroupBox = nullptr;
    std::array<TWSGradientBar*, 4> ValueBars{};
    std::array<QLineEdit*, 4> ValueEdits{};
    QComboBox* Choice = nullptr; // a long input's drop-down ("Choice_<e>"), instead of bar and field
    QPushButton* Fire = nullptr; // an event input's button ("Fire_<e>"), instead of bar and field
    bool Snaps = false;          // a bool input: the bar goes to 0 or 1
    int ParamIndex = 0;          // position in its list of the slot instance
    int ComponentCount = 0;      // 1..4: Params1f .. Params4f
};

// The component a bar edits, for whoever offers more on the bar's context menu.
struct TParamBarTarget {
    int SlotIndex = 0; // 0..7
    std::string UniformName;
    int ComponentCount = 1; // the parameter's list: 1..4
    int Component = 0;      // 0..ComponentCount-1
};

class TParamPanel : public QObject {
public:
    using TSlots = std::array<std::unique_ptr<TShaderPlugin>, kSlotCount>;

    // Builds into scrollBox's widget, which must exist and outlive the panel's controls. engineSlots are
    // the engine's.
    TParamPanel(QScrollArea& scrollBox, TSlots& engineSlots);
    ~TParamPanel() override;

    // The groups for Slots[slotIndex] (0..7): single values first, then pairs, triples and quadruples,
    // each list in its order. Nothing for an empty slot. Call Clear first.
    void BuildParamPanel(int slotIndex);
    // Destroys every control of the panel (bars and edits before their group box); PanelEntries empty.
    void Clear();

    // OnChange of every bar: component := the bar's position (a bool's snapped to 0 or 1); its field
    // shows the real value.
    void ParamBarChange(TWSGradientBar* bar);
    // A long's drop-down picked index: the value is the index's place on the bar (index / (count - 1)).
    void ChoiceChange(QComboBox* choice, int index);
    // An event's button: the value is 1 until the slot has drawn one frame with it.
    void FireEvent(QPushButton* button);
    // A key typed into one of the panel's edit fields; false: the key is discarded. Printable characters
    // other than the digits, "," and "." (and "-" where the real values reach below 0) are discarded
    // (shortcuts with Ctrl or Alt are not typing); Enter (also the keypad's) stores the field.
    bool ParamEditKeyPress(QLineEdit* edit, const QKeyEvent& key);
    // Enter in an edit field: (the typed number - Offset) / Scale, limited to 0..1, becomes the component,
    // the bar moves and the field shows the real value. Text that is no number, or a Scale of 0, changes
    // nothing and the field keeps the text.
    void ParamEditEnter(QLineEdit* edit);
    // Bars and fields show the slot instance's values again (changed from elsewhere), without storing
    // them: a value outside 0..1 stays as it is.
    void ShowValues();
    // A bar asked for its context menu: OnBarContextMenu with what the bar edits.
    void BarContextMenu(TWSGradientBar* bar, const QPoint& globalPos);

    std::vector<ParamPanelEntry> PanelEntries;
    // The description values of the plugin in a slot (its catalogue entry), for Home; may be empty.
    std::function<const TShaderPlugin*(int slotIndex)> Description;
    // A bar's context menu was asked for; may be empty.
    std::function<void(const TParamBarTarget& target, const QPoint& globalPos)> OnBarContextMenu;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The slot instance and the component a control edits, or null when the control is not the panel's,
    // its slot is empty or no longer holds such a parameter.
    float* Component(const ParamPanelEntry& entry, int slotIndex, int k, float& scale, float& offset) const;

    QScrollArea& ScrollBox;
    TSlots& Slots;
};
