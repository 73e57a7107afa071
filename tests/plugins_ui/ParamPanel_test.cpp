// The parameter panel over slot instances read from description files: its groups, bars and fields as laid
// out, what a bar move and a typed number store, the key filter, and input it must not take.
#include "PluginFiles.h"
#include "plugins/ParamPanel.h"
#include "plugins/uWSGradientBar.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <string>

namespace {

class ParamPanelTest : public ::testing::Test {
protected:
    ParamPanelTest() : Panel(Box, Slots) {
        Box.resize(197, 286);
        Box.setFrameShape(QFrame::NoFrame);
        Box.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        Box.setWidgetResizable(true);
        Box.setWidget(new QWidget);
    }

    // Slot index i holds a fresh instance of a plugin with these parameter sections; the panel shows it.
    void Fill(int i, const std::string& params, const std::string& ini = "p.ini") {
        Files.Write(ini, "P", "G", params);
        Slots[size_t(i)] = Files.Read(ini);
    }
    void Show(int i) {
        Panel.Clear();
        Panel.BuildParamPanel(i);
    }
    template <class T> T* Find(const char* name) const {
        T* found = Box.widget()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void Enter(QLineEdit* edit, const QString& text) {
        edit->setText(text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
    TShaderPlugin& Slot(int i) { return *Slots[size_t(i)]; }

    TPluginFiles Files;
    TParamPanel::TSlots Slots;
    QScrollArea Box;
    TParamPanel Panel;
};

TEST_F(ParamPanelTest, OneSingleValueParameter) {
    Fill(4, "[parameter_u1f]\namount = 0.5 : 2 : Amount\n");
    Show(4);
    ASSERT_EQ(Panel.PanelEntries.size(), 1u);
    EXPECT_EQ(Panel.PanelEntries[0].ParamIndex, 0);
    EXPECT_EQ(Panel.PanelEntries[0].ComponentCount, 1);

    auto* group = Find<QGroupBox>("Groupbox_1");
    ASSERT_TRUE(group);
    EXPECT_EQ(group->geometry(), QRect(8, 7, 169, 53));
    EXPECT_EQ(group->title(), QStringLiteral(" Amount "));
    EXPECT_EQ(group->property("Tag").toInt(), 4);
    auto* bar = Find<TWSGradientBar>("WSGradientbar1_0");
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->parentWidget(), group);
    EXPECT_EQ(bar->geometry(), QRect(16, 23, 89, 14));
    EXPECT_EQ(bar->Position(), 0.5);
    EXPECT_EQ(bar->VColor(), 0xFFFFFFu);
    EXPECT_EQ(bar->Tag, 4);
    auto* edit = Find<QLineEdit>("Edit1_0");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->parentWidget(), group);
    EXPECT_EQ(edit->geometry(), QRect(112, 21, 45, 21));
    EXPECT_EQ(edit->text(), QStringLiteral("1.00"));
    EXPECT_EQ(edit->property("Tag").toInt(), 4);
}

TEST_F(ParamPanelTest, OneParameterInEachListInTheOrderOneToFourComponents) {
    // The quadruple comes first in the file; the panel still shows single values first.
    Fill(0, "[parameter_u4f]\nq = 0.1;0.2;0.3;0.4 : 10 : Four\n[parameter_u3f]\nt = 0.1;0.2;0.3 : 1 : Three\n"
            "[parameter_u2f]\np = 0.25;0.75 : 4 : Two\n[parameter_u1f]\ns = 0.5 : 1 : One\n");
    Show(0);
    ASSERT_EQ(Panel.PanelEntries.size(), 4u);
    const int tops[] = {7, 67, 155, 267};
    const int heights[] = {53, 81, 105, 125};
    const char* titles[] = {" One ", " Two ", " Three ", " Four "};
    const int barTops[] = {23, 47, 71, 95};
    const int editTops[] = {21, 44, 68, 92};
    const TColorRef colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    for (int e = 0; e < 4; ++e) {
        const ParamPanelEntry& entry = Panel.PanelEntries[size_t(e)];
        const int n = e + 1;
        EXPECT_EQ(entry.ComponentCount, n);
        EXPECT_EQ(entry.GroupBox->objectName(), QStringLiteral("Groupbox_%1").arg(e + 1));
        EXPECT_EQ(entry.GroupBox->geometry(), QRect(8, tops[e], 169, heights[e]));
        EXPECT_EQ(entry.GroupBox->title(), QString::fromLatin1(titles[e]));
        for (int k = 0; k < 4; ++k) {
            TWSGradientBar* bar = entry.ValueBars[size_t(k)];
            QLineEdit* edit = entry.ValueEdits[size_t(k)];
            if (k >= n) {
                EXPECT_EQ(bar, nullptr);
                EXPECT_EQ(edit, nullptr);
                continue;
            }
            ASSERT_TRUE(bar && edit);
            EXPECT_EQ(bar->objectName(), QStringLiteral("WSGradientbar%1_%2").arg(k + 1).arg(e));
            EXPECT_EQ(edit->objectName(), QStringLiteral("Edit%1_%2").arg(k + 1).arg(e));
            EXPECT_EQ(bar->geometry(), QRect(16, barTops[k], 89, 14));
            EXPECT_EQ(edit->geometry(), QRect(112, editTops[k], 45, 21));
            EXPECT_EQ(bar->VColor(), n == 1 ? 0xFFFFFFu : colours[k]) << "entry " << e << " component " << k;
        }
    }
    const ParamPanelEntry& four = Panel.PanelEntries[3];
    EXPECT_EQ(four.ValueEdits[2]->text(), QStringLiteral("3.00"));
    EXPECT_EQ(Panel.PanelEntries[1].ValueEdits[1]->text(), QStringLiteral("3.00"));
    EXPECT_EQ(Panel.PanelEntries[1].ValueBars[1]->Position(), 0.75);
}

TEST_F(ParamPanelTest, ValuesOutsideTheBarsRangeAreShownButNotChangedByBuilding) {
    Fill(1, "[parameter_u2f]\nv = 2.5;-1 : 1 : Wide\n");
    Show(1);
    const ParamPanelEntry& entry = Panel.PanelEntries.at(0);
    EXPECT_EQ(entry.ValueBars[0]->Position(), 1.0);
    EXPECT_EQ(entry.ValueBars[1]->Position(), 0.0);
    EXPECT_EQ(entry.ValueEdits[0]->text(), QStringLiteral("2.50"));
    EXPECT_EQ(entry.ValueEdits[1]->text(), QStringLiteral("-1.00"));
    EXPECT_EQ(Slot(1).Params2f[0].Value[0], 2.5f);
    EXPECT_EQ(Slot(1).Params2f[0].Value[1], -1.0f);
}

TEST_F(ParamPanelTest, EnterStoresTheTypedNumberOverScaleLimitedToTheBar) {
    Fill(2, "[parameter_u1f]\na = 0.5 : 2 : A\nb = 0.2 : 1 : B\n[parameter_u3f]\nc = 0.1;0.2;0.3 : 1 : C\n");
    Show(2);
    ASSERT_EQ(Panel.PanelEntries.size(), 3u);
    QLineEdit* a = Panel.PanelEntries[0].ValueEdits[0];
    Enter(a, QStringLiteral("3"));
    EXPECT_EQ(Slot(2).Params1f[0].Value[0], 1.0f) << "3 / 2 is limited to 1";
    EXPECT_EQ(a->text(), QStringLiteral("2.00"));
    EXPECT_EQ(Panel.PanelEntries[0].ValueBars[0]->Position(), 1.0);

    QLineEdit* b = Panel.PanelEntries[1].ValueEdits[0];
    Enter(b, QStringLiteral("0.5"));
    EXPECT_EQ(Slot(2).Params1f[1].Value[0], 0.5f);
    EXPECT_EQ(Panel.PanelEntries[1].ValueBars[0]->Position(), 0.5);
    EXPECT_EQ(b->text(), QStringLiteral("0.50"));
    EXPECT_EQ(Slot(2).Params1f[0].Value[0], 1.0f) << "the other parameter keeps its value";

    // Component 2 of a triple: its own bar moves, the other components stay.
    const ParamPanelEntry& triple = Panel.PanelEntries[2];
    QTest::keyClick(triple.ValueEdits[1], Qt::Key_A, Qt::ControlModifier); // select all, then type over it
    QTest::keyClicks(triple.ValueEdits[1], QStringLiteral("0.9"));
    QTest::keyClick(triple.ValueEdits[1], Qt::Key_Enter); // the keypad's Enter
    EXPECT_EQ(Slot(2).Params3f[0].Value, (std::array<float, 3>{0.1f, 0.9f, 0.3f}));
    EXPECT_EQ(triple.ValueBars[1]->Position(), 0.9);
    EXPECT_EQ(triple.ValueBars[0]->Position(), 0.1f);
    EXPECT_EQ(triple.ValueBars[2]->Position(), 0.3f);
}

TEST_F(ParamPanelTest, EachBarChangesOnlyItsOwnComponentOfItsOwnSlot) {
    const std::string params = "[parameter_u1f]\ns = 0.5 : 10 : S\n[parameter_u2f]\np = 0.25;0.75 : 4 : P\n";
    Fill(0, params, "same.ini");
    Fill(2, params, "same.ini");
    Show(2);
    ASSERT_EQ(Panel.PanelEntries.size(), 2u);
    Panel.PanelEntries[0].ValueBars[0]->SetPosition(0.125);
    EXPECT_EQ(Slot(2).Params1f[0].Value[0], 0.125f);
    EXPECT_EQ(Panel.PanelEntries[0].ValueEdits[0]->text(), QStringLiteral("1.25"));
    EXPECT_EQ(Slot(2).Params2f[0].Value, (std::array<float, 2>{0.25f, 0.75f}));

    Panel.PanelEntries[1].ValueBars[1]->SetPosition(0.5);
    EXPECT_EQ(Slot(2).Params2f[0].Value, (std::array<float, 2>{0.25f, 0.5f}));
    EXPECT_EQ(Panel.PanelEntries[1].ValueEdits[1]->text(), QStringLiteral("2.00"));
    Panel.PanelEntries[1].ValueBars[0]->SetPosition(1.0);
    EXPECT_EQ(Slot(2).Params2f[0].Value, (std::array<float, 2>{1.0f, 0.5f}));

    EXPECT_EQ(Slot(0).Params1f[0].Value[0], 0.5f) << "slot 1 holds the same plugin and keeps its values";
    EXPECT_EQ(Slot(0).Params2f[0].Value, (std::array<float, 2>{0.25f, 0.75f}));
}

TEST_F(ParamPanelTest, TheKeyFilterLetsDigitsCommaAndPointThrough) {
    Fill(0, "[parameter_u1f]\na = 0.5 : 1 : A\n");
    Show(0);
    QLineEdit* edit = Panel.PanelEntries.at(0).ValueEdits[0];
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("x-0+.e2 5,"));
    EXPECT_EQ(edit->text(), QStringLiteral("0.25,")) << "letters, signs and blanks are discarded";
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("0.25"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Slot(0).Params1f[0].Value[0], 0.25f) << "a decimal number typed into an emptied field";
    EXPECT_EQ(edit->text(), QStringLiteral("0.25"));
}

TEST_F(ParamPanelTest, TextThatIsNoNumberOrAScaleOfZeroChangesNothing) {
    Fill(0, "[parameter_u1f]\na = 0.5 : 2 : A\nz = 0.5 : 0 : Zero\n");
    Show(0);
    QLineEdit* edit = Panel.PanelEntries.at(0).ValueEdits[0];
    TWSGradientBar* bar = Panel.PanelEntries.at(0).ValueBars[0];
    const QString paste(10000, QLatin1Char('7'));
    for (const QString& text : {QStringLiteral("1e999"), QStringLiteral(","), QStringLiteral(""),
                                QStringLiteral("0,5"), QStringLiteral("1.2.3"), paste}) {
        Enter(edit, text);
        EXPECT_EQ(Slot(0).Params1f[0].Value[0], 0.5f) << text.left(20).toStdString();
        EXPECT_EQ(bar->Position(), 0.5);
        EXPECT_EQ(edit->text(), text) << "the field keeps what was typed";
    }
    // A paste is no typing: it arrives whole, and Enter takes it as a number when it is one.
    edit->clear();
    QApplication::clipboard()->setText(QStringLiteral("0.3") + QString(9997, QLatin1Char('0')));
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(edit->text().size(), 10000);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Slot(0).Params1f[0].Value[0], 0.15f);
    EXPECT_EQ(edit->text(), QStringLiteral("0.30"));

