// FramePipeline.h: TFramePipeline, a run of frames in three stages on three threads: read ahead on one
// (decoding), written behind on another (files, encoders), so that the thread in the middle, the one that
// holds the GL context, only draws. Each side holds at most Depth items, and items travel by swapping with
// the caller's, so their buffers go round instead of being made for every frame.
// A stage that throws ends the run: the read side's exception comes out of Next once the items read before
// it have been taken, the write side's out of every Write and Finish after it; the items behind it are
// dropped.
// Next, Write and Finish from one thread.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

template <class TIn, class TOut> class TFramePipeline {
public:
    // Fills the next item (its buffers are those of an item taken earlier, or new); false at the end.
    using TRead = std::function<bool(TIn& item)>;
    using TWrite = std::function<void(TOut& item)>;

    TFramePipeline(TRead read, TWrite write, size_t depth = 2)
        : Read(std::move(read)), Write_(std::move(write)), Depth(depth < 1 ? 1 : depth) {
        Reader = std::thread([this] { ReadLoop(); });
        Writer = std::thread([this] { WriteLoop(); });
    }
    // Stops both sides; what is still queued is dropped.
    ~TFramePipeline() {
        {
            std::lock_guard lock(Mutex);
            Stopping = true;
        }
        Changed.notify_all();
        Reader.join();
        Writer.join();
    }
    TFramePipeline(const TFramePipeline&) = delete;
    TFramePipeline& operator=(const TFramePipeline&) = delete;

    // The next item read into item, waiting for it (item's old content goes back to the reader to be
    // filled again); false at the end of the run.
    bool Next(TIn& item) {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return !ReadQueue.empty() || ReadEnded; });
        if (ReadQueue.empty()) {
            if (ReadError) std::rethrow_exception(ReadError);
            return false;
        }
        std::swap(item, ReadQueue.front());
        ReadSpares.push_back(std::move(ReadQueue.front()));
        ReadQueue.pop_front();
        lock.unlock();
        Changed.notify_all();
        return true;
    }

    // item to be written, waiting while Depth items wait for the writer; item comes back holding one
    // already written (or a new one), to be filled again.
    void Write(TOut& item) {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return WriteQueue.size() < Depth || WriteError; });
        if (WriteError) std::rethrow_exception(WriteError);
        WriteQueue.push_back(std::move(item));
        item = WriteSpares.empty() ? TOut() : std::move(WriteSpares.front());
        if (!WriteSpares.empty()) WriteSpares.pop_front();
        lock.unlock();
        Changed.notify_all();
    }

    // Waits until every item handed to Write is written.
    void Finish() {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [this] { return (WriteQueue.empty() && !Writing) || WriteError; });
        if (WriteError) std::rethrow_exception(WriteError);
    }

private:
    void ReadLoop() {
        for (;;) {
            TIn item;
            {
                std::unique_lock lock(Mutex);
                Changed.wait(lock, [this] { return ReadQueue.size() < Depth || Stopping; });
                if (Stopping) return;
                if (!ReadSpares.empty()) {
                    item = std::move(ReadSpares.front());
                    ReadSpares.pop_front();
                }
            }
            bool more = false;
            std::exception_ptr error;
            try {
                more = Read(item);
            } catch (...) {
                error = std::current_exception();
            }
            {
                std::lock_guard lock(Mutex);
                if (more) ReadQueue.push_back(std::move(item));
                ReadEnded = !more;
                ReadError = error;
            }
            Changed.notify_all();
            if (!more) return;
        }
    }

    void WriteLoop() {
        std::unique_lock lock(Mutex);
        for (;;) {
            Changed.wait(lock, [this] { return !WriteQueue.empty() || Stopping; });
            if (Stopping) return;
            TOut item = std::move(WriteQueue.front());
            WriteQueue.pop_front();
            Writing = true;
            lock.unlock();
            std::exception_ptr error;
            try {
                Write_(item);
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            Writing = false;
            WriteSpares.push_back(std::move(item));
            if (error) {
                WriteError = error;
                WriteQueue.clear();
                Changed.notify_all();
                Changed.wait(lock, [this] { return Stopping; });
                return;
            }
            Changed.notify_all();
        }
    }

    TRead Read;
    TWrite Write_;
    const size_t Depth;

    std::mutex Mutex;
    std::condition_variable Changed;
    std::deque<TIn> ReadQueue, ReadSpares;
    std::deque<TOut> WriteQueue, WriteSpares;
    bool ReadEnded = false;
    bool Writing = false;
    bool Stopping = false;
    std::exception_ptr ReadError, WriteError;

    std::thread Reader, Writer;
};
