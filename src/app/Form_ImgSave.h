// Form_ImgSave.h: TForm_ImgSave, the export options window of "Save OpenGL image...": output size, aspect
// handling and JPEG quality, all kept in the main window's settings, and "Save", which asks for a file
// name and exports the current frame through the chain. Created once at program start, shown without
// being modal. GUI thread only.
#pragma once

#include "ui/FileDialogs.h"

#include <QDialog>

class QCheckBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TForm_Master;
struct TSettings;

inline constexpr const char* kImgSaveCaption = " Image Save Settings ";

class TForm_ImgSave : public QDialog {
    Q_OBJECT
public:
    TForm_ImgSave(TForm_Master& master, QWidget* owner = nullptr);

    // Handlers, connected to their controls.
    void FormShow();
    // True when the key is swallowed: anything but digits, backspace and the keys without a character;
    // Enter too. Shortcuts with Ctrl or Alt keep their meaning.
    bool ED_WidthKeyPress(const QKeyEvent& key);
    bool ED_HeightKeyPress(const QKeyEvent& key);
    void TrackBar_QUALChange();
    void CB_ViewportClick();
    void CB_AspectClick();
    void SetGroup();
    void BT_CancelClick();
    void BT_OKClick();

    // Shown or brought to the front, for the main window's "Save OpenGL image...".
    void ShowExport();

    // Runs the prepared save dialog; tests replace it so that nothing waits for a click.
    TRunFileDialog RunSaveDialog = ExecFileDialog;

    // Children owned by the window (Qt parent); each one's objectName is its name here.
    QGroupBox* GroupBox3 = nullptr;
    QLineEdit* ED_Width = nullptr;
    QLineEdit* ED_Height = nullptr;
    QLabel* Label14 = nullptr;
    QLabel* Label15 = nullptr;
    QLabel* Label11 = nullptr;
    QCheckBox* CB_Aspect = nullptr;
    QCheckBox* CB_Viewport = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QSlider* TrackBar_QUAL = nullptr;
    QFrame* TrackBar_QUALSelection = nullptr; // the band over the bar marking 30..80
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* L_Qual = nullptr;
    QPushButton* BT_OK = nullptr;
    QPushButton* BT_Cancel = nullptr;

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateSizeGroup();
    void CreateQualityGroup();
    QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, int left, int top);
    // The x of value's tick on the quality bar, in the bar's parent.
    int QualityX(int value) const;

    TForm_Master& Master;
    TSettings& Settings;
};

// Binds the main window's "Save OpenGL image..." to form.
void AttachImgSaveWindow(TForm_Master& master, TForm_ImgSave& form);
