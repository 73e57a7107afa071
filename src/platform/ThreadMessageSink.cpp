#include "platform/ThreadMessageSink.h"

namespace {
thread_local IMessageSink* OwnSink = nullptr;
} // namespace

TThreadMessageSinkGuard::TThreadMessageSinkGuard(IMessageSink& sink) : Previous(OwnSink) {
    OwnSink = &sink;
}

TThreadMessageSinkGuard::~TThreadMessageSinkGuard() {
    OwnSink = Previous;
}

IMessageSink* ThreadMessageSink() {
    return OwnSink;
}
