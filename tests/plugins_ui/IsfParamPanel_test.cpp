// The parameter panel over an effect file's inputs: fields show and take real values over MIN..MAX, a
// bool's bar snaps, a long is a drop-down of its labels, an event a button.
#include "PluginFiles.h"
#include "plugins/ParamPanel.h"
#include "plugins/uWSGradientBar.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>

namespace {

constexpr const char* kKnobs = R"(/*{
    "INPUTS": [
        {"NAME": "gain", "TYPE": "float", "MIN": -2.0, "MAX": 6.0, "DEFAULT": 2.0},
        {"NAME": "flip", "TYPE": "bool", "DEFAULT": false},
        {"NAME": "mode", "TYPE": "long", "VALUES": [3, 7, 11], "LABELS": ["Soft", "Hard", "Wild"], "DEFAULT": 7},
        {"NAME": "kick", "TYPE": "event", "LABEL": "Kick"},
        {"NAME": "tint", "TYPE": "color", "DEFAULT": [1.0, 0.5, 0.25, 1.0]}
    ]
}*/
void main() { gl_FragColor = tint * gain; }
)";

class IsfParamPanelTest : public ::testing::Test {
protected:
    IsfParamPanelTest() : Panel(Box, Slots) {
        Box.resize(197, 400);
        Box.setWidgetResizable(true);
        Box.setWidget(new QWidget);
        WriteTextFile(Files.Folder() + "plugins/knobs.fs", kKnobs);
        Slots[2] = std::make_unique<TShaderPlugin>(Files.Folder() + "plugins/", "knobs.fs",
                                                   Files.Folder() + "shader/");
        EXPECT_TRUE(Slots[2]->ReadDescription());
        Panel.BuildParamPanel(2);
    }
    template <class T> T* Find(const char* name) const {
        T* found = Box.widget()->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    float& Value(int index) { return Slots[2]->Params1f.at(size_t(index)).Value[0]; }

    TPluginFiles Files;
    TParamPanel::TSlots Slots;
    QScrollArea Box;
    TParamPanel Panel;
};

} // namespace

TEST_F(IsfParamPanelTest, TheFieldShowsAndTakesRealValuesOverMinToMax) {
    auto* edit = Find<QLineEdit>("Edit1_0");
    ASSERT_TRUE(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("2.00")) << "DEFAULT 2 on -2..6: the bar at 0.5";
    EXPECT_FLOAT_EQ(Value(0), 0.5f);
    const struct {
        const char* typed;
        float bar;
        const char* shown;
    } cases[] = {{"-2", 0.0f, "-2.00"}, {"6", 1.0f, "6.00"},  {"0", 0.25f, "0.00"},
                 {"-5", 0.0f, "-2.00"}, {"40", 1.0f, "6.00"}, {"4.5", 0.8125f, "4.50"}};
    for (const auto& c : cases) {
        edit->clear();
        QTest::keyClicks(edit, QString::fromLatin1(c.typed)); // through the key filter: "-" is let in
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_FLOAT_EQ(Value(0), c.bar) << c.typed;
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.typed;
    }
    Find<TWSGradientBar>("WSGradientbar1_0")->SetPosition(0.75);
    EXPECT_EQ(edit->text(), QStringLiteral("4.00"));
}

TEST_F(IsfParamPanelTest, ABoolsBarSnapsToOffOrOn) {
    auto* bar = Find<TWSGradientBar>("WSGradientbar1_1");
    ASSERT_TRUE(bar);
    for (const auto& [to, snapped] : {std::pair{0.7, 1.0}, {0.3, 0.0}, {0.5, 1.0}, {0.49, 0.0}, {1.0, 1.0}}) {
        bar->SetPosition(to);
        EXPECT_EQ(bar->Position(), snapped) << to;
        EXPECT_EQ(Value(1), float(snapped)) << to;
    }
    EXPECT_EQ(Find<QLineEdit>("Edit1_1")->text(), QStringLiteral("1.00"));
}

TEST_F(IsfParamPanelTest, ALongIsADropDownOfItsLabelsStoringTheIndexPlace) {
    EXPECT_EQ(Box.widget()->findChild<TWSGradientBar*>(QStringLiteral("WSGradientbar1_2")), nullptr);
    auto* choice = Find<QComboBox>("Choice_2");
    ASSERT_TRUE(choice);
    ASSERT_EQ(choice->count(), 3);
    EXPECT_EQ(choice->itemText(2), QStringLiteral("Wild"));
    EXPECT_EQ(choice->currentIndex(), 1) << "DEFAULT 7 is the second entry";
    for (int index : {2, 0, 1}) {
        choice->setCurrentIndex(index);
        emit choice->activated(index);
        EXPECT_FLOAT_EQ(Value(2), float(index) / 2.0f) << index;
    }
    Value(2) = 1.0f; // from elsewhere (a preset, a remote control)
    Panel.ShowValues();
    EXPECT_EQ(choice->currentIndex(), 2);
}

TEST_F(IsfParamPanelTest, AnEventIsAButtonThatSetsOne) {
    auto* button = Find<QPushButton>("Fire_3");
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("Kick"));
    EXPECT_EQ(Value(3), 0.0f);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(Value(3), 1.0f);
    Panel.ShowValues(); // no bar or field to show it in: nothing to trip over
    EXPECT_EQ(Find<QLineEdit>("Edit1_4")->text(), QStringLiteral("1.00")) << "the colour follows as before";
}
