// The pipe as the finishing of entities uses it: a maker that never waits,
// Wait between batches, and an error that ends using for good.
#include <gtest/gtest.h>

#include <future>
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
