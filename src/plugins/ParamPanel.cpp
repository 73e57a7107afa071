#include "plugins/ParamPanel.h"

#include "platform/NumberText.h"
#include "plugins/uWSGradientBar.h"
#include "render/IsfFile.h"
#include "render/IsfPlugin.h"
#include "render/uShaderPlugin.h"

#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

constexpr const char* kTagProperty = "Tag";
// Set on the fields of parameters whose real values reach below 0: they take a "-".
constexpr const char* kSignedProperty = "Signed";

QString DisplayText(float value, float scale, float offset) {
    return QString::fromStdString(FormatFloat("0.00", double(offset) + double(value) * double(scale)));
}

// Captions are shown as written: a "&" is no mnemonic here.
QString PlainCaption(const std::string& text) {
    return QString::fromStdString(text).replace(QLatin1Char('&'), QLatin1String("&&"));
}

template <int N>
float* ComponentIn(std::vector<TShaderParam<N>>& list, int index, int k, float& scale, float& offset) {
    if (index < 0 || size_t(index) >= list.size() || k < 0 || k >= N) return nullptr;
    scale = list[size_t(index)].Scale;
    offset = list[size_t(index)].Offset;
    return &list[size_t(index)].Value[size_t(k)];
}

template <int N>
const TShaderParam<N>* ParamIn(const std::vector<TShaderParam<N>>& list, const std::string& name) {
    for (const TShaderParam<N>& param : list)
        if (param.UniformName == name) return &param;
    return nullptr;
}

// The description value of component k of a parameter; not a number when there is no description.
template <int N> double HomeValue(const TShaderPlugin* description, const std::string& name, int k) {
    if (!description) return std::nan("");
    const TShaderParam<N>* param = nullptr;
    if constexpr (N == 1) param = ParamIn(description->Params1f, name);
    if constexpr (N == 2) param = ParamIn(description->Params2f, name);
    if constexpr (N == 3) param = ParamIn(description->Params3f, name);
    if constexpr (N == 4) param = ParamIn(description->Params4f, name);
    return param ? double(param->Value[size_t(k)]) : std::nan("");
}

// The drop-down of a long at its index for value.
int ChoiceIndex(const QComboBox& choice, double value) {
    const int last = choice.count() - 1;
    return last <= 0 ? 0 : std::clamp(int(std::lround(value * last)), 0, last);
}

// A long's drop-down or an event's button in place of bar and field; false for the inputs that keep them.
bool AddOwnControl(TParamPanel& panel, ParamPanelEntry& entry, const TIsfInput& input, double value, int e) {
    using L = TParamPanelLayout;
    const QRect place(L::BarLeft, L::EditTop[0], L::EditLeft + L::EditWidth - L::BarLeft, L::EditHeight);
    if (input.Type == TIsfInputType::Long) {
        auto* choice = new QComboBox(entry.GroupBox);
        choice->setObjectName(QStringLiteral("Choice_%1").arg(e));
        choice->setGeometry(place);
        for (const std::string& label : input.Labels)
            choice->addItem(QString::fromStdString(label));
        choice->setCurrentIndex(ChoiceIndex(*choice, value));
        // Only now: showing the value must not write it back.
        QObject::connect(choice, qOverload<int>(&QComboBox::activated), &panel,
                         [&panel, choice](int index) { panel.ChoiceChange(choice, index); });
        entry.Choice = choice;
        return true;
    }
    if (input.Type == TIsfInputType::Event) {
        auto* button = new QPushButton(PlainCaption(input.Label), entry.GroupBox);
        button->setObjectName(QStringLiteral("Fire_%1").arg(e));
        button->setGeometry(place);
        QObject::connect(button, &QPushButton::clicked, &panel,
                         [&panel, button] { panel.FireEvent(button); });
        entry.Fire = button;
        return true;
    }
    return false;
}

