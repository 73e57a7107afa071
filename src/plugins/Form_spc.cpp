#include "plugins/Form_spc.h"

#include "platform/Settings.h"
#include "platform/WindowPlacement.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "ui/WindowFonts.h"

#include <QAction>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVariant>

namespace {

constexpr int kLabelTextLeft = 10;
constexpr int kLabelTextTop = 6;
constexpr int kPanel1Height = 265;
constexpr int kButtonLeft = 8;
constexpr int kButtonSize = 25;
constexpr int kRowTop = 8;
constexpr int kRowPitch = 32;
constexpr int kEfxLeft = 40;
constexpr int kEfxHeight = 25;
constexpr int kMenuCaptionMaxWidth = 480;

QColor ToQColor(TColorRef colour) {
    return QColor(RedOf(colour), GreenOf(colour), BlueOf(colour));
}

// Menu captions are plugin and group names: a "&" in them is shown, not taken for a mnemonic, and a name
// wider than half a screen ends in an ellipsis instead of stretching its menu across the whole screen.
QString MenuCaption(const std::string& text) {
    const QString caption =
        QFontMetrics(WindowFont())
            .elidedText(QString::fromStdString(text), Qt::ElideRight, kMenuCaptionMaxWidth);
    return QString(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// A label's full name as its tool tip. Written as rich text, escaped: a name is shown as it is written
// even where it looks like markup, and a long one wraps instead of running off the screen.
QString NameToolTip(const std::string& name) {
    if (name.empty()) return {};
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>")
        .arg(QString::fromStdString(name).toHtmlEscaped());
}

} // namespace

TSlotImage::TSlotImage(int slot, QWidget* parent) : QWidget(parent), Slot(slot) {
    Picture = QImage(kLabelWidth, kLabelHeight, QImage::Format_RGB32);
    Picture.fill(Qt::black);
}

void TSlotImage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Picture);
}

void TSlotImage::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (OnMouseDown) OnMouseDown(Slot);
}

TForm_spc::TForm_spc(TChainState& chain, TSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      Chain(chain), Settings(settings) {
    setObjectName(QStringLiteral("Form_spc"));
    setWindowTitle(QString::fromLatin1(kChainWindowCaption));
    setFont(WindowFont());
    setFixedSize(kChainClientWidth, kChainClientHeight);
    CreateComponents();
    ParamPanel = std::make_unique<TParamPanel>(*ScrollBox1, Chain.Engine.Slots);
    // Home goes back to the values of the description the slot's instance was made from.
    ParamPanel->Description = [this](int slotIndex) -> const TShaderPlugin* {
        const int tag = Chain.Label(slotIndex + 1).Tag;
        const auto& catalogue = Chain.Engine.Catalogue;
        return tag >= 0 && size_t(tag) < catalogue.size() ? catalogue[size_t(tag)].get() : nullptr;
    };
    // Where the settings put it, also while it stays hidden: the main window stores this place at its close.
    move(Settings.spc_left, Settings.spc_top);

    Chain.ClearParamPanel = [this] { ParamPanel->Clear(); };
    Chain.BuildParamPanel = [this](int slotIndex) { ParamPanel->BuildParamPanel(slotIndex); };
    Chain.LabelsChanged = [this] { PaintLabels(); };
    Chain.ShowPresetManager = [this] {
        if (ShowPresetManager) ShowPresetManager();
    };
    // Chain.ProcessMessages stays unset: every handler here returns to the event loop at once, and a nested
    // loop inside GL work could draw a frame in the middle of a change.
    FormCreate();
}

TForm_spc::~TForm_spc() {
    // FormDestroy: the panel's controls go before the window's, and the chain no longer calls back.
    Chain.ClearParamPanel = nullptr;
    Chain.BuildParamPanel = nullptr;
    Chain.LabelsChanged = nullptr;
    Chain.ShowPresetManager = nullptr;
    ParamPanel.reset();
}

void TForm_spc::CreateComponents() {
    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::NoFrame);
    Panel1->setGeometry(0, 0, kChainClientWidth, kPanel1Height);

    for (int i = 1; i <= kSlotCount; ++i) {
        const size_t s = size_t(i - 1);
        const int top = kRowTop + kRowPitch * (i - 1);

        auto* button = new QPushButton(QString::number(i), Panel1);
        button->setObjectName(QStringLiteral("BT_M%1").arg(i));
        button->setGeometry(kButtonLeft, top, kButtonSize, kButtonSize);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QPushButton::clicked, this, [this, i] { BT_MClick(i); });
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button](const QPoint& at) { PopupAt(button->mapToGlobal(at)); });
        BT_M[s] = button;

        auto* panel = new QFrame(Panel1);
        panel->setObjectName(QStringLiteral("Panel_Efx%1").arg(i));
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setLineWidth(1);
        panel->setGeometry(kEfxLeft, top, kLabelWidth, kEfxHeight);
        panel->setProperty("Tag", -1);
        panel->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(panel, &QWidget::customContextMenuRequested, this,
                [this, panel](const QPoint& at) { PopupAt(panel->mapToGlobal(at)); });
        Panel_Efx[s] = panel;

        // The label leaves its context menu to its panel, so a right press selects first, then opens it.
        auto* image = new TSlotImage(i, panel);
        image->setObjectName(QStringLiteral("Image%1").arg(i));
        image->setGeometry(0, 0, kLabelWidth, kLabelHeight);
        image->OnMouseDown = [this](int slot) { Image1MouseDown(slot); };
        Image[s] = image;
    }

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->setGeometry(0, kPanel1Height, kChainClientWidth, kChainClientHeight - kPanel1Height);
    // The content follows the visible width and grows only downwards: no horizontal scrolling, ever.
    ScrollBox1->setWidgetResizable(true);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("ScrollBox1_Content"));
    ScrollBox1->setWidget(content);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    // A menu is a window of its own and does not take the window's face by itself.
    PopupMenu1->setFont(WindowFont());
}

