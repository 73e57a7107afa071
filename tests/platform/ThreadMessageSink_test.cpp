// A worker thread's own message sink: what it raises stays with it, the other threads keep the process-wide
// sink, and the guard gives the thread back what it had.
#include "platform/MessageSink.h"
#include "platform/ThreadMessageSink.h"

#include <gtest/gtest.h>

#include <thread>

TEST(ThreadMessageSink, AThreadsOwnSinkKeepsItsMessagesFromTheProcessWideOne) {
    TRecordingMessageSink process, worker, inner;
    TMessageSinkGuard processGuard(process);
    worker.NextAnswer = false;
    std::thread thread([&] {
        TThreadMessageSinkGuard guard(worker);
        ShowMessage("from the worker");
        EXPECT_FALSE(AskYesNo("overwrite?"));
        {
            TThreadMessageSinkGuard nested(inner);
            ShowMessage("nested");
        }
        ShowMessage("after the nested guard");
    });
    thread.join();
    ShowMessage("from the main thread");

    ASSERT_EQ(worker.Entries.size(), 3u);
    EXPECT_EQ(worker.Entries[0].Text, "from the worker");
    EXPECT_TRUE(worker.Entries[1].Question);
    EXPECT_EQ(worker.Entries[2].Text, "after the nested guard");
    ASSERT_EQ(inner.Entries.size(), 1u);
    ASSERT_EQ(process.Entries.size(), 1u);
    EXPECT_EQ(process.Entries[0].Text, "from the main thread");
}
