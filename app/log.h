// The message log the conversion run writes its lines to: the window's memo,
// standard output of the command line, or a list kept in memory. A log is
// only ever appended to, never cleared by the run.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class TLog {
public:
    virtual ~TLog() = default;
    // Appends one line (without line end).
    virtual void Append(const std::string& line) = 0;
};

// Writes each line followed by '\n' to a stream and flushes it, so a line is
// visible as soon as the run has written it.
class TStreamLog : public TLog {
public:
    explicit TStreamLog(std::ostream& out) : Out(out) {}
    void Append(const std::string& line) override;

private:
    std::ostream& Out;
};

// Keeps the lines in memory, in order.
class TMemoryLog : public TLog {
public:
    void Append(const std::string& line) override { Lines.push_back(line); }
    std::vector<std::string> Lines;
};
