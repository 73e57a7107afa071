// The queue between the receiving threads and the GUI: newest value per target, order of targets kept,
// bounded under a flood.
#include "control/ControlQueue.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TControlCommand Param(int slot, const char* name, float value, int component = 0) {
    TControlCommand command;
    command.Kind = TControlCommand::TKind::SetParam;
    command.Slot = slot;
    command.Name = name;
    command.Component = component;
    command.Count = 1;
    command.Values[0] = value;
    return command;
}

TControlCommand Of(TControlCommand::TKind kind, int slot = 0) {
    TControlCommand command;
    command.Kind = kind;
    command.Slot = slot;
    return command;
}

TEST(ControlQueue, TheNewestValueOfATargetWinsAndMovesToTheEnd) {
    TControlQueue queue;
    bool wasEmpty = false;
    using K = TControlCommand::TKind;
    queue.Push(Param(1, "gain", 0.1f), wasEmpty);
    EXPECT_TRUE(wasEmpty);
    queue.Push(Of(K::SetPlugin, 1), wasEmpty);
    EXPECT_FALSE(wasEmpty);
    queue.Push(Param(1, "GAIN", 0.3f), wasEmpty);    // names compare without case: the same target
    queue.Push(Param(1, "gain", 0.5f, 1), wasEmpty); // another component
    queue.Push(Of(K::Tap), wasEmpty);
    queue.Push(Of(K::Tap), wasEmpty);
    queue.Push(Of(K::Play), wasEmpty);
    queue.Push(Of(K::Stop), wasEmpty); // transport: the last one asked for
    const std::vector<TControlCommand> taken = queue.Take();
    ASSERT_EQ(taken.size(), 6u);
    EXPECT_EQ(taken[0].Kind, K::SetPlugin) << "the plugin, then the value sent after it";
    EXPECT_EQ(taken[1].Values[0], 0.3f);
    EXPECT_EQ(taken[2].Component, 1);
    EXPECT_EQ(taken[3].Kind, K::Tap);
    EXPECT_EQ(taken[4].Kind, K::Tap);
    EXPECT_EQ(taken[5].Kind, K::Stop);
    EXPECT_TRUE(queue.Take().empty());
    queue.Push(Of(K::Tap), wasEmpty);
    EXPECT_TRUE(wasEmpty);
}

TEST(ControlQueue, AFloodStaysBoundedAndKeepsTheLastValue) {
    TControlQueue queue;
    std::thread sender([&queue] {
        bool wasEmpty = false;
        for (int i = 0; i < 200000; ++i)
            queue.Push(Param(1 + i % 8, "gain", float(i)), wasEmpty);
    });
    size_t most = 0;
    std::vector<TControlCommand> last;
    for (int turns = 0; turns < 1000000; ++turns) {
        std::vector<TControlCommand> taken = queue.Take();
        most = std::max(most, taken.size());
        if (!taken.empty()) last = std::move(taken);
        if (turns % 64 == 0 && !sender.joinable()) break;
        if (turns > 100 && queue.Dropped() == 0 && most <= 8 && last.size() &&
            last.back().Values[0] == 199999.0f)
            break;
    }
    sender.join();
    std::vector<TControlCommand> rest = queue.Take();
    if (!rest.empty()) last = std::move(rest);
    EXPECT_LE(most, 8u) << "one entry per target";
    ASSERT_FALSE(last.empty());
    EXPECT_EQ(last.back().Values[0], 199999.0f);

    // Targets without a key (taps) fill it up to its limit, then are dropped.
    bool wasEmpty = false;
    for (size_t i = 0; i < kControlQueueLimit + 10; ++i)
        queue.Push(Of(TControlCommand::TKind::Tap), wasEmpty);
    EXPECT_EQ(queue.Dropped(), 10u);
    EXPECT_EQ(queue.Take().size(), kControlQueueLimit);
}

} // namespace