void TForm_spc::RunGLWork(const std::function<void()>& work) {
    if (GLWork)
        GLWork(work);
    else
        work();
}

void TForm_spc::FormCreate() {
    Chain.FormCreate();
}

void TForm_spc::FormShow() {
    ShowPluginMenu(Chain.FormShow(Settings.GroupPlugins));

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize(1024, 768);
    const QRect frame = frameGeometry();
    const TWindowPlacement place =
        ClampToScreen({Settings.spc_left, Settings.spc_top, frame.width(), frame.height()},
                      screenSize.width(), screenSize.height(), kFitChainWindow);
    Settings.spc_left = place.Left;
    Settings.spc_top = place.Top;
    move(place.Left, place.Top);
}

// Hiding and closing alike keep the place the window had.
void TForm_spc::FormHide() {
    Settings.spc_left = x();
    Settings.spc_top = y();
}

void TForm_spc::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The program's own show; a window system's re-mapping (after the main window was restored) is none.
    if (!event->spontaneous()) FormShow();
}

void TForm_spc::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    FormHide();
}

void TForm_spc::closeEvent(QCloseEvent* event) {
    FormHide();
    Settings.Show_ShaderPluginChain = false;
    if (ShowShaderPluginChain) ShowShaderPluginChain(false);
    event->accept();
}

void TForm_spc::Image1MouseDown(int slot) {
    RunGLWork([this, slot] { Chain.LabelMouseDown(slot); });
}

void TForm_spc::BT_MClick(int slot) {
    RunGLWork([this, slot] { Chain.SlotButtonClick(slot); });
}

void TForm_spc::PluginMenuClick(int tag) {
    RunGLWork([this, tag] { Chain.PluginMenuClick(tag); });
}

void TForm_spc::RefreshSlots(int slot, bool rebuild) {
    Chain.RefreshSlots(slot, rebuild);
}

void TForm_spc::BuildPluginMenu(bool grouping) {
    ShowPluginMenu(Chain.BuildPluginMenu(grouping));
}

void TForm_spc::ShowPluginMenu(const std::vector<TPluginMenuItem>& items) {
    // Submenus are children of the menu, which clear() does not remove.
    for (QMenu* sub : PopupMenu1->findChildren<QMenu*>(QString(), Qt::FindDirectChildrenOnly))
        delete sub;
    PopupMenu1->clear();
    AddMenuItems(PopupMenu1, items);
}

void TForm_spc::AddMenuItems(QMenu* menu, const std::vector<TPluginMenuItem>& items) {
    for (const TPluginMenuItem& item : items) {
        if (item.IsSeparator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (!item.Items.empty()) {
            auto* sub = new QMenu(MenuCaption(item.Caption), PopupMenu1);
            sub->setFont(WindowFont());
            sub->setObjectName(QString::fromStdString(item.Name));
            AddMenuItems(sub, item.Items);
            action = menu->addMenu(sub);
        } else {
            action = menu->addAction(MenuCaption(item.Caption));
        }
        action->setObjectName(QString::fromStdString(item.Name));
        action->setData(item.Tag);
        const int tag = item.Tag;
        connect(action, &QAction::triggered, this, [this, tag] { PluginMenuClick(tag); });
    }
}

void TForm_spc::PopupAt(const QPoint& globalPos) {
    PopupMenu1->popup(globalPos);
}

std::string TForm_spc::SlotLabelCaption(const std::string& hint) const {
    const QFontMetrics metrics(WindowFont());
    return SlotLabelText(hint, [&metrics](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    });
}

void TForm_spc::DrawSlotLabel(int slot, TColorRef colour) {
    if (slot < 1 || slot > kSlotCount) return;
    TSlotImage* image = Image[size_t(slot - 1)];
    const QFont font = WindowFont();
    QPainter painter(&image->Picture);
    painter.setFont(font);
    painter.setPen(ToQColor(colour));
    // The text's cell starts at the point given, as the label's text output places it.
    const QFontMetrics metrics(font);
    const std::string& hint = Chain.Label(slot).Hint;
    painter.drawText(QPoint(kLabelTextLeft, kLabelTextTop + metrics.ascent()),
                     QString::fromStdString(SlotLabelCaption(hint)));
    painter.end();
    // A shortened name can still be read in full.
    image->setToolTip(NameToolTip(hint));
    image->update();
}

void TForm_spc::PaintLabels() {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        Image[size_t(slot - 1)]->Picture.fill(ToQColor(Chain.LabelBackground(slot)));
        DrawSlotLabel(slot, Chain.LabelTextColour(slot));
    }
}
