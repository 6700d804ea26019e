#include "app/shard_names.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <queue>
#include <stdexcept>
#include <utility>

#include "app/output_names.h"

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A counter as the names write it: "0", or digits without a leading zero.
bool IsCounter(const char* d, size_t n) { return n > 0 && (d[0] != '0' || n == 1); }

// Counters have at most this many digits (kMaxNameCounter).
constexpr size_t kCounterDigits = 6;
static_assert(kMaxNameCounter == 999999);
}  // namespace

TShardNames::TShardNames(std::vector<std::string> bases, std::string ext, std::function<int(size_t)> bound)
    : FBases(std::move(bases)), FExt(std::move(ext)), FBound(std::move(bound)) {
    FBounds.assign(FBases.size(), -1);
    FCounts.assign(FBases.size(), -1);
    FMine.assign(FBases.size(), 0);
    for (size_t k = 0; k < FBases.size(); ++k) {
        TBase& b = FByBase[FBases[k]];
        b.Jobs.push_back(k);
    }
    // Base names whose names can meet: one is the other followed by the
    // digits of a counter ("plan" and "plan0", "sheet1" and "sheet12"; not
    // "plan" and "plan01", whose names never meet).
    for (auto& [name, b] : FByBase) {
        size_t digits = 0;
        while (digits < name.size() && digits < kCounterDigits && IsDigit(name[name.size() - 1 - digits])) ++digits;
        for (size_t m = 1; m <= digits; ++m) {
            if (!IsCounter(name.data() + name.size() - m, m)) continue;
            auto shorter = FByBase.find(name.substr(0, name.size() - m));
            if (shorter == FByBase.end()) continue;
            b.Touching.push_back(shorter->first);
            shorter->second.Touching.push_back(name);
        }
    }
}

int TShardNames::Bound(size_t k) {
    if (FBounds[k] < 0) FBounds[k] = std::max(FBound(k), 0);
    return FBounds[k];
}

TShardNames::TBase* TShardNames::Find(const std::string& base) {
    auto it = FByBase.find(base);
    return it == FByBase.end() ? nullptr : &it->second;
}

size_t TShardNames::JobsBefore(TBase& b, size_t t) {
    return size_t(std::lower_bound(b.Jobs.begin(), b.Jobs.end(), t) - b.Jobs.begin());
}

int64_t TShardNames::BoundSum(TBase& b, size_t jobs) {
    if (b.BoundSums.empty()) b.BoundSums.push_back(0);
    while (b.BoundSums.size() <= jobs) b.BoundSums.push_back(b.BoundSums.back() + Bound(b.Jobs[b.BoundSums.size() - 1]));
    return b.BoundSums[jobs];
}

int64_t TShardNames::UBReach(TBase& b, size_t t) {
    const size_t n = JobsBefore(b, t);
    if (n == 0) return -1;
    if (b.Reach.empty()) b.Reach.assign(b.Jobs.size() + 1, -2);
    if (b.Reach[n] != -2) return b.Reach[n];
    const size_t last = b.Jobs[n - 1];
    int64_t sum = BoundSum(b, n);
    for (const std::string& other : b.Touching) {
        TBase& e = FByBase.at(other);
        sum += BoundSum(e, JobsBefore(e, last));
    }
    return b.Reach[n] = sum - 1;
}

template <class F>
void TShardNames::Givers(const std::string& stem, const std::string& self, F&& f) {
    if (stem != self)
        if (TBase* e = Find(stem)) f(stem, *e, 0);
    size_t digits = 0;
    while (digits < stem.size() && digits < kCounterDigits && IsDigit(stem[stem.size() - 1 - digits])) ++digits;
    for (size_t m = 1; m <= digits; ++m) {
        const char* d = stem.data() + stem.size() - m;
        if (!IsCounter(d, m)) continue;
        std::string base = stem.substr(0, stem.size() - m);
        if (base == self) continue;
        TBase* e = Find(base);
        if (!e) continue;
        int counter = 0;
        for (size_t i = 0; i < m; ++i) counter = counter * 10 + (d[i] - '0');
        f(base, *e, counter + 1);
    }
}

