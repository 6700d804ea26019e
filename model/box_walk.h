// The walks over all entities of a big ENTITIES section that only read
// their boxes (the section's box when it is finished, the extents of its
// layouts), split in two halves that run at once on two processors when the
// load holds a spare one (FinishOnThread): one walk over 400 000 entities is
// some 20 ms that the drawing would otherwise wait for on one processor.
//
// The result is the same as that of one walk in entity order: a box grows
// only where a coordinate is strictly beyond it, so each bound is the first
// one met of its value (which decides between -0 and +0); the first half's
// box, grown by the second half's, keeps exactly that one. The unsound boxes
// are marked and counted once, by whichever half meets them.
#pragma once

#include <cstddef>
#include <functional>

class TkrDXFConverter;
class TkrDXFEntity;
struct TBoundHits;

// Lists shorter than this are walked in one go: starting a thread costs
// more than the walk saves.
constexpr size_t kSplitWalkMin = size_t(1) << 16;

// True when reading the box of e changes nothing: every entity but an
// insert whose block lookup still waits (its box resolves it, which may
// create a layer). A walk that meets another one stops and is run whole.
bool BoxIsReadOnly(const TkrDXFEntity& e);

// Runs walk(begin, end, half, hits) for both halves of [0, n), half 1 on a
// thread of its own, when the converter has a processor to spare and n is at
// least kSplitWalkMin. Each half counts into hits of its own, added to the
// converter's afterwards. False when it did not split, or when either half
// returned false (having met an entity that is not BoxIsReadOnly): then the
// caller walks the whole list itself; what the halves marked and counted
// stays and is not counted again.
bool WalkInHalves(TkrDXFConverter& conv, size_t n,
                  const std::function<bool(size_t begin, size_t end, int half, TBoundHits& hits)>& walk);
