// The program's message boxes: shown at once outside GL work, queued inside it and shown in order once the
// event loop runs; questions as real modal Yes/No boxes.
#include "app/QtMessageSink.h"

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <string>
#include <vector>

namespace {

class QtMessageSinkTest : public ::testing::Test {
protected:
    TQtMessageSink Sink{[this](const TQtMessageSink::TMessage& m) {
        Shown.push_back(m.Text);
        if (OnShow) OnShow(m);
    }};
    std::vector<std::string> Shown;
    std::function<void(const TQtMessageSink::TMessage&)> OnShow;
};

TEST_F(QtMessageSinkTest, OutsideGLWorkAMessageIsShownBeforeShowMessageReturns) {
    Sink.ShowMessage("plain", "Lumatex", TMessageIcon::Error);
    EXPECT_EQ(Shown, std::vector<std::string>{"plain"});
    EXPECT_EQ(Sink.Pending(), 0u);
}

TEST_F(QtMessageSinkTest, TheBoxShowsOneBreakPerLineEndWhileThePresenterGetsTheTextVerbatim) {
    const std::vector<std::pair<std::string, QString>> cases = {
        {"Some needed functions are not supported by your gfx-card:\n\rGL_EXT_framebuffer_object\n\r\n\r"
         "The program will quit now...",
         "Some needed functions are not supported by your gfx-card:\nGL_EXT_framebuffer_object\n\n"
         "The program will quit now..."},
        {"a\r\nb\nc\rd", "a\nb\nc\nd"},
        {"a\n\nb\r\rc", "a\n\nb\n\nc"},
        {"a\n\r\nb", "a\n\nb"},
        {"\n\rlast\n\r", "\nlast\n"},
        {"no break", "no break"},
        {"", ""}};
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(TQtMessageSink::BoxText(text), shown) << text;
        Sink.ShowMessage(text, "Lumatex", TMessageIcon::Warning);
        EXPECT_EQ(Shown.back(), text);
    }
    EXPECT_EQ(TQtMessageSink::BoxText("Vid\xC3\xA9o"), QString::fromUtf8("Vid\u00e9o"));
}

TEST_F(QtMessageSinkTest, MessagesRaisedDuringGLWorkWaitForTheLoopAndKeepTheirOrder) {
    {
        TGLWorkScope outer;
        Sink.ShowMessage("first", "Lumatex", TMessageIcon::Error);
        {
            TGLWorkScope inner; // scopes nest
            Sink.ShowMessage("second", "Lumatex", TMessageIcon::Warning);
        }
        Sink.ShowMessage("third", "Lumatex", TMessageIcon::Information);
        EXPECT_TRUE(Shown.empty());
        EXPECT_EQ(Sink.Pending(), 3u);
    }
    // A message raised after the work, before the loop ran, still comes after the earlier ones.
    Sink.ShowMessage("fourth", "Lumatex", TMessageIcon::Error);
    EXPECT_EQ(Shown, (std::vector<std::string>{"first", "second", "third", "fourth"}));
    RunLoopFor(20);
    EXPECT_EQ(Shown.size(), 4u) << "nothing is shown twice";
}

TEST_F(QtMessageSinkTest, QueuedMessagesAppearWhenTheLoopRunsAndOneRaisedMeanwhileFollows) {
    // While "a" is shown (a modal box runs a nested loop), its handling raises "c".
    OnShow = [this](const TQtMessageSink::TMessage& m) {
        if (m.Text == "a") Sink.ShowMessage("c", "Lumatex", TMessageIcon::Error);
    };
    {
        TGLWorkScope work;
        Sink.ShowMessage("a", "Lumatex", TMessageIcon::Error);
        Sink.ShowMessage("b", "Lumatex", TMessageIcon::Error);
    }
    RunLoopFor(20);
    EXPECT_EQ(Shown, (std::vector<std::string>{"a", "b", "c"}));
}

// The real boxes, answered by a click the way a user would.
class QtMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "no X display";
    }
    // Clicks the button of the next modal message box once it is up, and records what the box showed.
    void AnswerNextBox(QMessageBox::StandardButton button) {
        QTimer::singleShot(0, [this, button] { Answer(button); });
    }
    void Answer(QMessageBox::StandardButton button) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            QTimer::singleShot(10, [this, button] { Answer(button); });
            return;
        }
        Caption = box->windowTitle();
        Text = box->text();
        Icon = box->icon();
        HasParent = box->parentWidget() != nullptr;
        box->button(button)->click();
    }
    QString Caption, Text;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
    bool HasParent = true;
};

TEST_F(QtMessageBoxTest, AMessageIsAnOwnerlessBoxWithCaptionIconAndTheTextWithOneBreakPerLineEnd) {
    TQtMessageSink sink;
    AnswerNextBox(QMessageBox::Ok);
    sink.ShowMessage("line one\n\rline two", "Lumatex", TMessageIcon::Warning);
    EXPECT_EQ(Caption, QStringLiteral("Lumatex"));
    EXPECT_EQ(Text, QStringLiteral("line one\nline two"));
    EXPECT_EQ(Icon, QMessageBox::Warning);
    EXPECT_FALSE(HasParent);
}

TEST_F(QtMessageBoxTest, AQuestionAnswersWhatTheUserClicked) {
    TQtMessageSink sink;
    AnswerNextBox(QMessageBox::Yes);
    EXPECT_TRUE(sink.AskYesNo("Overwrite?\n\rSure?", "Lumatex", TMessageIcon::Question));
    EXPECT_EQ(Icon, QMessageBox::Question);
    EXPECT_EQ(Text, QStringLiteral("Overwrite?\nSure?"));
    AnswerNextBox(QMessageBox::No);
    EXPECT_FALSE(sink.AskYesNo("Overwrite?", "Lumatex", TMessageIcon::Question));
}

} // namespace
