// Form_Animate.h: the "Animate..." box of a parameter bar: shape, rate in Hz or in beats, depth and centre
// of the component's modulator, or Remove to stop it. GUI thread.
#pragma once

#include "control/Modulator.h"

#include <QDialog>

class QComboBox;
class QDoubleSpinBox;

inline constexpr const char* kAnimateTitle = "Animate";

class TForm_Animate : public QDialog {
public:
    TForm_Animate(const TModulator& modulator, QWidget* parent = nullptr);
    TModulator Modulator() const; // as the fields say
    bool RemoveChosen = false;

    QComboBox* CB_Shape = nullptr;
    QDoubleSpinBox* ED_Rate = nullptr;
    QComboBox* CB_Unit = nullptr;
    QDoubleSpinBox* ED_Depth = nullptr;
    QDoubleSpinBox* ED_Centre = nullptr;
};

// Shows the box modally; false when cancelled. remove: the user chose to stop the modulator.
bool RunFormAnimate(QWidget* parent, TModulator& modulator, bool& remove);
