#include "app/Form_Animate.h"

#include "ui/WindowFonts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>

namespace {

constexpr TWaveShape kShapes[] = {TWaveShape::Sine, TWaveShape::Triangle, TWaveShape::Saw, TWaveShape::Square,
                                  TWaveShape::RandomStep};

QDoubleSpinBox* Number(QWidget* parent, const char* name, double low, double high, double value) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setDecimals(3);
    box->setRange(low, high);
    box->setSingleStep(0.01);
    box->setValue(value);
    return box;
}

} // namespace

TForm_Animate::TForm_Animate(const TModulator& modulator, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form_Animate"));
    setWindowTitle(QString::fromLatin1(kAnimateTitle));
    setFont(WindowFont());
    auto* form = new QFormLayout(this);
    CB_Shape = new QComboBox(this);
    CB_Shape->setObjectName(QStringLiteral("CB_Shape"));
    for (const TWaveShape shape : kShapes) {
        CB_Shape->addItem(QString::fromLatin1(WaveShapeName(shape)), int(shape));
        if (shape == modulator.Shape) CB_Shape->setCurrentIndex(CB_Shape->count() - 1);
    }
    form->addRow(QStringLiteral("Shape"), CB_Shape);
    ED_Rate = Number(this, "ED_Rate", 0.001, kMaxRatePerBeat, modulator.Rate);
    CB_Unit = new QComboBox(this);
    CB_Unit->setObjectName(QStringLiteral("CB_Unit"));
    CB_Unit->addItems({QStringLiteral("Hz"), QStringLiteral("per beat")});
    CB_Unit->setCurrentIndex(modulator.InBeats ? 1 : 0);
    form->addRow(QStringLiteral("Rate"), ED_Rate);
    form->addRow(QString(), CB_Unit);
    ED_Depth = Number(this, "ED_Depth", -1.0, 1.0, modulator.Depth);
    ED_Centre = Number(this, "ED_Centre", -1.0, 2.0, modulator.Centre);
    form->addRow(QStringLiteral("Depth"), ED_Depth);
    form->addRow(QStringLiteral("Centre"), ED_Centre);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* remove = buttons->addButton(QStringLiteral("Remove"), QDialogButtonBox::DestructiveRole);
    remove->setObjectName(QStringLiteral("BT_Remove"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(remove, &QPushButton::clicked, this, [this] {
        RemoveChosen = true;
        accept();
    });
    form->addRow(buttons);
}

TModulator TForm_Animate::Modulator() const {
    TModulator modulator;
    modulator.Shape = TWaveShape(CB_Shape->currentData().toInt());
    modulator.InBeats = CB_Unit->currentIndex() == 1;
    modulator.Rate = ED_Rate->value();
    modulator.Depth = ED_Depth->value();
    modulator.Centre = ED_Centre->value();
    return modulator;
}

bool RunFormAnimate(QWidget* parent, TModulator& modulator, bool& remove) {
    TForm_Animate box(modulator, parent);
    if (box.exec() != QDialog::Accepted) return false;
    remove = box.RemoveChosen;
    modulator = box.Modulator();
    return true;
}