    QLineEdit* zero = Panel.PanelEntries.at(1).ValueEdits[0];
    EXPECT_EQ(zero->text(), QStringLiteral("0.00"));
    Enter(zero, QStringLiteral("1"));
    EXPECT_EQ(Slot(0).Params1f[1].Value[0], 0.5f);
    EXPECT_EQ(zero->text(), QStringLiteral("1"));
    Panel.PanelEntries.at(1).ValueBars[0]->SetPosition(0.75);
    EXPECT_EQ(Slot(0).Params1f[1].Value[0], 0.75f) << "the bar still works";
    EXPECT_EQ(zero->text(), QStringLiteral("0.00"));
}

TEST_F(ParamPanelTest, ControlsOfASlotEmptiedOrRefilledSinceTheBuildTouchNothing) {
    Fill(5, "[parameter_u1f]\na = 0.5 : 1 : A\n[parameter_u2f]\nb = 0.5;0.5 : 1 : B\n");
    Show(5);
    const ParamPanelEntry single = Panel.PanelEntries.at(0);
    const ParamPanelEntry pair = Panel.PanelEntries.at(1);

    Slots[5].reset(); // its plugin failed, say, and nothing rebuilt the panel yet
    single.ValueBars[0]->SetPosition(0.1);
    Enter(single.ValueEdits[0], QStringLiteral("0.2"));
    EXPECT_EQ(single.ValueEdits[0]->text(), QStringLiteral("0.2"));

    // Another plugin in the slot with a single value but no pair: the pair's controls have nothing to edit.
    Fill(5, "[parameter_u1f]\nc = 0.5 : 1 : C\n", "other.ini");
    pair.ValueBars[1]->SetPosition(0.9);
    Enter(pair.ValueEdits[0], QStringLiteral("0.3"));
    EXPECT_EQ(Slot(5).Params1f[0].Value[0], 0.5f);
    EXPECT_TRUE(Slot(5).Params2f.empty());

    // A control tagged for no slot does nothing either.
    single.ValueBars[0]->Tag = -1;
    single.ValueBars[0]->SetPosition(0.4);
    EXPECT_EQ(Slot(5).Params1f[0].Value[0], 0.5f);
}

