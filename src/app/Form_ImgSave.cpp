#include "app/Form_ImgSave.h"

#include "app/Form_Master.h"
#include "app/GLImageExport.h"
#include "gl/GLCheck.h"
#include "platform/Bitmap.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "ui/CentreOnOwner.h"
#include "ui/WindowFonts.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

constexpr int kClientWidth = 413;
constexpr int kClientHeight = 289;
constexpr int kSizeDigits = 4;
constexpr int kQualityMin = 10;
constexpr int kQualityMax = 100;
constexpr int kQualityTick = 10;
constexpr int kQualityStart = 80;
constexpr int kSelectionStart = 30;
constexpr int kSelectionEnd = 80;

// The bar inside its group, and the band that marks the selection just above its groove.
const QRect kTrackBarRect(10, 36, 377, 30);
constexpr int kSelectionHeight = 3;

} // namespace

TForm_ImgSave::TForm_ImgSave(TForm_Master& master, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Master(master), Settings(master.Settings) {
    setObjectName(QStringLiteral("Form_ImgSave"));
    setWindowTitle(QString::fromLatin1(kImgSaveCaption));
    setFont(WindowFont());
    setFixedSize(kClientWidth, kClientHeight);
    setModal(false);

    CreateSizeGroup();
    CreateQualityGroup();

    BT_OK = new QPushButton(QStringLiteral("Save"), this);
    BT_OK->setObjectName(QStringLiteral("BT_OK"));
    BT_OK->setGeometry(240, 254, 75, 25);
    BT_OK->setDefault(true);
    BT_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    BT_Cancel->setObjectName(QStringLiteral("BT_Cancel"));
    BT_Cancel->setGeometry(328, 254, 75, 25);

    connect(CB_Viewport, &QCheckBox::toggled, this, &TForm_ImgSave::CB_ViewportClick);
    connect(CB_Aspect, &QCheckBox::toggled, this, &TForm_ImgSave::CB_AspectClick);
    connect(TrackBar_QUAL, &QSlider::valueChanged, this, &TForm_ImgSave::TrackBar_QUALChange);
    connect(BT_OK, &QPushButton::clicked, this, &TForm_ImgSave::BT_OKClick);
    connect(BT_Cancel, &QPushButton::clicked, this, &TForm_ImgSave::BT_CancelClick);
}

QLabel* TForm_ImgSave::MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(QString::fromLatin1(name));
    label->adjustSize();
    label->move(left, top);
    return label;
}

void TForm_ImgSave::CreateSizeGroup() {
    GroupBox3 = new QGroupBox(QStringLiteral(" Sizes  "), this);
    GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
    GroupBox3->setGeometry(8, 8, 397, 97);

    Label14 = MakeLabel(GroupBox3, "Label14", "Width (max)", 16, 24);
    Label15 = MakeLabel(GroupBox3, "Label15", "Height (max)", 104, 24);
    Label11 = MakeLabel(GroupBox3, "Label11", "x", 88, 44);
    // Typed keys are filtered one by one; the validator also keeps pasted text to digits.
    const auto* digits = new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(kSizeDigits)), this);
    for (QLineEdit** edit : {&ED_Width, &ED_Height}) {
        *edit = new QLineEdit(QStringLiteral("512"), GroupBox3);
        (*edit)->setMaxLength(kSizeDigits);
        (*edit)->setValidator(digits);
        (*edit)->installEventFilter(this);
    }
    ED_Width->setObjectName(QStringLiteral("ED_Width"));
    ED_Width->setGeometry(16, 40, 65, 21);
    ED_Height->setObjectName(QStringLiteral("ED_Height"));
    ED_Height->setGeometry(104, 40, 65, 21);

    CB_Viewport = new QCheckBox(QStringLiteral("Current Videosize"), GroupBox3);
    CB_Viewport->setObjectName(QStringLiteral("CB_Viewport"));
    CB_Viewport->setGeometry(208, 28, 177, 17);
    CB_Viewport->setChecked(true);
    CB_Aspect = new QCheckBox(QStringLiteral("Force Aspect Ratio"), GroupBox3);
    CB_Aspect->setObjectName(QStringLiteral("CB_Aspect"));
    CB_Aspect->setGeometry(208, 56, 177, 17);
    CB_Aspect->setChecked(true);
}

