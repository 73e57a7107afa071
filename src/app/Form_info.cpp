#include "Form_info.h"

#include "OpenURL.h"
#include "platform/DataFolders.h"
#include "platform/Files.h"
#include "ui/CentreOnOwner.h"
#include "ui/WindowFonts.h"

#include <QFont>
#include <QFrame>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QString>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int kClientWidth = 341;
constexpr int kClientHeight = 280;
constexpr int kPictureHeight = 281; // one row more than the window: the picture never leaves a gap below
constexpr int kTextLeft = 16;
constexpr int kLinkGap = 6; // between the longer caption and the link column

const char* const kNotice = "Copyright \u00a9 Quorvale. All rights reserved.";
const char* const kMoreInformation = "More information and updates you will find on our websites: ";
const char* const kDistribution = "Distribution und Updates:";
const char* const kPoweredBy = "powered by";

// What the link label shows: the site's domain; an address without one is shown as it stands.
QString DomainText(const std::string& address) {
    const QString text = QString::fromStdString(address);
    const QString host = QUrl::fromUserInput(text).host();
    return host.isEmpty() ? text : host;
}

QLabel* MakeLabel(QLabel* label, const char* name, const QString& text, int left, int top) {
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(DialogFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    label->setAutoFillBackground(false); // the picture shows through
    label->setText(text);
    label->adjustSize();
    label->move(left, top);
    return label;
}

QFrame* MakeBevel(QWidget* parent, const char* name, int top) {
    auto* bevel = new QFrame(parent);
    bevel->setObjectName(QString::fromLatin1(name));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry((kClientWidth - 325) / 2, top, 325, 2);
    return bevel;
}

QPixmap AboutPicture() {
    const std::optional<std::string> file =
        FindDataFile(FindDataFolders(ProgramFolder()).Roots, kAboutPictureName);
    QPixmap picture(QString::fromStdString(file.value_or(ProgramFolder() + kAboutPictureName)));
    if (picture.isNull()) {
        // A missing picture must not leave white labels on a light window where nobody can read them.
        picture = QPixmap(kClientWidth, kPictureHeight);
        picture.fill(QColor(0x16, 0x1b, 0x40));
    }
    return picture;
}

} // namespace

TLinkLabel::TLinkLabel(QWidget* parent) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
}

TForm_info::TForm_info(QWidget* owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("Form_info"));
    setWindowTitle(QStringLiteral(" About"));
    setFont(WindowFont());
    setFixedSize(kClientWidth, kClientHeight);

    // Created first, so every other control lies above it.
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, kClientWidth, kPictureHeight);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(AboutPicture());

    Label3 = MakeLabel(new QLabel(this), "Label3", QString(), 106, 80);
    Label2 = MakeLabel(new QLabel(this), "Label2", QString::fromUtf8(kNotice), 106, 98);
    Bevel2 = MakeBevel(this, "Bevel2", 126);
    Label4 = MakeLabel(new QLabel(this), "Label4", QString::fromLatin1(kMoreInformation), kTextLeft, 140);
    Label7 = MakeLabel(new QLabel(this), "Label7", QString::fromLatin1(kDistribution), kTextLeft, 168);
    Label8 = MakeLabel(new QLabel(this), "Label8", QString::fromLatin1(kPoweredBy), kTextLeft, 190);

    // The links line up in one column after the longer of their captions, whatever width the face gives.
    const int linkLeft = std::max(Label7->geometry().right(), Label8->geometry().right()) + 1 + kLinkGap;
    Label5 = new TLinkLabel(this);
    Label6 = new TLinkLabel(this);
    MakeLabel(Label5, "Label5", DomainText(HomepageURL()), linkLeft, Label7->y());
    MakeLabel(Label6, "Label6", DomainText(PartnerURL()), linkLeft, Label8->y());
    for (QLabel* link : {static_cast<QLabel*>(Label5), static_cast<QLabel*>(Label6)}) {
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        link->adjustSize();
    }

    Bevel3 = MakeBevel(this, "Bevel3", 226);

    Button1 = new QPushButton(QStringLiteral("Ok"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(258, 243, 75, 25);
    Button1->setDefault(true);

    connect(Label5, &TLinkLabel::clicked, this, &TForm_info::Label5Click);
    connect(Label6, &TLinkLabel::clicked, this, &TForm_info::Label6Click);
    connect(Button1, &QPushButton::clicked, this, &TForm_info::Button1Click);
}

void TForm_info::setVisible(bool visible) {
    if (visible && !isVisible()) CentreOnOwner(*this);
    QDialog::setVisible(visible);
}

void TForm_info::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TForm_info::FormShow() {
    Label3->setText(QString::fromLatin1(kAboutVersionText));
    Label3->adjustSize();
}

void TForm_info::Button1Click() {
    accept();
}

void TForm_info::Label5Click() {
    OpenURL(HomepageURL());
}

void TForm_info::Label6Click() {
    OpenURL(PartnerURL());
}