template <int N>
void AddEntries(TParamPanel& panel, std::vector<ParamPanelEntry>& entries, QWidget* box, int slotIndex,
                const TShaderPlugin* plugin, const std::vector<TShaderParam<N>>& list, int& y) {
    const TShaderPlugin* description = panel.Description ? panel.Description(slotIndex) : nullptr;
    using L = TParamPanelLayout;
    for (size_t j = 0; j < list.size(); ++j) {
        const TShaderParam<N>& param = list[j];
        const int e = int(entries.size());
        ParamPanelEntry entry;
        entry.ParamIndex = int(j);
        entry.ComponentCount = N;

        auto* group = new QGroupBox(box);
        group->setObjectName(QStringLiteral("Groupbox_%1").arg(e + 1));
        group->setTitle(QLatin1Char(' ') + PlainCaption(param.Caption) + QLatin1Char(' '));
        group->setGeometry(L::GroupLeft, y, L::GroupWidth, L::GroupHeight[N - 1]);
        group->setProperty(kTagProperty, slotIndex);
        entry.GroupBox = group;
        y += L::GroupHeight[N - 1] + L::GroupGap;

        const TIsfInput* input = plugin ? IsfInputOf(*plugin, param.UniformName) : nullptr;
        if (N == 1 && input && AddOwnControl(panel, entry, *input, double(param.Value[0]), e)) {
            entries.push_back(entry);
            group->show();
            continue;
        }
        entry.Snaps = input && input->Type == TIsfInputType::Bool;
        for (int k = 0; k < N; ++k) {
            auto* bar = new TWSGradientBar(group);
            bar->setObjectName(QStringLiteral("WSGradientbar%1_%2").arg(k + 1).arg(e));
            bar->setGeometry(L::BarLeft, L::BarTop[size_t(k)], L::BarWidth, L::BarHeight);
            // The bar shows the value clamped; the stored value stays as it is until the user moves it.
            bar->SetPosition(double(param.Value[size_t(k)]));
            bar->Tag = slotIndex;
            bar->SetVColor(N == 1 ? kSingleBarColour : kComponentBarColours[size_t(k)]);
            bar->HomePosition = HomeValue<N>(description, param.UniformName, k);
            // Only now: setting the initial values must not write them back.
            bar->OnChange = [&panel](TWSGradientBar* sender) { panel.ParamBarChange(sender); };
            bar->OnContextMenu = [&panel](TWSGradientBar* sender, const QPoint& at) {
                panel.BarContextMenu(sender, at);
            };
            entry.ValueBars[size_t(k)] = bar;

            auto* edit = new QLineEdit(group);
            edit->setObjectName(QStringLiteral("Edit%1_%2").arg(k + 1).arg(e));
            edit->setGeometry(L::EditLeft, L::EditTop[size_t(k)], L::EditWidth, L::EditHeight);
            edit->setProperty(kTagProperty, slotIndex);
            // Composed input would bypass the key filter.
            edit->setAttribute(Qt::WA_InputMethodEnabled, false);
            edit->installEventFilter(&panel);
            edit->setProperty(kSignedProperty, param.Offset < 0.0f);
            edit->setText(DisplayText(param.Value[size_t(k)], param.Scale, param.Offset));
            entry.ValueEdits[size_t(k)] = edit;
        }
        entries.push_back(entry);
        group->show();
    }
}

} // namespace

TParamPanel::TParamPanel(QScrollArea& scrollBox, TSlots& engineSlots)
    : ScrollBox(scrollBox), Slots(engineSlots) {}

TParamPanel::~TParamPanel() {
    Clear();
}

void TParamPanel::BuildParamPanel(int slotIndex) {
    if (slotIndex < 0 || slotIndex >= kSlotCount) return;
    TShaderPlugin* plugin = Slots[size_t(slotIndex)].get();
    if (!plugin) return;
    QWidget* box = ScrollBox.widget();
    if (!box) return;
    int y = TParamPanelLayout::GroupFirstTop;
    AddEntries(*this, PanelEntries, box, slotIndex, plugin, plugin->Params1f, y);
    AddEntries(*this, PanelEntries, box, slotIndex, plugin, plugin->Params2f, y);
    AddEntries(*this, PanelEntries, box, slotIndex, plugin, plugin->Params3f, y);
    AddEntries(*this, PanelEntries, box, slotIndex, plugin, plugin->Params4f, y);
    // Taller groups scroll vertically; the width always follows the visible area.
    box->setMinimumHeight(y);
}

