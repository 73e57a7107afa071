// QtMessageSink.h: the program's message boxes. Each message is an owner-less Qt message box with the
// caption, the icon and the text as given, except that the box shows each "\n\r" the texts break their
// lines with as one break (Qt would take LF and CR for two); a presenter gets the text verbatim. A message
// raised while GL work is under way (TGLWorkScope open) waits until control is back in the event loop: a
// modal box runs a nested loop, and nothing may draw or handle input in the middle of a frame. Queued
// messages appear in the order raised. Questions are answered at once by a modal Yes/No box. GUI thread only.
#pragma once

#include "platform/MessageSink.h"

#include <QObject>
#include <QString>

#include <deque>
#include <functional>
#include <string>

class TQtMessageSink : public QObject, public IMessageSink {
public:
    struct TMessage {
        std::string Text;
        std::string Caption;
        TMessageIcon Icon;
    };
    // How a message is put in front of the user; the default runs a modal QMessageBox. Tests replace it.
    using TPresenter = std::function<void(const TMessage&)>;

    explicit TQtMessageSink(TPresenter presenter = {}, QObject* parent = nullptr);

    void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) override;
    bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) override;

    // Shows every queued message now, in order (for a start-up that ends before the event loop runs).
    void Flush();
    size_t Pending() const { return Queue.size(); }

    static void DefaultPresenter(const TMessage& message);
    // A message's text as the box shows it: each line end, whether "\n\r", "\r\n", "\n" or "\r", one "\n".
    static QString BoxText(const std::string& text);

protected:
    bool event(QEvent* event) override;

private:
    void PostFlush();

    TPresenter Presenter;
    std::deque<TMessage> Queue;
    bool FlushPosted = false;
    bool Flushing = false;
};

// Marks GL work on this thread (scopes nest). Messages raised inside wait for the event loop.
class TGLWorkScope {
public:
    TGLWorkScope();
    ~TGLWorkScope();
    TGLWorkScope(const TGLWorkScope&) = delete;
    TGLWorkScope& operator=(const TGLWorkScope&) = delete;

    static bool Active();
};
