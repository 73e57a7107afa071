#include "app/QtMessageSink.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMessageBox>

namespace {

const QEvent::Type kFlushEvent = static_cast<QEvent::Type>(QEvent::registerEventType());
int GLWorkDepth = 0;

QMessageBox::Icon BoxIcon(TMessageIcon icon) {
    switch (icon) {
    case TMessageIcon::Error:
        return QMessageBox::Critical;
    case TMessageIcon::Warning:
        return QMessageBox::Warning;
    case TMessageIcon::Information:
        return QMessageBox::Information;
    case TMessageIcon::Question:
        return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

} // namespace

TGLWorkScope::TGLWorkScope() {
    ++GLWorkDepth;
}

TGLWorkScope::~TGLWorkScope() {
    --GLWorkDepth;
}

bool TGLWorkScope::Active() {
    return GLWorkDepth > 0;
}

TQtMessageSink::TQtMessageSink(TPresenter presenter, QObject* parent)
    : QObject(parent), Presenter(presenter ? std::move(presenter) : TPresenter(&DefaultPresenter)) {}

QString TQtMessageSink::BoxText(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\n' && c != '\r') {
            shown += c;
            continue;
        }
        shown += '\n';
        // The other half of a pair belongs to the same line end.
        const char other = c == '\n' ? '\r' : '\n';
        if (i + 1 < text.size() && text[i + 1] == other) ++i;
    }
    return QString::fromStdString(shown);
}

void TQtMessageSink::DefaultPresenter(const TMessage& message) {
    QMessageBox box(BoxIcon(message.Icon), QString::fromStdString(message.Caption), BoxText(message.Text),
                    QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TQtMessageSink::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
    Queue.push_back({text, caption, icon});
    // Outside GL work and outside a flush the message is shown at once, after any that still wait, so
    // the order raised is the order shown.
    if (TGLWorkScope::Active() || Flushing)
        PostFlush();
    else
        Flush();
}

bool TQtMessageSink::AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) {
    QMessageBox box(BoxIcon(icon), QString::fromStdString(caption), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Yes;
}

void TQtMessageSink::PostFlush() {
    if (FlushPosted) return;
    FlushPosted = true;
    QCoreApplication::postEvent(this, new QEvent(kFlushEvent));
}

void TQtMessageSink::Flush() {
    // A box runs a nested loop, in which the posted flush may arrive: the outer flush goes on with the
    // queue, so one flush at a time keeps the order.
    if (Flushing) return;
    Flushing = true;
    while (!Queue.empty()) {
        const TMessage message = Queue.front();
        Queue.pop_front();
        Presenter(message);
    }
    Flushing = false;
}

bool TQtMessageSink::event(QEvent* event) {
    if (event->type() != kFlushEvent) return QObject::event(event);
    FlushPosted = false;
    // Still inside GL work (a flush posted from a nested loop that GL work runs): wait for the next turn.
    if (TGLWorkScope::Active())
        PostFlush();
    else
        Flush();
    return true;
}
