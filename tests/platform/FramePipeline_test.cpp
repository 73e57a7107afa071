// The three-stage frame run: every item in order through both sides, buffers going round instead of being
// made anew, and a side that throws ending the run without losing what came before it or hanging.
#include "platform/FramePipeline.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <vector>

namespace {

struct TItem {
    int Value = -1;
    std::vector<int> Buffer; // stands for a frame's pixels
};

using TPipe = TFramePipeline<TItem, TItem>;

} // namespace

TEST(FramePipeline, EveryItemPassesBothSidesInOrderWithBuffersGoingRound) {
    constexpr int kCount = 200;
    int next = 0;
    std::set<const int*> buffersRead;
    std::vector<int> written;
    {
        TPipe pipe(
            [&](TItem& item) {
                if (next == kCount) return false;
                if (item.Buffer.empty()) item.Buffer.resize(1000);
                buffersRead.insert(item.Buffer.data());
                item.Value = next++;
                return true;
            },
            [&](TItem& item) { written.push_back(item.Value); }, 2);
        TItem in, out;
        while (pipe.Next(in)) {
            out.Value = in.Value * 10;
            pipe.Write(out);
        }
        EXPECT_FALSE(pipe.Next(in)) << "the end stays the end";
        pipe.Finish();
        ASSERT_EQ(written.size(), size_t(kCount));
    }
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(written[size_t(i)], i * 10) << i;
    // The queue of 2, the reader's item and the caller's: no new buffer per item.
    EXPECT_LE(buffersRead.size(), 5u);
}

TEST(FramePipeline, ASideThatThrowsEndsTheRunAfterWhatCameBeforeIt) {
    struct TCase {
        const char* Name;
        int ReadThrowsAt;  // -1: never
        int WriteThrowsAt; // -1: never
    };
    for (const TCase c : {TCase{"read", 5, -1}, TCase{"write", -1, 3}, TCase{"write at the last", -1, 9}}) {
        SCOPED_TRACE(c.Name);
        int next = 0;
        std::vector<int> written;
        TPipe pipe(
            [&](TItem& item) {
                if (next == c.ReadThrowsAt) throw std::runtime_error("cannot decode");
                if (next == 10) return false;
                item.Value = next++;
                return true;
            },
            [&](TItem& item) {
                if (item.Value == c.WriteThrowsAt) throw std::runtime_error("disk full");
                written.push_back(item.Value);
            });
        std::vector<int> taken;
        std::string error;
        try {
            TItem item;
            while (pipe.Next(item)) {
                taken.push_back(item.Value);
                pipe.Write(item);
            }
            pipe.Finish();
        } catch (const std::runtime_error& e) {
            error = e.what();
        }
        if (c.ReadThrowsAt >= 0) {
            EXPECT_EQ(error, "cannot decode");
            EXPECT_EQ(taken, (std::vector<int>{0, 1, 2, 3, 4})) << "every item read before the failure";
            EXPECT_NO_THROW(pipe.Finish()) << "what was read can still be written";
            EXPECT_EQ(written, taken);
        } else {
            EXPECT_EQ(error, "disk full");
            std::vector<int> before;
            for (int i = 0; i < c.WriteThrowsAt; ++i)
                before.push_back(i);
            EXPECT_EQ(written, before) << "nothing written after the failure";
            TItem more;
            EXPECT_THROW(pipe.Write(more), std::runtime_error) << "the failure stays";
            EXPECT_THROW(pipe.Finish(), std::runtime_error);
        }
    }
}

TEST(FramePipeline, DestroyedMidRunItStopsBothSides) {
    // The reader is left blocked on a full queue and the writer idle, or in the middle of the run.
    for (int taken : {0, 3}) {
        int next = 0;
        TPipe pipe(
            [&](TItem& item) {
                item.Value = next++;
                return true; // never ends by itself
            },
            [](TItem&) {});
        TItem item;
        for (int i = 0; i < taken; ++i) {
            ASSERT_TRUE(pipe.Next(item));
            pipe.Write(item);
        }
    }
}
