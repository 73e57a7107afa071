// The gradient bar: its picture pixel for pixel, the value it keeps and announces, and dragging it with
// the mouse through the window system.
#include "plugins/uWSGradientBar.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include <QWheelEvent>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

constexpr QRgb kGrey = 0xFF808080;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kBlack = 0xFF000000;

// x * c / w rounded to the nearest integer with halves to the even neighbour, the slow way.
int Nearest(int x, int c, int w) {
    const double exact = double(x) * c / w;
    const double down = std::floor(exact);
    if (exact - down != 0.5) return int(std::lround(exact));
    return int(down) % 2 == 0 ? int(down) : int(down) + 1;
}

QString Row(const QImage& picture, int y) {
    QString text;
    for (int x = 0; x < picture.width(); ++x)
        text += QString::number(picture.pixel(x, y) & 0xFFFFFF, 16) + QLatin1Char(' ');
    return text;
}

class GradientBarTest : public ::testing::Test {
protected:
    TWSGradientBar Bar;
    int Changes = 0;
    std::vector<double> Seen;
    void Count() {
        Bar.OnChange = [this](TWSGradientBar* sender) {
            EXPECT_EQ(sender, &Bar);
            ++Changes;
            Seen.push_back(sender->Position());
        };
    }
};

TEST_F(GradientBarTest, RedBarOf89PixelsAtBothEnds) {
    Bar.resize(89, 14);
    Bar.SetVColor(0x0000FF);
    for (const double position : {0.0, 1.0}) {
        Bar.SetPosition(position);
        const QImage& p = Bar.Picture();
        ASSERT_EQ(p.size(), QSize(89, 14));
        const int thumb = position == 0.0 ? 0 : 86;
        for (int y = 0; y < 14; ++y)
            for (int x = 0; x < 89; ++x) {
                QRgb want = qRgb(Nearest(x, 255, 89), 0, 0);
                if (x == thumb - 1 || x == thumb + 3) want = kBlack;
                if (x >= thumb && x <= thumb + 2) want = kWhite;
                if (x == 0 || x == 88 || y == 0 || y == 13) want = kGrey;
                ASSERT_EQ(p.pixel(x, y), want) << "position " << position << " at " << x << "," << y << "\n"
                                               << Row(p, y).toStdString();
            }
    }
    // The last column under the frame would have been the integer nearest 255 * 88 / 89.
    EXPECT_EQ(Nearest(88, 255, 89), 252);
}

TEST_F(GradientBarTest, GradientAndThumbTiesGoToTheEvenNeighbour) {
    Bar.resize(10, 5);
    Bar.SetVColor(MakeColorRef(5, 10, 0)); // red x / 2: ties at every odd column
    Bar.SetPosition(0.0);
    const QImage& p = Bar.Picture();
    // Columns 4..8 lie beside the thumb (0..2) and its edge line (3).
    const int red[] = {2, 2, 3, 4, 4}; // 2.0, 2.5, 3.0, 3.5, 4.0
    for (int x = 4; x <= 8; ++x)
        EXPECT_EQ(p.pixel(x, 2), qRgb(red[x - 4], x, 0)) << "column " << x;
    EXPECT_EQ(p.pixel(3, 3), kBlack) << "the edge line right of the thumb";

    // The thumb's place: (W - 3) x Position to the nearest integer, halves to even: 7 x 0.5 = 3.5 -> 4.
    Bar.SetPosition(0.5);
    EXPECT_EQ(Bar.Picture().pixel(4, 2), kWhite);
    EXPECT_EQ(Bar.Picture().pixel(3, 2), kBlack);
    EXPECT_EQ(Bar.Picture().pixel(7, 2), kBlack);
}

