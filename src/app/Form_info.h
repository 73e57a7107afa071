// Form_info.h: the about window: the version, the maker's notice and two web links over a picture.
// GUI thread only. Created once with the main window as owner and shown modally with exec().
#pragma once

#include <QDialog>
#include <QLabel>

class QFrame;
class QPushButton;

// A label that behaves as a web link: underlined, hand cursor, clicked when the left button is released
// over it (a press that is dragged off the label and released elsewhere does nothing, as with buttons).
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLinkLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TForm_info : public QDialog {
    Q_OBJECT
public:
    explicit TForm_info(QWidget* owner = nullptr);

    void FormShow();
    void Button1Click();
    void Label5Click(); // the maker's home page
    void Label6Click(); // the partner's page

    // Children owned by the window (Qt parent); each one's objectName is its name here.
    QLabel* Image1 = nullptr; // the background picture "about.png" from the program folder
    QLabel* Label2 = nullptr; // the maker's notice
    QLabel* Label3 = nullptr; // the version
    QLabel* Label4 = nullptr;
    TLinkLabel* Label5 = nullptr; // the maker's web domain
    TLinkLabel* Label6 = nullptr; // the partner's web domain
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QPushButton* Button1 = nullptr;

    void setVisible(bool visible) override;

protected:
    void showEvent(QShowEvent* event) override;
};

inline constexpr const char* kAboutVersionText = "Version 1.0.0.36";
inline constexpr const char* kAboutPictureName = "about.png";
