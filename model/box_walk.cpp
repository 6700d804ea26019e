#include "model/box_walk.h"

#include <exception>
#include <system_error>
#include <thread>

#include "model/converter.h"
#include "model/entity.h"
#include "model/limits.h"

bool BoxIsReadOnly(const TkrDXFEntity& e) {
    // An insert keeps its converter until its lookup has run (see
    // TkrDXFInsert::Resolve).
    return !(e.Is(TEntityClass::Insert) && e.Converter);
}

bool WalkInHalves(TkrDXFConverter& conv, size_t n,
                  const std::function<bool(size_t, size_t, int, TBoundHits&)>& walk) {
    if (!conv.FinishOnThread || n < kSplitWalkMin) return false;
    const size_t mid = n / 2;
    TBoundHits hits[2];
    bool done[2] = {false, false};
    std::exception_ptr error;
    std::thread second;
    try {
        second = std::thread([&] {
            try {
                done[1] = walk(mid, n, 1, hits[1]);
            } catch (...) {
                error = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        return false;  // no thread to be had: walked in one go
    }
    // A box read counts nothing but unsound boxes (the walks stop before any
    // other entity), so only that count is added.
    auto count = [&] { conv.Bounds.UnsoundEntities += hits[0].UnsoundEntities + hits[1].UnsoundEntities; };
    try {
        done[0] = walk(0, mid, 0, hits[0]);
    } catch (...) {
        second.join();
        count();
        throw;
    }
    second.join();
    count();
    if (error) std::rethrow_exception(error);
    return done[0] && done[1];
}