TEST_F(GradientBarTest, SettingClampsAndAnnouncesEverySetting) {
    EXPECT_EQ(Bar.size(), QSize(105, 14));
    EXPECT_EQ(Bar.Position(), 0.5);
    EXPECT_EQ(Bar.VColor(), 0xFFFFFFu);
    EXPECT_EQ(Bar.PositionS(), QStringLiteral("0.500"));
    Count();

    Bar.SetPosition(1.7);
    Bar.SetPosition(-0.2);
    Bar.SetPosition(std::numeric_limits<double>::quiet_NaN());
    Bar.SetPosition(std::numeric_limits<double>::infinity());
    Bar.SetPosition(-std::numeric_limits<double>::infinity());
    Bar.SetPosition(0.25);
    Bar.SetPosition(0.25);
    EXPECT_EQ(Changes, 7) << "one announcement per setting, the same value again included";
    EXPECT_EQ(Seen, (std::vector<double>{1.0, 0.0, 0.0, 1.0, 0.0, 0.25, 0.25}));

    Bar.SetVColor(0x00FF00);
    EXPECT_EQ(Changes, 8);
    EXPECT_EQ(Bar.Picture().pixel(100, 5), qRgb(0, Nearest(100, 255, 105), 0));

    Bar.SetPosition(1.0 / 3.0);
    EXPECT_EQ(Bar.PositionS(), QStringLiteral("0.333"));
    Bar.SetPosition(2.0 / 3.0);
    EXPECT_EQ(Bar.PositionS(), QStringLiteral("0.667"));
}

TEST_F(GradientBarTest, ASizeChangeAloneKeepsThePictureAndTinySizesDrawWhatFits) {
    Bar.resize(50, 10);
    EXPECT_EQ(Bar.Picture().size(), QSize(105, 14)) << "rendered again only by a setting";
    Bar.SetPosition(0.5);
    EXPECT_EQ(Bar.Picture().size(), QSize(50, 10));

    for (const QSize size : {QSize(1, 1), QSize(2, 14), QSize(3, 2)}) {
        Bar.resize(size);
        Bar.SetPosition(1.0);
        EXPECT_EQ(Bar.Picture().size(), size);
        EXPECT_EQ(Bar.Picture().pixel(size.width() - 1, 0), kGrey) << "framed";
    }
    Bar.resize(0, 14);
    Bar.SetPosition(0.5);
    EXPECT_TRUE(Bar.Picture().isNull());
    Bar.resize(20, 14);
    Bar.SetPosition(0.5);
    EXPECT_EQ(Bar.Picture().size(), QSize(20, 14));
}

// Mouse input from the window system: the press grabs the mouse, so the drag goes on outside the bar.
class GradientBarMouseTest : public GradientBarTest {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "no X display";
        Window.resize(300, 60);
        Bar.setParent(&Window);
        Bar.setGeometry(100, 20, 100, 14);
        Window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
        Count();
    }
    void TearDown() override { Bar.setParent(nullptr); }
    QWidget Window;
};

TEST_F(GradientBarMouseTest, DraggingPastEitherEndStopsAtTheEnd) {
    QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(50, 7));
    EXPECT_EQ(Changes, 0) << "a press alone changes nothing";
    QTest::mouseMove(&Bar, QPoint(25, 7));
    EXPECT_DOUBLE_EQ(Bar.Position(), 0.25);
    QTest::mouseMove(&Bar, QPoint(-90, 7));
    EXPECT_EQ(Bar.Position(), 0.0);
    QTest::mouseMove(&Bar, QPoint(150, 50));
    EXPECT_EQ(Bar.Position(), 1.0);
    QTest::mouseMove(&Bar, QPoint(-60, 7));
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(-60, 7));
    EXPECT_EQ(Bar.Position(), 0.0);
    const int afterDrag = Changes;

    // With no button held, a move is no drag.
    QTest::mouseMove(&Bar, QPoint(80, 7));
    EXPECT_EQ(Changes, afterDrag);
    EXPECT_EQ(Bar.Position(), 0.0);
}

TEST_F(GradientBarMouseTest, AReleaseMovesTheBarOnlyWhileAnotherButtonIsStillHeld) {
    QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(40, 7));
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(40, 7));
    EXPECT_EQ(Changes, 0) << "the release of the only button held reports none held";
    EXPECT_EQ(Bar.Position(), 0.5);

    // The right button drags as well; releasing it while the left is still down sets the value.
    QTest::mousePress(&Bar, Qt::RightButton, {}, QPoint(40, 7));
    QTest::mouseMove(&Bar, QPoint(30, 7));
    EXPECT_DOUBLE_EQ(Bar.Position(), 0.3);
    QTest::mousePress(&Bar, Qt::LeftButton, {}, QPoint(30, 7));
    QTest::mouseRelease(&Bar, Qt::RightButton, {}, QPoint(70, 7));
    EXPECT_DOUBLE_EQ(Bar.Position(), 0.7);
    QTest::mouseRelease(&Bar, Qt::LeftButton, {}, QPoint(90, 7));
    EXPECT_DOUBLE_EQ(Bar.Position(), 0.7);
}

} // namespace

