// The job list: the ordered drawing files of a conversion run, kept in a
// TDynaArray, and what the window's list box shows of it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A growable array with a cursor: Cursor is the index of the current element
// or -1 when there is none, and Current() always refers to that element.
// (The capacity steps of a hand-grown array are left to std::vector.)
//
// Cursor rules: Add and Insert leave the cursor on the same element;
// Delete of an element before the cursor moves the cursor down with its
// element, Delete of the current element leaves no current element (-1);
// Clear leaves none.
template <class T>
class TDynaArray {
public:
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    bool Empty() const { return Items.empty(); }
    const T& operator[](int32_t i) const { return Items.at(static_cast<size_t>(i)); }
    T& operator[](int32_t i) { return Items.at(static_cast<size_t>(i)); }
    const std::vector<T>& Elements() const { return Items; }

    // Appends an element; returns its index.
    int32_t Add(T value) {
        Items.push_back(std::move(value));
        return Count() - 1;
    }

    // Removes the element at index (ignored when out of range).
    void Delete(int32_t index) {
        if (index < 0 || index >= Count()) return;
        Items.erase(Items.begin() + index);
        if (Cursor == index)
            Cursor = -1;
        else if (Cursor > index)
            --Cursor;
    }

    void Clear() {
        Items.clear();
        Cursor = -1;
    }

    // Makes the element at index current; an index out of range leaves no
    // current element.
    void SetCursor(int32_t index) { Cursor = (index >= 0 && index < Count()) ? index : -1; }
    int32_t GetCursor() const { return Cursor; }
    // The current element, or nullptr when there is none.
    const T* Current() const { return Cursor >= 0 ? &Items[static_cast<size_t>(Cursor)] : nullptr; }

    auto begin() const { return Items.begin(); }
    auto end() const { return Items.end(); }

private:
    std::vector<T> Items;
    int32_t Cursor = -1;
};

// The job list: full paths of drawing files in run order; duplicates allowed.
using TJobList = TDynaArray<std::string>;

class TPrefFolders;

// What the job list box shows (UpdateListBox): the file name part of each
// entry in order, the remove button enabled exactly when the list is not
// empty, and the first item selected when there is one (ItemIndex -1 when
// the list is empty).
struct TJobListView {
    std::vector<std::string> Items;
    bool DelBtnEnabled = false;
    int32_t ItemIndex = -1;
};
TJobListView UpdateListBox(const TJobList& jobs);

// Removes the entries at the selected display positions (display positions
// and list positions coincide), from the last to the first so the positions
// still to go stay valid. Positions out of range and repeated positions are
// ignored.
void DeleteSelected(TJobList& jobs, std::vector<int32_t> selected);

// Adds files chosen in the file browser (AddBtnClick): for each name, in the
// given order, the folder (with '/' appended when missing) becomes the top
// favourite and folder + name is appended to the job list.
void AddFiles(TJobList& jobs, TPrefFolders& prefs, const std::string& folder,
              const std::vector<std::string>& names);
