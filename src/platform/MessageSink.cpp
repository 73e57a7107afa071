#include "platform/MessageSink.h"

#include "platform/ThreadMessageSink.h"

#include <cstdio>

namespace {
TStderrMessageSink StderrSink;
IMessageSink* CurrentSink = &StderrSink;
} // namespace

void TStderrMessageSink::ShowMessage(const std::string& text, const std::string& caption, TMessageIcon) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

bool TStderrMessageSink::AskYesNo(const std::string& text, const std::string& caption, TMessageIcon) {
    std::fprintf(stderr, "%s: %s (answered No)\n", caption.c_str(), text.c_str());
    return false;
}

void TRecordingMessageSink::ShowMessage(const std::string& text, const std::string& caption,
                                        TMessageIcon icon) {
    Entries.push_back({text, caption, icon, false});
}

bool TRecordingMessageSink::AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) {
    Entries.push_back({text, caption, icon, true});
    return NextAnswer;
}

void SetMessageSink(IMessageSink* sink) {
    CurrentSink = sink ? sink : &StderrSink;
}

IMessageSink& MessageSink() {
    // A worker thread's own sink wins over the process-wide one.
    IMessageSink* own = ThreadMessageSink();
    return own ? *own : *CurrentSink;
}

void ShowMessage(const std::string& text, const std::string& caption, TMessageIcon icon) {
    MessageSink().ShowMessage(text, caption, icon);
}

bool AskYesNo(const std::string& text, const std::string& caption, TMessageIcon icon) {
    return MessageSink().AskYesNo(text, caption, icon);
}

TMessageSinkGuard::TMessageSinkGuard(IMessageSink& sink) : Previous(CurrentSink) {
    SetMessageSink(&sink);
}

TMessageSinkGuard::~TMessageSinkGuard() {
    SetMessageSink(Previous);
}