TEST_F(ParamPanelTest, FortyParametersScrollDownwardsAndALongCaptionStaysInItsFrame) {
    std::string params = "[parameter_u1f]\n";
    for (int i = 0; i < 40; ++i)
        params += "u" + std::to_string(i) + " = 0.5 : 1 : " + (i == 0 ? std::string(500, 'c') : "P") + "\n";
    Fill(7, params);
    Box.show();
    Show(7);
    QApplication::processEvents();
    ASSERT_EQ(Panel.PanelEntries.size(), 40u);
    EXPECT_EQ(Panel.PanelEntries.back().GroupBox->y(), 7 + 39 * 60);
    EXPECT_EQ(Panel.PanelEntries.front().GroupBox->width(), 169) << "the caption does not widen its frame";
    EXPECT_GE(Box.widget()->height(), 7 + 40 * 60);
    EXPECT_GT(Box.verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(Box.horizontalScrollBar()->maximum(), 0) << "never scrolls sideways";
    EXPECT_FALSE(Box.horizontalScrollBar()->isVisible());

    Panel.Clear();
    QApplication::processEvents();
    EXPECT_TRUE(Panel.PanelEntries.empty());
    EXPECT_TRUE(Box.widget()->findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(Box.verticalScrollBar()->maximum(), 0);

    Slots[7].reset();
    Panel.BuildParamPanel(7);
    EXPECT_TRUE(Panel.PanelEntries.empty()) << "an empty slot has no panel";
}

} // namespace

namespace {

void LoseFocus(QLineEdit* edit) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(edit, &out);
}

} // namespace

