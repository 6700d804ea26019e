// The pipe as the finishing of entities uses it: a maker that never waits,
// Wait between batches, and an error that ends using for good.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <limits>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/batch_pipe.h"

namespace {
struct TNumbers {
    std::vector<int> Values;
    void Clear() { Values.clear(); }
};
}  // namespace

TEST(BatchPipe, WaitUsesEverythingHandedOverOnTheSameThreadAndAnErrorStays) {
    std::promise<void> open;
    std::shared_future<void> gate = open.get_future().share();
    std::vector<int> seen;
    std::vector<std::thread::id> where;
    TPiecePipe<TNumbers> pipe(
        [&](const TNumbers& n) {
            gate.wait();
            for (int v : n.Values) {
                if (v < 0) throw std::runtime_error("bad piece");
                seen.push_back(v);
            }
            where.push_back(std::this_thread::get_id());
        },
        std::numeric_limits<std::size_t>::max());
    // Ten pieces while the using side is held: with no bound on the queue
    // the maker never waits (with the default bound of 3 this would hang).
    for (int i = 1; i <= 10; ++i) {
        TNumbers n{{i, 100 + i}};
        pipe.Push(n);
        EXPECT_TRUE(n.Values.empty());
    }
    open.set_value();
    pipe.Wait();
    std::vector<int> expected;
    for (int i = 1; i <= 10; ++i) expected.insert(expected.end(), {i, 100 + i});
    EXPECT_EQ(seen, expected);
    // The thread is kept: a piece after Wait is used by the same thread.
    TNumbers more{{11}};
    pipe.Push(more);
    pipe.Wait();
    EXPECT_EQ(seen.back(), 11);
    ASSERT_EQ(where.size(), 11u);
    for (const std::thread::id& id : where) EXPECT_EQ(id, where.front());
    EXPECT_NE(where.front(), std::this_thread::get_id());
    // An error ends using: it comes out of every Wait and of Finish, and the
    // pieces after it are dropped.
    TNumbers bad{{12, -1, 13}}, after{{14}};
    pipe.Push(bad);
    EXPECT_THROW(pipe.Wait(), std::runtime_error);
    pipe.Push(after);
    EXPECT_TRUE(after.Values.empty());
    EXPECT_THROW(pipe.Wait(), std::runtime_error);
    EXPECT_THROW(pipe.Finish(), std::runtime_error);
    EXPECT_EQ(seen.back(), 12);
}

// Side work runs on the using thread while no piece waits, a step at a time;
// once it has nothing to do it gets no step until it is woken, and none
// after Finish. The pieces are used in order all the same.
namespace {
class TCounting : public TSideWork {
public:
    bool Step() noexcept override {
        std::lock_guard<std::mutex> lock(Mutex);
        ++Steps;
        Where = std::this_thread::get_id();
        if (Units == 0) {
            ++Idle;
            Changed.notify_all();
            return false;
        }
        --Units;
        return true;
    }
    // Waits until every unit is done and the work has said it has none.
    void AwaitIdle(int idle) {
        std::unique_lock<std::mutex> lock(Mutex);
        Changed.wait(lock, [&] { return Units == 0 && Idle >= idle; });
    }
    std::mutex Mutex;
    std::condition_variable Changed;
    int Units = 0, Steps = 0, Idle = 0;
    std::thread::id Where;
};
}  // namespace

TEST(BatchPipe, SideWorkRunsBetweenPiecesUntilItHasNoneAndAgainOnceWoken) {
    TCounting side;
    side.Units = 1000;
    std::vector<int> seen;
    {
        TPiecePipe<TNumbers> pipe([&](const TNumbers& n) { seen.insert(seen.end(), n.Values.begin(), n.Values.end()); });
        pipe.ShareWith(side);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        {
            std::lock_guard<std::mutex> lock(side.Mutex);
            EXPECT_EQ(side.Steps, 0);  // nothing before the first wake
        }
        side.Wake();  // the thread starts without a piece
        side.AwaitIdle(1);
        // Idle: no step at all while nothing wakes it (a thread that kept
        // stepping would be counted here).
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        {
            std::lock_guard<std::mutex> lock(side.Mutex);
            EXPECT_EQ(side.Steps, 1001);
            EXPECT_EQ(side.Idle, 1);
            EXPECT_NE(side.Where, std::this_thread::get_id());
            side.Units = 500;
        }
        side.Wake();
        side.AwaitIdle(2);
        for (int i = 0; i < 20; ++i) {
            TNumbers n{{i}};
            pipe.Push(n);
        }
        pipe.Finish();
    }
    std::vector<int> expected(20);
    for (int i = 0; i < 20; ++i) expected[size_t(i)] = i;
    EXPECT_EQ(seen, expected);
    std::lock_guard<std::mutex> lock(side.Mutex);
    EXPECT_EQ(side.Units, 0);
    // Nothing is lost and nothing runs once the pipe is gone: waking then is
    // harmless.
    const int steps = side.Steps;
    side.Units = 5;
    side.Wake();
    EXPECT_EQ(side.Steps, steps);
}
