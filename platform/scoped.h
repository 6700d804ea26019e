// Guards that put state back on every way out of a scope, an error passing
// included: the visits and drawing steps that change a layer, a flag, a
// context or a path for the time of a call.
#pragma once

#include <utility>

// Puts the variable back to the value it had when the guard was made.
template <class T>
class TScopedRestore {
public:
    explicit TScopedRestore(T& var) : FVar(var), FSaved(var) {}
    // Saves the value, then sets the variable to value for the scope.
    TScopedRestore(T& var, T value) : FVar(var), FSaved(var) { var = std::move(value); }
    TScopedRestore(const TScopedRestore&) = delete;
    TScopedRestore& operator=(const TScopedRestore&) = delete;
    ~TScopedRestore() { FVar = std::move(FSaved); }

private:
    T& FVar;
    T FSaved;
};

// Runs the given action at the end of the scope (for what is more than one
// variable put back: several fields, or a swap).
template <class F>
class TOnExit {
public:
    explicit TOnExit(F action) : FAction(std::move(action)) {}
    TOnExit(const TOnExit&) = delete;
    TOnExit& operator=(const TOnExit&) = delete;
    ~TOnExit() { FAction(); }

private:
    F FAction;
};
