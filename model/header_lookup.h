// The header variables the drawing asks for, found while the text streams
// past the reader. The reader holds only a window of the file, so a variable
// cannot be searched for in the whole text when it is asked for; instead
// every byte the reader takes from the file goes through these lookups once.
//
// A lookup finds the first occurrence of the variable's name anywhere in the
// text, skips the rest of that line, then reads lines in pairs: a code line
// (an integer, 0 when it is none) and a value line. A code of 0 or 9 ends it
// with an empty result, the wanted code with that value line. In a binary
// file the name is searched after the sentinel, the rest of its string is
// skipped up to its NUL, and whole groups follow with the same rule; a group
// cut off by the end of the file ends it with an empty result.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

struct THeaderVariable {
    std::string_view Name;
    int Code;
};

// The variables the system reads from the header (each name starts with '$',
// which the search looks for). A pair not listed here has no value.
inline constexpr THeaderVariable kHeaderVariables[] = {
    {"$ACADVER", 1}, {"$MEASUREMENT", 70}, {"$LTSCALE", 40}, {"$DIMSCALE", 40}, {"$DIMASZ", 40}};
inline constexpr size_t kHeaderVariableCount = sizeof kHeaderVariables / sizeof kHeaderVariables[0];

class THeaderLookups {
public:
    // Starts over for a text of the given form.
    void Start(bool binary, bool wideCodes);
    // Takes the bytes of the text from offset at on. Bytes before the end of
    // what was taken so far are skipped, so the same bytes may come twice.
    void Feed(std::string_view bytes, size_t at);
    // The text ends after the bytes taken: every open lookup ends.
    void Finish();
    bool Done() const { return FOpen == 0; }
    bool Done(size_t i) const { return FItems[i].State == TState::Done; }
    // The end of the bytes taken so far.
    size_t FedTo() const { return FFed; }
    // The index of a listed pair, or kHeaderVariableCount.
    static size_t IndexOf(std::string_view name, int code);
    // The value found (empty while the lookup is open).
    const std::string& Result(size_t i) const { return FItems[i].Result; }

private:
    enum class TState : unsigned char { Searching, SkipLine, CodeLine, ValueLine, SkipToNul, Groups, Done };
    struct TItem {
        TState State = TState::Searching;
        size_t Pos = 0;         // the offset of the next byte this lookup reads
        bool AfterCR = false;   // the last line ended with CR: a LF right after it belongs to it
        bool Keep = false;      // the value line being read is the result
        std::string Line;       // the code line, the kept value line, or the binary group read so far
        size_t Tried = 0;       // binary: the size of Line when a group last did not fit
        std::string Result;
    };
    void Walk(TItem& item, size_t index, std::string_view bytes, size_t at);
    void WalkText(TItem& item, size_t index, std::string_view bytes);
    void WalkBinary(TItem& item, size_t index, bool atEnd);
    void End(TItem& item, std::string result = {});
    void Search(std::string_view bytes, size_t at);

    TItem FItems[kHeaderVariableCount];
    size_t FOpen = 0;
    size_t FFed = 0;
    bool FBinary = false, FWide = true;
    // The last bytes taken (a name may start in them and end in the next bytes).
    std::string FTail;
};