TEST_F(ParamPanelTest, LeavingAFieldStoresWhatWasTypedButNotWhatItOnlyShows) {
    Fill(1, "[parameter_u1f]\na = 0.503 : 1 : A\nb = 0.5 : 2 : B\n");
    Show(1);
    QLineEdit* a = Panel.PanelEntries.at(0).ValueEdits[0];
    EXPECT_EQ(a->text(), QStringLiteral("0.50"));
    LoseFocus(a);
    EXPECT_EQ(Slot(1).Params1f[0].Value[0], 0.503f) << "untouched: the value is not cut to two decimals";

    QLineEdit* b = Panel.PanelEntries.at(1).ValueEdits[0];
    b->clear();
    QTest::keyClicks(b, QStringLiteral("1.5"));
    LoseFocus(b);
    EXPECT_EQ(Slot(1).Params1f[1].Value[0], 0.75f) << "1.5 / scale 2";
    EXPECT_EQ(b->text(), QStringLiteral("1.50"));
    EXPECT_EQ(Panel.PanelEntries.at(1).ValueBars[0]->Position(), 0.75);

    b->clear();
    QTest::keyClicks(b, QStringLiteral("1,5"));
    LoseFocus(b);
    EXPECT_EQ(Slot(1).Params1f[1].Value[0], 0.75f) << "no number: nothing changes";
    EXPECT_EQ(b->text(), QStringLiteral("1,5"));
    // Rebuilding while a field holds typed text and the focus goes with it touches nothing gone.
    Show(1);
    EXPECT_EQ(Panel.PanelEntries.size(), 2u);
}