void TForm_ImgSave::CreateQualityGroup() {
    GroupBox1 = new QGroupBox(QStringLiteral(" JPEG Configuration"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(8, 112, 397, 133);

    TrackBar_QUAL = new QSlider(Qt::Horizontal, GroupBox1);
    TrackBar_QUAL->setObjectName(QStringLiteral("TrackBar_QUAL"));
    TrackBar_QUAL->setRange(kQualityMin, kQualityMax);
    TrackBar_QUAL->setTickInterval(kQualityTick);
    TrackBar_QUAL->setTickPosition(QSlider::TicksBelow);
    TrackBar_QUAL->setPageStep(kQualityTick);
    TrackBar_QUAL->setValue(kQualityStart);
    TrackBar_QUAL->setGeometry(kTrackBarRect);

    // The recommended range has no counterpart in QSlider: a band just above the groove spans it, placed from
    // the style's own geometry so that its ends sit on the ticks of 30 and 80.
    TrackBar_QUALSelection = new QFrame(GroupBox1);
    TrackBar_QUALSelection->setObjectName(QStringLiteral("TrackBar_QUALSelection"));
    TrackBar_QUALSelection->setAutoFillBackground(true);
    QPalette palette = TrackBar_QUALSelection->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Highlight));
    TrackBar_QUALSelection->setPalette(palette);
    const int left = QualityX(kSelectionStart);
    TrackBar_QUALSelection->setGeometry(left, kTrackBarRect.top() - kSelectionHeight - 1,
                                        QualityX(kSelectionEnd) - left + 1, kSelectionHeight);
    TrackBar_QUALSelection->setToolTip(
        QStringLiteral("Recommended: %1 to %2").arg(kSelectionStart).arg(kSelectionEnd));

    const int above = 17;
    Label2 = MakeLabel(GroupBox1, "Label2", "low", 0, above);
    Label3 = MakeLabel(GroupBox1, "Label3", "medium", 0, above);
    Label4 = MakeLabel(GroupBox1, "Label4", "high", 0, above);
    Label2->move(kTrackBarRect.left() + 4, above);
    Label3->move(QualityX(55) - Label3->width() / 2, above);
    Label4->move(kTrackBarRect.right() - 4 - Label4->width(), above);

    const int below = kTrackBarRect.bottom() + 2;
    const struct {
        QLabel** Label;
        const char* Name;
        const char* Text;
        int Value;
    } marks[] = {{&Label5, "Label5", "20", 20},
                 {&Label7, "Label7", "40", 40},
                 {&Label6, "Label6", "60", 60},
                 {&Label8, "Label8", "80", 80},
                 {&Label9, "Label9", "100", 100}};
    for (const auto& mark : marks) {
        *mark.Label = MakeLabel(GroupBox1, mark.Name, mark.Text, 0, below);
        (*mark.Label)->move(QualityX(mark.Value) - (*mark.Label)->width() / 2, below);
    }

    Label1 = MakeLabel(GroupBox1, "Label1", " quality:", 16, 104);
    L_Qual = MakeLabel(GroupBox1, "L_Qual", "80", Label1->geometry().right() + 5, 104);
}

int TForm_ImgSave::QualityX(int value) const {
    QStyleOptionSlider option;
    option.initFrom(TrackBar_QUAL);
    option.rect = QRect(QPoint(0, 0), kTrackBarRect.size());
    option.orientation = Qt::Horizontal;
    option.minimum = TrackBar_QUAL->minimum();
    option.maximum = TrackBar_QUAL->maximum();
    option.tickPosition = TrackBar_QUAL->tickPosition();
    option.tickInterval = TrackBar_QUAL->tickInterval();
    option.sliderPosition = TrackBar_QUAL->value();
    option.sliderValue = TrackBar_QUAL->value();
    QStyle* style = TrackBar_QUAL->style();
    const QRect groove =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, TrackBar_QUAL);
    const QRect handle =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, TrackBar_QUAL);
    const int span = groove.width() - handle.width();
    return kTrackBarRect.left() + groove.left() + handle.width() / 2 +
           QStyle::sliderPositionFromValue(option.minimum, option.maximum, value, span);
}

void TForm_ImgSave::setVisible(bool visible) {
    if (visible && !isVisible()) CentreOnOwner(*this);
    QDialog::setVisible(visible);
}

void TForm_ImgSave::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TForm_ImgSave::ShowExport() {
    show();
    raise();
    activateWindow();
}

