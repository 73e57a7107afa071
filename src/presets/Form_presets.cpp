#include "presets/Form_presets.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "platform/Text.h"
#include "platform/WindowPlacement.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "ui/WindowFonts.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <exception>

namespace {

constexpr int kPanel1Height = 121;
constexpr int kPanel2Width = 113;
constexpr int kStatusBarHeight = 19;
constexpr int kEditLeft = 16;
constexpr int kEditTop = 19;
constexpr int kEditHeight = 21;
// Edit1's right edge keeps its design distance from the window's right edge.
constexpr int kEditRightGap = kPanel2Width + 6;
constexpr int kButtonLeft = 16;
constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;
constexpr int kColumnDesignWidth = 220;

// ASCII folding only, as everywhere names are compared in this program; ties keep a stable order.
bool LessNoCase(const std::string& a, const std::string& b) {
    const std::string ua = AsciiUpper(a);
    const std::string ub = AsciiUpper(b);
    return ua != ub ? ua < ub : a < b;
}

QPushButton* MakeButton(const char* name, const char* caption, int top, QWidget* parent) {
    auto* button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(kButtonLeft, top, kButtonWidth, kButtonHeight);
    return button;
}

} // namespace

bool IsPresetName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

TForm_presets::TForm_presets(TChainState& chain, TSettings& settings, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      Chain(chain), Settings(settings) {
    setObjectName(QStringLiteral("Form_presets"));
    setWindowTitle(QString::fromLatin1(kPresetsCaption));
    setFont(WindowFont());
    CreateComponents();
    resize(kPresetsDesignWidth, kPresetsDesignHeight);
}

void TForm_presets::CreateComponents() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ListView1 = new QTreeWidget(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setColumnCount(1);
    ListView1->setHeaderLabels({QString::fromLatin1(kPresetColumnCaption)});
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setSortingEnabled(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setColumnWidth(0, kColumnDesignWidth);
    // Clicks anywhere in the list, on an item or below the last one, are the list's clicks.
    ListView1->viewport()->installEventFilter(this);
    layout->addWidget(ListView1, 1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(kPanel1Height);
    layout->addWidget(Panel1);

    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));

    Panel2 = new QFrame(Panel1);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameShape(QFrame::NoFrame);
    BT_load = MakeButton("BT_load", "Load Preset", 16, Panel2);
    BT_save = MakeButton("BT_save", "Save Preset", 48, Panel2);
    Button3 = MakeButton("Button3", "Delete Sel.", 80, Panel2);
    connect(BT_load, &QPushButton::clicked, this, &TForm_presets::BT_loadClick);
    connect(BT_save, &QPushButton::clicked, this, &TForm_presets::BT_saveClick);
    connect(Button3, &QPushButton::clicked, this, &TForm_presets::Button3Click);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(true);
    layout->addWidget(StatusBar1);
    LayoutPanel1();
}

void TForm_presets::LayoutPanel1() {
    // The layout sets Panel1's width before the window hears of its resize; the window's width is the same.
    const int width = QWidget::width();
    Panel2->setGeometry(width - kPanel2Width, 0, kPanel2Width, kPanel1Height);
    Edit1->setGeometry(kEditLeft, kEditTop, std::max(0, width - kEditRightGap - kEditLeft), kEditHeight);
}

TPresetFolders TForm_presets::PresetFolders() const {
    return TPresetFolders(Chain.Engine.DataFolders(), UserDataFolder);
}

std::string TForm_presets::PresetFolder() const {
    return PresetFolders().SaveFolder();
}

std::string TForm_presets::PresetPath(const std::string& name) const {
    return PresetFolders().SavePath(name);
}

int TForm_presets::SelectedIndex() const {
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    return selected.isEmpty() ? -1 : ListView1->indexOfTopLevelItem(selected.first());
}

void TForm_presets::ShowManager() {
    show();
    raise();
    activateWindow();
}

void TForm_presets::readpluginDirectory() {
    ListView1->setUpdatesEnabled(false);
    ListView1->clear();
    std::vector<std::string> names = PresetFolders().Names();
    // The folder listing comes in no useful order here; the list shows the names alphabetically, without
    // regard to case, as the platform the presets come from lists them.
    std::sort(names.begin(), names.end(), LessNoCase);
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(names.size()));
    for (const std::string& name : names)
        items.append(new QTreeWidgetItem(QStringList{QString::fromStdString(name)}));
    ListView1->addTopLevelItems(items);
    ListView1->setUpdatesEnabled(true);
    FitColumn();
}

void TForm_presets::FitColumn() {
    const int count = ListView1->topLevelItemCount();
    const int rowHeight = count > 0 ? ListView1->sizeHintForRow(0) : 0;
    const bool scrolls = count > 0 && count * rowHeight > ListView1->viewport()->height();
    const int scrollBar = scrolls ? style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListView1) : 0;
    ListView1->setColumnWidth(0, std::max(0, ListView1->width() - scrollBar - 5));
}

void TForm_presets::FormShow() {
    readpluginDirectory();
    ListView1->clearSelection();
    ListView1->setCurrentItem(nullptr);
    Edit1->clear();
    RestorePlacement();
}