void TParamPanel::Clear() {
    // A field losing the focus while it goes must not store into bars already gone.
    for (ParamPanelEntry& entry : PanelEntries)
        for (QLineEdit* edit : entry.ValueEdits)
            if (edit) edit->removeEventFilter(this);
    for (ParamPanelEntry& entry : PanelEntries) {
        for (TWSGradientBar* bar : entry.ValueBars)
            delete bar;
        for (QLineEdit* edit : entry.ValueEdits)
            delete edit;
        delete entry.Choice;
        delete entry.Fire;
        delete entry.GroupBox;
    }
    PanelEntries.clear();
    if (QWidget* box = ScrollBox.widget()) box->setMinimumHeight(0);
}

float* TParamPanel::Component(const ParamPanelEntry& entry, int slotIndex, int k, float& scale,
                              float& offset) const {
    if (slotIndex < 0 || slotIndex >= kSlotCount) return nullptr;
    TShaderPlugin* plugin = Slots[size_t(slotIndex)].get();
    if (!plugin) return nullptr;
    switch (entry.ComponentCount) {
    case 1:
        return ComponentIn(plugin->Params1f, entry.ParamIndex, k, scale, offset);
    case 2:
        return ComponentIn(plugin->Params2f, entry.ParamIndex, k, scale, offset);
    case 3:
        return ComponentIn(plugin->Params3f, entry.ParamIndex, k, scale, offset);
    case 4:
        return ComponentIn(plugin->Params4f, entry.ParamIndex, k, scale, offset);
    }
    return nullptr;
}

void TParamPanel::ParamBarChange(TWSGradientBar* bar) {
    for (const ParamPanelEntry& entry : PanelEntries)
        for (int k = 0; k < entry.ComponentCount; ++k) {
            if (entry.ValueBars[size_t(k)] != bar) continue;
            float scale = 0.0f;
            float offset = 0.0f;
            float* value = bar->Tag == -1 ? nullptr : Component(entry, bar->Tag, k, scale, offset);
            if (!value) return;
            const double snapped = bar->Position() >= 0.5 ? 1.0 : 0.0;
            // Moving the bar again raises this once more, with the snapped position.
            if (entry.Snaps && bar->Position() != snapped) return bar->SetPosition(snapped);
            *value = float(bar->Position());
            entry.ValueEdits[size_t(k)]->setText(DisplayText(*value, scale, offset));
            return;
        }
}

bool TParamPanel::ParamEditKeyPress(QLineEdit* edit, const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        ParamEditEnter(edit);
        return true;
    }
    // Shortcuts (copy, paste, select all, undo) and keys without a printable character (Backspace, Delete,
    // the arrows, Tab) keep their ordinary meaning. The point is let through with the digits: without it no
    // decimal number could be typed into an emptied field.
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return true;
    const QString text = key.text();
    if (text.size() != 1 || !text.at(0).isPrint()) return true;
    const QChar c = text.at(0);
    if (c == QLatin1Char('-')) return edit->property(kSignedProperty).toBool();
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(',') || c == QLatin1Char('.');
}

void TParamPanel::ParamEditEnter(QLineEdit* edit) {
    for (const ParamPanelEntry& entry : PanelEntries)
        for (int k = 0; k < entry.ComponentCount; ++k) {
            if (entry.ValueEdits[size_t(k)] != edit) continue;
            const int slotIndex = edit->property(kTagProperty).toInt();
            float scale = 0.0f;
            float offset = 0.0f;
            if (slotIndex == -1 || !Component(entry, slotIndex, k, scale, offset)) return;
            const std::optional<double> typed = ParseFloat(edit->text().toStdString());
            if (!typed || scale == 0.0f) return;
            const double value = (*typed - double(offset)) / double(scale);
            if (!std::isfinite(value)) return;
            // The bar limits the value to 0..1 and, through its OnChange, stores it and rewrites the field.
            entry.ValueBars[size_t(k)]->SetPosition(value);
            return;
        }
}

