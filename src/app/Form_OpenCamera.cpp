#include "app/Form_OpenCamera.h"

#include "ui/WindowFonts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QSpinBox>

namespace {

constexpr int kMaxEdge = 8192;
constexpr int kMaxRate = 240;

QSpinBox* DefaultableSpin(QWidget* parent, int maximum) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(0, maximum);
    spin->setSpecialValueText(QStringLiteral("default"));
    return spin;
}

} // namespace

TForm_OpenCamera::TForm_OpenCamera(std::vector<TCameraDevice> cameras, QWidget* parent)
    : QDialog(parent), FCameras(std::move(cameras)) {
    setObjectName(QStringLiteral("Form_OpenCamera"));
    setWindowTitle(QStringLiteral("Open Camera"));
    setFont(WindowFont());
    auto* form = new QFormLayout(this);
    CB_Device = new QComboBox(this);
    for (const TCameraDevice& camera : FCameras)
        CB_Device->addItem(QString::fromStdString(camera.Name + " (" + camera.Path + ")"));
    form->addRow(QStringLiteral("Camera:"), CB_Device);
    SE_Width = DefaultableSpin(this, kMaxEdge);
    SE_Height = DefaultableSpin(this, kMaxEdge);
    SE_Rate = DefaultableSpin(this, kMaxRate);
    form->addRow(QStringLiteral("Width:"), SE_Width);
    form->addRow(QStringLiteral("Height:"), SE_Height);
    form->addRow(QStringLiteral("Frames per second:"), SE_Rate);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

TVideoSource TForm_OpenCamera::Source() const {
    TVideoSource source;
    source.Kind = TSourceKind::Camera;
    const int index = CB_Device->currentIndex();
    if (index >= 0 && static_cast<size_t>(index) < FCameras.size()) source.Address = FCameras[index].Path;
    // A size is asked for whole or not at all: the device cannot take half of one.
    if (SE_Width->value() > 0 && SE_Height->value() > 0) {
        source.Width = SE_Width->value();
        source.Height = SE_Height->value();
    }
    source.Rate = SE_Rate->value();
    return source;
}