void TForm_ImgSave::FormShow() {
    ED_Width->setText(QString::number(Settings.Save_Size_X));
    ED_Height->setText(QString::number(Settings.Save_Size_Y));
    // A box whose state changes runs its handler through toggled; one that keeps it needs nothing.
    CB_Viewport->setChecked(Settings.Save_ViewPort);
    CB_Aspect->setChecked(Settings.Save_ForceAspect);
    // The bar clamps to its range; run the handler even when the position stays, so that a stored value
    // outside the range (0 is allowed in the settings) becomes the bar's.
    {
        const QSignalBlocker quiet(TrackBar_QUAL);
        TrackBar_QUAL->setValue(Settings.JpegQuality);
    }
    TrackBar_QUALChange();
    SetGroup();
}

bool TForm_ImgSave::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || (watched != ED_Width && watched != ED_Height))
        return QDialog::eventFilter(watched, event);
    const auto& key = *static_cast<const QKeyEvent*>(event);
    return watched == ED_Width ? ED_WidthKeyPress(key) : ED_HeightKeyPress(key);
}

namespace {
bool SizeKeySwallowed(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) return true;
    // Copy, paste, select all and undo keep working; the validator keeps pasted text to digits.
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return false;
    if (key.key() == Qt::Key_Backspace) return false;
    const QString text = key.text();
    // Keys without a printable character (the arrows, Delete, Tab, Home) move and edit as usual.
    if (text.size() != 1 || !text.at(0).isPrint()) return false;
    const QChar c = text.at(0);
    return !(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}
} // namespace

bool TForm_ImgSave::ED_WidthKeyPress(const QKeyEvent& key) {
    return SizeKeySwallowed(key);
}

bool TForm_ImgSave::ED_HeightKeyPress(const QKeyEvent& key) {
    return SizeKeySwallowed(key);
}

void TForm_ImgSave::TrackBar_QUALChange() {
    L_Qual->setText(QString::number(TrackBar_QUAL->value()));
    L_Qual->adjustSize();
    Settings.JpegQuality = TrackBar_QUAL->value();
}

void TForm_ImgSave::CB_ViewportClick() {
    Settings.Save_ViewPort = CB_Viewport->isChecked();
    SetGroup();
}

void TForm_ImgSave::CB_AspectClick() {
    Settings.Save_ForceAspect = CB_Aspect->isChecked();
}

void TForm_ImgSave::SetGroup() {
    const bool own = !CB_Viewport->isChecked();
    for (QWidget* control : {static_cast<QWidget*>(Label14), static_cast<QWidget*>(Label15),
                             static_cast<QWidget*>(Label11), static_cast<QWidget*>(ED_Width),
                             static_cast<QWidget*>(ED_Height), static_cast<QWidget*>(CB_Aspect)})
        control->setEnabled(own);
    if (own) return;
    CB_Aspect->setChecked(true);
    // CB_AspectClick runs only on a change; the setting must follow the box in any case.
    Settings.Save_ForceAspect = true;
    const QSize frame = Master.Playback.HandOff.WithFrameBitmap(
        [](const TBitmap& bitmap) { return QSize(bitmap.Width(), bitmap.Height()); });
    ED_Width->setText(QString::number(frame.width()));
    ED_Height->setText(QString::number(frame.height()));
}

void TForm_ImgSave::BT_CancelClick() {
    close();
}

void TForm_ImgSave::BT_OKClick() {
    const std::optional<int> width = ParseSizeText(ED_Width->text().toStdString());
    const std::optional<int> height = ParseSizeText(ED_Height->text().toStdString());
    if (!width || !height) {
        ShowMessage(kVideoSizeNotSupported, kMessageCaption, TMessageIcon::Error);
        return;
    }
    Settings.Save_Size_X = *width;
    Settings.Save_Size_Y = *height;
    // The limits are checked before the name is asked for: nobody should choose a file for a size that
    // cannot be rendered. The driver's limit is that of the OpenGL view's context.
    if (const std::string problem = ExportSizeProblem(*width, *height, NpotSupported, ExportMaxEdge(Master));
        !problem.empty()) {
        ShowMessage(problem, kMessageCaption, TMessageIcon::Error);
        return;
    }

    QFileDialog dialog(this);
    PrepareGLImageDialog(dialog, QString::fromStdString(Settings.LastPath));
    const QString chosen = RunSaveDialog(dialog);
    if (!chosen.isEmpty()) {
        hide();
        QCoreApplication::processEvents();
        ExportGLImage(Master, TGLImageRequest{chosen.toStdString(), TPixelSize{*width, *height},
                                              Settings.Save_ForceAspect, Settings.JpegQuality});
    }
    close();
}

void AttachImgSaveWindow(TForm_Master& master, TForm_ImgSave& form) {
    master.OnSaveGLImage = [&form] { form.ShowExport(); };
}