template <int N> const std::string* NameIn(const std::vector<TShaderParam<N>>& list, int index) {
    return index >= 0 && size_t(index) < list.size() ? &list[size_t(index)].UniformName : nullptr;
}

void TParamPanel::BarContextMenu(TWSGradientBar* bar, const QPoint& globalPos) {
    if (!OnBarContextMenu || bar->Tag < 0 || bar->Tag >= kSlotCount) return;
    const TShaderPlugin* plugin = Slots[size_t(bar->Tag)].get();
    if (!plugin) return;
    for (const ParamPanelEntry& entry : PanelEntries)
        for (int k = 0; k < entry.ComponentCount; ++k) {
            if (entry.ValueBars[size_t(k)] != bar) continue;
            const std::string* name = nullptr;
            switch (entry.ComponentCount) {
            case 1:
                name = NameIn(plugin->Params1f, entry.ParamIndex);
                break;
            case 2:
                name = NameIn(plugin->Params2f, entry.ParamIndex);
                break;
            case 3:
                name = NameIn(plugin->Params3f, entry.ParamIndex);
                break;
            case 4:
                name = NameIn(plugin->Params4f, entry.ParamIndex);
                break;
            }
            if (name) OnBarContextMenu({bar->Tag, *name, entry.ComponentCount, k}, globalPos);
            return;
        }
}

void TParamPanel::ShowValues() {
    for (const ParamPanelEntry& entry : PanelEntries)
        for (int k = 0; k < entry.ComponentCount; ++k) {
            TWSGradientBar* bar = entry.ValueBars[size_t(k)];
            float scale = 0.0f;
            float offset = 0.0f;
            const int slotIndex = entry.GroupBox->property(kTagProperty).toInt();
            const float* value = Component(entry, slotIndex, k, scale, offset);
            if (!value) continue;
            if (entry.Choice) entry.Choice->setCurrentIndex(ChoiceIndex(*entry.Choice, double(*value)));
            if (!bar) continue;
            // Without its handler, so that showing does not store the clamped position back.
            auto handler = std::move(bar->OnChange);
            bar->OnChange = nullptr;
            bar->SetPosition(double(*value));
            bar->OnChange = std::move(handler);
            QLineEdit* edit = entry.ValueEdits[size_t(k)];
            // A number being typed stays until it is stored or the field is left.
            if (!edit->hasFocus() || !edit->isModified()) edit->setText(DisplayText(*value, scale, offset));
        }
}

void TParamPanel::ChoiceChange(QComboBox* choice, int index) {
    for (const ParamPanelEntry& entry : PanelEntries) {
        if (entry.Choice != choice) continue;
        float scale = 0.0f;
        float offset = 0.0f;
        float* value = Component(entry, entry.GroupBox->property(kTagProperty).toInt(), 0, scale, offset);
        const int last = choice->count() - 1;
        if (value) *value = last > 0 ? float(std::clamp(index, 0, last)) / float(last) : 0.0f;
        return;
    }
}

void TParamPanel::FireEvent(QPushButton* button) {
    for (const ParamPanelEntry& entry : PanelEntries) {
        if (entry.Fire != button) continue;
        float scale = 0.0f;
        float offset = 0.0f;
        // The slot's passes set it back once a frame has been drawn with it.
        if (float* value = Component(entry, entry.GroupBox->property(kTagProperty).toInt(), 0, scale, offset))
            *value = 1.0f;
        return;
    }
}

bool TParamPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        // Leaving a field stores what was typed into it, as Enter does; a field left untouched keeps the
        // value it shows only to two decimals.
        if (auto* edit = qobject_cast<QLineEdit*>(watched); edit && edit->isModified()) ParamEditEnter(edit);
        return false;
    }
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit) return false;
    const auto& key = *static_cast<const QKeyEvent*>(event);
    const bool letThrough = ParamEditKeyPress(edit, key);
    // Enter has been handled; the line edit has nothing more to do with it.
    return !letThrough || key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}