void TForm_presets::RestorePlacement() {
    QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = display ? display->geometry().size() : QSize(1024, 768);
    const TWindowPlacement place = ClampToScreen(
        {Settings.presets_left, Settings.presets_top, Settings.presets_width, Settings.presets_height},
        screenSize.width(), screenSize.height());
    Settings.presets_left = place.Left;
    Settings.presets_top = place.Top;
    Settings.presets_width = place.Width;
    Settings.presets_height = place.Height;
    // The stored flag is what decides: setting the normal geometry first keeps it under the maximized one.
    const bool maximized = Settings.presets_maximized;
    setWindowState(windowState() & ~Qt::WindowMaximized);
    move(place.Left, place.Top);
    resize(place.Width, place.Height);
    if (maximized) setWindowState(windowState() | Qt::WindowMaximized);
    Settings.presets_maximized = maximized;
}

void TForm_presets::FormClose() {
    if (Settings.presets_maximized) return;
    if (y() > 0) Settings.presets_top = y();
    if (x() > 0) Settings.presets_left = x();
    Settings.presets_width = width();
    Settings.presets_height = height();
}

void TForm_presets::FormResize() {
    FitColumn();
}

void TForm_presets::ListView1Click() {
    const int index = SelectedIndex();
    if (index < 0)
        Edit1->clear();
    else
        Edit1->setText(ListView1->topLevelItem(index)->text(0));
}

void TForm_presets::ListView1DblClick() {
    const int index = SelectedIndex();
    if (index < 0) {
        Edit1->clear();
        return;
    }
    Edit1->setText(ListView1->topLevelItem(index)->text(0));
    BT_loadClick();
}

void TForm_presets::BT_loadClick() {
    const std::string name = Edit1->text().toStdString();
    if (!IsPresetName(name)) return;
    const std::optional<std::string> found = PresetFolders().Find(name);
    if (!found) return;
    const std::string path = *found;
    auto work = [this, &path] {
        try {
            ApplyPreset(Chain, path);
            if (AfterApply) AfterApply(path);
        } catch (const std::exception& e) {
            // A file too large for a preset is refused unread: the chain stays as it was.
            ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        }
        Chain.RefreshSlots(Chain.SelectedSlot, true);
    };
    if (GLWork)
        GLWork(work);
    else
        work();
}

void TForm_presets::BT_saveClick() {
    const std::string name = Edit1->text().toStdString();
    if (name.empty()) return;
    const TPresetFolders folders = PresetFolders();
    const std::string path = folders.SavePath(name);
    try {
        // A name that would lead out of the presets folder is a file that cannot be written there.
        if (!IsPresetName(name))
            throw ELumatex(FormatText("In %s kann nicht geschrieben werden", path.c_str()));
        folders.PrepareSaveFolder();
        if (WritePreset(Chain, path) && AfterWrite) AfterWrite(path);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        return;
    }
    readpluginDirectory();
    ListView1->clearSelection();
    ListView1->setCurrentItem(nullptr);
}

void TForm_presets::Button3Click() {
    int index = SelectedIndex();
    if (index < 0) return;
    // The file of the highlighted item goes, whatever the name box holds: deleting a typed name's file
    // while the selected entry disappears would remove a preset the user never chose.
    const std::string name = ListView1->topLevelItem(index)->text(0).toStdString();
    // The file listed under the name, in the folder where it wins; one it shadowed shows at the next showing.
    if (IsPresetName(name)) {
        if (const std::optional<std::string> path = PresetFolders().Find(name)) std::remove(path->c_str());
    }
    delete ListView1->takeTopLevelItem(index);
    const int count = ListView1->topLevelItemCount();
    if (count == 0) return;
    index = std::min(index, count - 1);
    QTreeWidgetItem* item = ListView1->topLevelItem(index);
    ListView1->setCurrentItem(item);
    item->setSelected(true);
    Edit1->setText(item->text(0));
    ListView1->setFocus();
}

void TForm_presets::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous()) FormShow();
}

void TForm_presets::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept(); // hidden, not destroyed: the window lives as long as the program
}

void TForm_presets::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutPanel1();
    FormResize();
}

void TForm_presets::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const Qt::WindowStates now = windowState();
    // A minimized window keeps its flag: closing it then must not store the minimized geometry.
    if (now & Qt::WindowMinimized) return;
    Settings.presets_maximized = (now & Qt::WindowMaximized) != 0;
}

bool TForm_presets::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ListView1->viewport()) return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        // Below the last item a press selects nothing, as a list of this kind does.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!ListView1->itemAt(mouse->position().toPoint())) {
            ListView1->clearSelection();
            ListView1->setCurrentItem(nullptr);
        }
        break;
    }
    case QEvent::MouseButtonRelease:
        ListView1Click();
        break;
    case QEvent::MouseButtonDblClick: {
        // The double click's own press selects, as the first one did: the item under the pointer, or none.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        QTreeWidgetItem* item = ListView1->itemAt(mouse->position().toPoint());
        ListView1->clearSelection();
        ListView1->setCurrentItem(item);
        if (item) item->setSelected(true);
        ListView1DblClick();
        return true; // no editing or expanding behind the load
    }
    default:
        break;
    }
    return false;
}
