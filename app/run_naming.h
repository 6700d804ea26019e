// How a run that converts several files at once gives the outputs their
// names once a file's turn has come (see app/parallel_run.cpp): by probing
// the folder as a run one file after the other does, or by the names a
// shard planned.
#pragma once

#include <cstddef>
#include <string>

#include "app/output_names.h"

class TRunNaming {
public:
    virtual ~TRunNaming() = default;
    // File k of the run's list (entry) has its turn; toConvert: the outputs
    // its load planned (0 when it was not loaded). Returns an error that ends
    // the file before any of its outputs is named, or "".
    virtual std::string Begin(size_t k, const std::string& entry, int toConvert) = 0;
    // The path of the file's next output; raises EOutputNameError when it
    // has none.
    virtual std::string Next() = 0;
    // A text file an error ended keeps the lines written so far under its
    // name (false: it is removed).
    virtual bool KeepPartial() const = 0;
    // A file already at the name with exactly the output's bytes counts as
    // the output (false: the name was free when it was chosen; when it is
    // taken after all, the file ends with an error).
    virtual bool AcceptIdentical() const = 0;
    // File k's place in the whole job list (called from any thread).
    virtual size_t Job(size_t k) const = 0;
};

// The names of a run one file after the other: the first free name in the
// folder when the output is named.
class TProbeNaming : public TRunNaming {
public:
    TProbeNaming(TOutputNamer& namer, const std::string& folder, TOutputForm form)
        : Namer(namer), Folder(folder), Form(form) {}
    std::string Begin(size_t, const std::string& entry, int) override {
        Entry = entry;
        return {};
    }
    std::string Next() override { return Namer.Next(Folder, Entry, Form); }
    bool KeepPartial() const override { return true; }
    bool AcceptIdentical() const override { return false; }
    size_t Job(size_t k) const override { return k; }

private:
    TOutputNamer& Namer;
    const std::string& Folder;
    TOutputForm Form;
    std::string Entry;
};
