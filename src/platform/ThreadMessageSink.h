// ThreadMessageSink.h: a message sink for the calling thread alone, for the lifetime of the guard: a worker
// thread keeps what the code it runs raises (ShowMessage, AskYesNo) instead of reaching the GUI thread's
// message boxes. Other threads keep the process-wide sink.
#pragma once

class IMessageSink;

class TThreadMessageSinkGuard {
public:
    explicit TThreadMessageSinkGuard(IMessageSink& sink);
    ~TThreadMessageSinkGuard();
    TThreadMessageSinkGuard(const TThreadMessageSinkGuard&) = delete;
    TThreadMessageSinkGuard& operator=(const TThreadMessageSinkGuard&) = delete;

private:
    IMessageSink* Previous;
};

// The calling thread's own sink, or nullptr when it has none.
IMessageSink* ThreadMessageSink();
