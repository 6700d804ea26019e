// A growable list held by one pointer: its size and capacity live in front of
// the elements, in the same block. An entity object holds several lists that
// stay empty for most entities (the children of a circle, the vertices of an
// arc), so each costs 8 bytes of the object instead of a vector's 24. An
// empty list holds no block; clear() gives the block back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>

template <typename T>
class TCompactList {
    static_assert(alignof(T) <= 8, "elements are placed 8 bytes into the block");

public:
    using value_type = T;
    using iterator = T*;
    using const_iterator = const T*;

    TCompactList() = default;
    ~TCompactList() { clear(); }
    TCompactList(TCompactList&& o) noexcept : FBlock(std::exchange(o.FBlock, nullptr)) {}
    TCompactList& operator=(TCompactList&& o) noexcept {
        if (this != &o) {
            clear();
            FBlock = std::exchange(o.FBlock, nullptr);
        }
        return *this;
    }
    TCompactList(const TCompactList&) = delete;
    TCompactList& operator=(const TCompactList&) = delete;

    size_t size() const { return FBlock ? FBlock->Size : 0; }
    size_t capacity() const { return FBlock ? FBlock->Capacity : 0; }
    bool empty() const { return size() == 0; }

    T* data() { return FBlock ? Elements(FBlock) : nullptr; }
    const T* data() const { return FBlock ? Elements(FBlock) : nullptr; }
    T* begin() { return data(); }
    T* end() { return data() + size(); }
    const T* begin() const { return data(); }
    const T* end() const { return data() + size(); }
    T& operator[](size_t i) { return data()[i]; }
    const T& operator[](size_t i) const { return data()[i]; }
    T& front() { return data()[0]; }
    T& back() { return data()[size() - 1]; }
    const T& front() const { return data()[0]; }
    const T& back() const { return data()[size() - 1]; }

    void reserve(size_t n) {
        if (n > capacity()) Grow(n);
    }
    template <typename... A>
    T& emplace_back(A&&... args) {
        const size_t n = size();
        if (n == capacity()) Grow(n == 0 ? 1 : 2 * n);
        T* p = new (Elements(FBlock) + n) T(std::forward<A>(args)...);
        ++FBlock->Size;
        return *p;
    }
    void push_back(T&& v) { emplace_back(std::move(v)); }
    void push_back(const T& v) { emplace_back(v); }
    void pop_back() {
        back().~T();
        --FBlock->Size;
    }
    // Removes the element at it, moving the ones after it up; gives the
    // position after the removed one.
    T* erase(T* it) {
        T* last = end() - 1;
        for (T* p = it; p != last; ++p) *p = std::move(p[1]);
        pop_back();
        return it;
    }
    void clear() {
        if (!FBlock) return;
        std::destroy(begin(), end());
        Free(FBlock);
        FBlock = nullptr;
    }

private:
    struct THead {
        uint32_t Size;
        uint32_t Capacity;
    };
    static_assert(sizeof(THead) == 8);
    THead* FBlock = nullptr;

    static T* Elements(THead* h) { return reinterpret_cast<T*>(reinterpret_cast<char*>(h) + sizeof(THead)); }
    static const T* Elements(const THead* h) {
        return reinterpret_cast<const T*>(reinterpret_cast<const char*>(h) + sizeof(THead));
    }
    static void Free(THead* h) { ::operator delete(static_cast<void*>(h)); }

    void Grow(size_t n) {
        // (Sizes are 32-bit: every list the reader fills is bounded far below.)
        if (n > std::numeric_limits<uint32_t>::max() || n > (std::numeric_limits<size_t>::max() - sizeof(THead)) / sizeof(T))
            throw std::length_error("list too long");
        THead* h = static_cast<THead*>(::operator new(sizeof(THead) + n * sizeof(T)));
        h->Capacity = uint32_t(n);
        h->Size = 0;
        if (FBlock) {
            T* from = Elements(FBlock);
            T* to = Elements(h);
            static_assert(std::is_nothrow_move_constructible_v<T>);
            for (uint32_t i = 0; i < FBlock->Size; ++i) {
                new (to + i) T(std::move(from[i]));
                from[i].~T();
            }
            h->Size = FBlock->Size;
            Free(FBlock);
        }
        FBlock = h;
    }
};