// The finer steps: each input from a bar at 0.5, what it moves the bar to, one change each.
TEST_F(GradientBarTest, WheelAndKeysStepByAHundredthAThousandthOrATenth) {
    struct TCase {
        const char* What;
        std::function<void(TWSGradientBar&)> Do;
        double Want;
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        return [k, mods](TWSGradientBar& bar) { QTest::keyClick(&bar, k, mods); };
    };
    auto wheel = [](int delta, Qt::KeyboardModifiers mods = {}, bool sideways = false) {
        return [=](TWSGradientBar& bar) {
            const QPoint angle = sideways ? QPoint(delta, 0) : QPoint(0, delta);
            QWheelEvent event(QPointF(5, 5), bar.mapToGlobal(QPointF(5, 5)), {}, angle, Qt::NoButton, mods,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(&bar, &event);
        };
    };
    const TCase cases[] = {
        {"Right", key(Qt::Key_Right), 0.51},
        {"Up", key(Qt::Key_Up), 0.51},
        {"Left", key(Qt::Key_Left), 0.49},
        {"Down", key(Qt::Key_Down), 0.49},
        {"Shift+Right", key(Qt::Key_Right, Qt::ShiftModifier), 0.501},
        {"Shift+Left", key(Qt::Key_Left, Qt::ShiftModifier), 0.499},
        {"Page Up", key(Qt::Key_PageUp), 0.6},
        {"Page Down", key(Qt::Key_PageDown), 0.4},
        {"wheel up a notch", wheel(120), 0.51},
        {"wheel down two notches", wheel(-240), 0.48},
        {"wheel with Shift", wheel(120, Qt::ShiftModifier), 0.501},
        {"wheel with Shift turned sideways", wheel(-120, Qt::ShiftModifier, true), 0.499},
        {"a touchpad's quarter notch", wheel(30), 0.5025},
    };
    Count();
    for (const TCase& c : cases) {
        Bar.OnChange = nullptr;
        Bar.SetPosition(0.5);
        Count();
        Changes = 0;
        c.Do(Bar);
        EXPECT_NEAR(Bar.Position(), c.Want, 1e-12) << c.What;
        EXPECT_EQ(Changes, 1) << c.What;
    }
    // Steps stop at the ends like a drag.
    Bar.SetPosition(0.95);
    QTest::keyClick(&Bar, Qt::Key_PageUp);
    EXPECT_EQ(Bar.Position(), 1.0);
    Bar.SetPosition(0.005);
    QTest::keyClick(&Bar, Qt::Key_Left);
    EXPECT_EQ(Bar.Position(), 0.0);
}

TEST_F(GradientBarTest, HomeAndADoubleClickGoBackToTheHomePositionWhenThereIsOne) {
    Bar.SetPosition(0.9);
    Count();
    QTest::keyClick(&Bar, Qt::Key_Home);
    EXPECT_EQ(Changes, 0) << "no home position: nothing happens";
    Bar.HomePosition = 0.25;
    QTest::keyClick(&Bar, Qt::Key_Home);
    EXPECT_EQ(Bar.Position(), 0.25);
    Bar.SetPosition(0.7);
    QTest::mouseDClick(&Bar, Qt::LeftButton, {}, QPoint(80, 7));
    EXPECT_EQ(Bar.Position(), 0.25);
    Bar.HomePosition = 3.0;
    QTest::keyClick(&Bar, Qt::Key_Home);
    EXPECT_EQ(Bar.Position(), 1.0) << "clamped like any position";
}

TEST_F(GradientBarMouseTest, ARightClickAsksForTheMenuButARightDragDoesNot) {
    int menus = 0;
    Bar.OnContextMenu = [&menus](TWSGradientBar*, const QPoint&) { ++menus; };
    QTest::mousePress(&Bar, Qt::RightButton, {}, QPoint(40, 7));
    QTest::mouseRelease(&Bar, Qt::RightButton, {}, QPoint(40, 7));
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(Changes, 0) << "a click moves nothing";
    QTest::mousePress(&Bar, Qt::RightButton, {}, QPoint(40, 7));
    QTest::mouseMove(&Bar, QPoint(70, 7));
    QTest::mouseRelease(&Bar, Qt::RightButton, {}, QPoint(70, 7));
    EXPECT_EQ(menus, 1) << "a drag is no click";
    EXPECT_DOUBLE_EQ(Bar.Position(), 0.7);
}
