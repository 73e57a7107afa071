// The about window as a user meets it: texts, faces, colours, layout, the links and closing. Runs on the
// app tests' display, or on Qt's offscreen platform without one.
#include "app/Form_info.h"
#include "app/OpenURL.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QFontInfo>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const QString kVersion = QStringLiteral("Version 1.0.0.36");

class Form_infoTest : public ::testing::Test {
protected:
    void SetUp() override {
        Previous = SetURLLauncher([this](const std::string& address) {
            Opened.push_back(address);
            return true;
        });
        Form = std::make_unique<TForm_info>();
    }
    void TearDown() override {
        Form.reset();
        SetURLLauncher(Previous);
    }

    std::unique_ptr<TForm_info> Form;
    std::vector<std::string> Opened;
    TURLLauncher Previous;
};

TEST_F(Form_infoTest, FixedToolWindowInTheWindowFace) {
    EXPECT_EQ(Form->windowTitle(), QStringLiteral(" About"));
    EXPECT_EQ(Form->minimumSize(), QSize(341, 280));
    EXPECT_EQ(Form->maximumSize(), QSize(341, 280));
    EXPECT_EQ(Form->windowFlags() &
                  (Qt::WindowType_Mask | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
              Qt::Tool | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    EXPECT_EQ(Form->Button1->font().family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(Form->Button1->font().pixelSize(), 11);
}

TEST_F(Form_infoTest, VersionIsSetAgainOnEveryShow) {
    Form->Label3->setText(QStringLiteral("stale"));
    Form->show();
    EXPECT_EQ(Form->Label3->text(), kVersion);
    EXPECT_GE(Form->Label3->width(), Form->Label3->sizeHint().width()) << "the version is not clipped";
}

TEST_F(Form_infoTest, LabelsWhiteTransparentSmallSansLinksUnderlinedWithHand) {
    EXPECT_EQ(Form->Label4->text(),
              QStringLiteral("More information and updates you will find on our websites: "));
    EXPECT_EQ(Form->Label7->text(), QStringLiteral("Distribution und Updates:"));
    EXPECT_EQ(Form->Label8->text(), QStringLiteral("powered by"));
    EXPECT_TRUE(Form->Label2->text().contains(QStringLiteral("Quorvale")));
    // The links show the sites' domains, found in the addresses they open.
    EXPECT_TRUE(QString::fromStdString(HomepageURL()).contains(Form->Label5->text()));
    EXPECT_TRUE(QString::fromStdString(PartnerURL()).contains(Form->Label6->text()));
    EXPECT_FALSE(Form->Label5->text().isEmpty() || Form->Label5->text().contains(QStringLiteral("://")));

    for (const char* name : {"Label2", "Label3", "Label4", "Label5", "Label6", "Label7", "Label8"}) {
        SCOPED_TRACE(name);
        auto* label = Form->findChild<QLabel*>(QString::fromLatin1(name));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::white));
        EXPECT_FALSE(label->autoFillBackground());
        EXPECT_EQ(label->font().family(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(label->font().pixelSize(), 11);
        const bool link = label == Form->Label5 || label == Form->Label6;
        EXPECT_EQ(label->font().underline(), link);
        EXPECT_EQ(label->cursor().shape(), link ? Qt::PointingHandCursor : Qt::ArrowCursor);
    }
}

TEST_F(Form_infoTest, FacesResolveToTheMetricTwinsWhenInstalled) {
    if (!QFileInfo::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
        GTEST_SKIP() << "fonts-wine is not installed";
    EXPECT_EQ(QFontInfo(Form->font()).family(), QStringLiteral("Tahoma"));
    EXPECT_EQ(QFontInfo(Form->Label4->font()).family(), QStringLiteral("MS Sans Serif"));
}

TEST_F(Form_infoTest, PictureSeparatorsAndTextsStayInTheirPlaces) {
    EXPECT_EQ(Form->Image1->geometry(), QRect(0, 0, 341, 281));
    EXPECT_FALSE(Form->Image1->pixmap().isNull());
    EXPECT_EQ(QImage(QStringLiteral(LUMATEX_SOURCE_DIR "/data/about.png")).size(), QSize(341, 281));
    EXPECT_EQ(Form->Bevel2->geometry(), QRect(8, 126, 325, 2));
    EXPECT_EQ(Form->Bevel3->geometry(), QRect(8, 226, 325, 2));

    // Each link on its caption's row, both in one column right of both captions.
    EXPECT_EQ(Form->Label5->y(), Form->Label7->y());
    EXPECT_EQ(Form->Label6->y(), Form->Label8->y());
    EXPECT_EQ(Form->Label5->x(), Form->Label6->x());
    EXPECT_GT(Form->Label5->x(),
              std::max(Form->Label7->geometry().right(), Form->Label8->geometry().right()));

    // With the faces' real widths nothing runs off the window or into the separators and the button.
    Form->show();
    const QRect client(0, 0, 341, 280);
    for (QLabel* label : Form->findChildren<QLabel*>()) {
        if (label == Form->Image1) continue;
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_TRUE(client.contains(label->geometry()));
        for (QWidget* other : {static_cast<QWidget*>(Form->Bevel2), static_cast<QWidget*>(Form->Bevel3),
                               static_cast<QWidget*>(Form->Button1)})
            EXPECT_FALSE(label->geometry().intersects(other->geometry()))
                << other->objectName().toStdString();
    }
}

TEST_F(Form_infoTest, OnlyALeftClickOnALinkOpensItsPage) {
    Form->show();
    QTest::mouseClick(Form->Label5, Qt::RightButton);
    // Pressed on the link, released after dragging off it: the user changed their mind.
    QTest::mousePress(Form->Label5, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(Form->Label5, Qt::LeftButton, {}, QPoint(-20, Form->Label5->height() + 20));
    EXPECT_TRUE(Opened.empty());

    QTest::mouseClick(Form->Label5, Qt::LeftButton);
    QTest::mouseClick(Form->Label6, Qt::LeftButton);
    EXPECT_EQ(Opened, (std::vector<std::string>{HomepageURL(), PartnerURL()}));
    EXPECT_TRUE(Form->isVisible()) << "following a link leaves the window open";
}

TEST_F(Form_infoTest, OkAndEscapeEndTheModalWindow) {
    QTimer::singleShot(0, Form.get(), [this] { QTest::mouseClick(Form->Button1, Qt::LeftButton); });
    EXPECT_EQ(Form->exec(), QDialog::Accepted);
    QTimer::singleShot(0, Form.get(), [this] { QTest::keyClick(Form.get(), Qt::Key_Escape); });
    EXPECT_EQ(Form->exec(), QDialog::Rejected);
    EXPECT_FALSE(Form->isVisible());
}

TEST_F(Form_infoTest, CentredOnItsOwnerYetOnTheScreen) {
    QWidget owner;
    owner.setGeometry(100, 80, 500, 400); // well inside even an 800 x 600 screen
    owner.show();
    TForm_info form(&owner);
    form.show();
    EXPECT_EQ(form.geometry().center(), owner.geometry().center());

    // An owner hanging off the screen's corner: the window stays where the user can reach Ok.
    form.hide();
    owner.move(-450, -350);
    form.show();
    EXPECT_TRUE(form.screen()->availableGeometry().contains(form.frameGeometry()))
        << form.x() << "," << form.y();
}

TEST(OpenURL, HandsOverTheAddressUnchangedAndStaysSilentOnFailure) {
    std::vector<std::string> opened;
    TURLLauncher previous = SetURLLauncher([&](const std::string& address) {
        opened.push_back(address);
        return false; // no browser: nothing more happens
    });
    OpenURL("");
    OpenURL("  \t");
    OpenURL("https://www.example.org/a b?x=\"1\"&y=2");
    EXPECT_EQ(opened, (std::vector<std::string>{"https://www.example.org/a b?x=\"1\"&y=2"}));

    SetURLLauncher([](const std::string&) -> bool { throw std::runtime_error("no browser"); });
    EXPECT_NO_THROW(OpenURL("https://www.example.org/"));
    SetURLLauncher(previous);
}

} // namespace