TEST_F(ParamPanelTest, HomeGoesBackToTheDescriptionValueOfItsOwnComponent) {
    const std::string params = "[parameter_u1f]\na = 0.2 : 1 : A\n[parameter_u2f]\np = 0.25;0.75 : 1 : P\n";
    Fill(3, params);
    const std::unique_ptr<TShaderPlugin> description = Files.Read("p.ini");
    Panel.Description = [&](int slotIndex) { return slotIndex == 3 ? description.get() : nullptr; };
    Slot(3).Params1f[0].Value[0] = 0.9f;
    Slot(3).Params2f[0].Value = {0.1f, 0.2f};
    Show(3);
    TWSGradientBar* single = Panel.PanelEntries.at(0).ValueBars[0];
    QTest::keyClick(single, Qt::Key_Home);
    EXPECT_EQ(Slot(3).Params1f[0].Value[0], 0.2f);
    QTest::keyClick(Panel.PanelEntries.at(1).ValueBars[1], Qt::Key_Home);
    EXPECT_EQ(Slot(3).Params2f[0].Value, (std::array<float, 2>{0.1f, 0.75f}));
    QTest::keyClick(Panel.PanelEntries.at(1).ValueBars[1], Qt::Key_Left);
    EXPECT_FLOAT_EQ(Slot(3).Params2f[0].Value[1], 0.74f) << "the keys store like a drag";

    // Without a description Home does nothing.
    Fill(4, params);
    Show(4);
    Slot(4).Params1f[0].Value[0] = 0.6f;
    Panel.ShowValues();
    QTest::keyClick(Panel.PanelEntries.at(0).ValueBars[0], Qt::Key_Home);
    EXPECT_EQ(Slot(4).Params1f[0].Value[0], 0.6f);
}

TEST_F(ParamPanelTest, ShowValuesFollowsChangesFromElsewhereWithoutClampingThem) {
    Fill(0, "[parameter_u1f]\na = 0.5 : 2 : A\n[parameter_u3f]\nc = 0.1;0.2;0.3 : 1 : C\n");
    Show(0);
    Slot(0).Params1f[0].Value[0] = 1.5f;
    Slot(0).Params3f[0].Value[2] = 0.8f;
    Panel.ShowValues();
    EXPECT_EQ(Slot(0).Params1f[0].Value[0], 1.5f) << "shown, not stored back clamped";
    EXPECT_EQ(Panel.PanelEntries[0].ValueBars[0]->Position(), 1.0);
    EXPECT_EQ(Panel.PanelEntries[0].ValueEdits[0]->text(), QStringLiteral("3.00"));
    EXPECT_FLOAT_EQ(float(Panel.PanelEntries[1].ValueBars[2]->Position()), 0.8f);
    EXPECT_EQ(Panel.PanelEntries[1].ValueEdits[2]->text(), QStringLiteral("0.80"));
}

TEST_F(ParamPanelTest, ABarsContextMenuNamesTheComponentItEdits) {
    Fill(6, "[parameter_u1f]\na = 0.5 : 1 : A\n[parameter_u3f]\ncol = 0.1;0.2;0.3 : 1 : C\n");
    Show(6);
    std::vector<TParamBarTarget> asked;
    Panel.OnBarContextMenu = [&asked](const TParamBarTarget& target, const QPoint&) {
        asked.push_back(target);
    };
    Panel.BarContextMenu(Panel.PanelEntries[1].ValueBars[2], QPoint());
    Panel.BarContextMenu(Panel.PanelEntries[0].ValueBars[0], QPoint());
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0].SlotIndex, 6);
    EXPECT_EQ(asked[0].UniformName, "col");
    EXPECT_EQ(asked[0].ComponentCount, 3);
    EXPECT_EQ(asked[0].Component, 2);
    EXPECT_EQ(asked[1].UniformName, "a");
    EXPECT_EQ(asked[1].Component, 0);
    Slots[6].reset();
    Panel.BarContextMenu(Panel.PanelEntries[0].ValueBars[0], QPoint());
    EXPECT_EQ(asked.size(), 2u) << "an emptied slot has nothing to offer";
}
