// A small JSON writer for the command line's machine-readable output.
#pragma once

#include <string>
#include <string_view>

class TJsonWriter {
public:
    std::string Out;

    void BeginObject() { Sep(); Out += '{'; FFirst = true; }
    void EndObject() { Out += '}'; FFirst = false; }
    void BeginArray() { Sep(); Out += '['; FFirst = true; }
    void EndArray() { Out += ']'; FFirst = false; }
    void Key(std::string_view k);
    void String(std::string_view utf8);
    void Number(double v);
    void Integer(long long v);
    void Bool(bool v) { Sep(); Out += v ? "true" : "false"; }

private:
    bool FFirst = true;
    bool FAfterKey = false;
    void Sep();
};