std::vector<size_t> TShardNames::Plan(const std::vector<size_t>& mine) {
    using TItem = std::pair<size_t, std::string>;  // need, base name
    std::priority_queue<TItem> queue;              // the largest need first
    for (size_t k : mine) {
        FMine[k] = 1;
        TBase& b = FByBase.at(FBases[k]);
        if (b.Need < k + 1) {
            b.Need = k + 1;
            queue.push({b.Need, FBases[k]});
        }
    }
    // A base name is planned when no other can raise its need any more: a
    // need set from a base name planned later is below that one's own, which
    // is at most the need being planned now.
    while (!queue.empty()) {
        auto [t, name] = queue.top();
        queue.pop();
        TBase& b = FByBase.at(name);
        if (b.Need != t || b.Planned >= t) continue;
        b.Planned = t;
        const size_t n = JobsBefore(b, t);
        // Only base names that touch this one can give its names: without
        // any, its own jobs' counts are all that matter (and no bound is
        // needed, so no file is read for one).
        if (n == 0 || b.Touching.empty()) continue;
        const size_t last = b.Jobs[n - 1];
        const int64_t reach = std::min<int64_t>(UBReach(b, t), kMaxProbeIndex);
        for (int p = 0; p <= reach; ++p) {
            // Every job of this base before t tests a name at index p (if it
            // gets that far) against the base names that can give it, as they
            // were before that job: at the latest, before the last one.
            Givers(CandidateStem(name, p), name, [&](const std::string& other, TBase& e, int q) {
                if (UBReach(e, last) < q || e.Need >= last) return;
                e.Need = last;
                queue.push({last, other});
            });
        }
    }
    std::vector<size_t> others;
    for (auto& [name, b] : FByBase)
        for (size_t i = 0; i < JobsBefore(b, b.Need); ++i) {
            FReplay.push_back(b.Jobs[i]);
            if (!FMine[b.Jobs[i]]) others.push_back(b.Jobs[i]);
        }
    std::sort(FReplay.begin(), FReplay.end());
    std::sort(others.begin(), others.end());
    return others;
}

bool TShardNames::SetCount(size_t k, int count) {
    // Nobody reasons with the bound of a base name no other touches.
    if (FByBase.at(FBases[k]).Touching.empty()) {
        FCounts[k] = std::max(count, 0);
        return true;
    }
    const int bound = Bound(k);
    FCounts[k] = std::clamp(count, 0, bound);
    return count <= bound;
}

bool TShardNames::Taken(const std::string& stem, const std::string& self, size_t j) {
    bool taken = false;
    Givers(stem, self, [&](const std::string&, TBase& e, int q) {
        if (taken || UBReach(e, j) < q) return;
        // Plan made sure this base's jobs before j were replayed.
        if (e.Need < j) throw std::logic_error("output names: a base name was not planned");
        // It has passed index q (or stopped at it): the name was taken, by it
        // or by another before it passed.
        if (e.Reached >= q) taken = true;
    });
    return taken;
}

void TShardNames::Replay(size_t j, std::vector<std::string>* names) {
    const std::string& name = FBases[j];
    TBase& b = FByBase.at(name);
    if (FCounts[j] < 0) throw std::logic_error("output names: a count is missing");
    int64_t p = b.Next;
    for (int o = 0; o < FCounts[j]; ++o) {
        while (p <= kMaxProbeIndex && Taken(CandidateStem(name, int(p)), name, j)) ++p;
        if (p > kMaxProbeIndex) break;  // no name left: the output fails, as does every later one
        if (names) names->push_back(CandidateStem(name, int(p)) + FExt);
        b.Reached = p++;
    }
    b.Next = p;
}

std::vector<std::string> TShardNames::Names(size_t k) {
    std::vector<std::string> names;
    bool found = false;
    while (FReplayed < FReplay.size() && FReplay[FReplayed] <= k) {
        const size_t j = FReplay[FReplayed++];
        found = j == k;
        Replay(j, found ? &names : nullptr);
    }
    if (!found) throw std::logic_error("output names: a job was named out of order");
    return names;
}

int LayoutBound(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f) return 0;
    static constexpr char kWord[] = "LAYOUT";
    static constexpr size_t kLen = sizeof kWord - 1;
    static constexpr size_t kChunk = 1 << 20;
    // The type name fills its line (ASCII) or its string (binary), so it
    // stands between line ends or NULs: "ACAD_LAYOUT" is no LAYOUT object.
    auto isEnd = [](char c) { return c == '\n' || c == '\r' || c == '\0'; };
    std::vector<char> buf(kChunk + kLen + 1);
    size_t kept = 0;  // bytes carried over from the chunk before
    bool first = true;
    int64_t count = 0;
    for (;;) {
        const size_t n = std::fread(buf.data() + kept, 1, kChunk, f.get());
        const size_t size = kept + n;
        const bool eof = n < kChunk;
        // Words start in [from, limit): each with the byte after it read
        // (or the end of the file), and the byte before it (or the start).
        const size_t from = first ? 0 : 1;
        const size_t limit = size >= kLen ? size - kLen + (eof ? 1 : 0) : 0;
        for (size_t at = from; at < limit; ++at) {
            const void* hit = std::memchr(buf.data() + at, 'L', limit - at);
            if (!hit) break;
            at = size_t(static_cast<const char*>(hit) - buf.data());
            if (std::memcmp(buf.data() + at, kWord, kLen) == 0 && (at == 0 || isEnd(buf[at - 1])) &&
                (at + kLen == size || isEnd(buf[at + kLen])))
                ++count;
        }
        if (eof) break;
        // limit >= 1 here (a whole chunk was read): carry the byte before it
        // and everything from it on.
        kept = size - (limit - 1);
        std::memmove(buf.data(), buf.data() + limit - 1, kept);
        first = false;
    }
    return int(std::min<int64_t>(count + 2, INT_MAX));
}
