// The group reader of a drawing: the file as a stream of groups (a code line
// and a value line, or a binary code and value in a binary DXF file). Of a
// file read from a stream it holds only a window (the current group and what
// follows it, a few megabytes at a time). The header variables the drawing
// asks for are found as the bytes pass through (model/header_lookup.h), and
// the names of the 0 groups that start entities are kept for EntityNameAt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/geometry.h"
#include "model/header_lookup.h"

// Bytes the reader takes from a stream at a time. The window holds the
// current group and the bytes after it: this much, or more for a longer line.
constexpr size_t kReadWindow = size_t(1) << 20;  // 1 MiB

class TDxfGroupReader {
public:
    TDxfGroupReader() = default;
    TDxfGroupReader(const TDxfGroupReader&) = delete;
    TDxfGroupReader& operator=(const TDxfGroupReader&) = delete;

    // Reading state. Position, GroupStart and TextEnd are offsets from the
    // start of the file; TextEnd (the size of the file) stays after loading.
    // Text is a whole text for Load, released by it.
    std::string Text;
    size_t Position = 0;
    size_t GroupStart = 0;
    size_t TextEnd = 0;
    // Bytes taken from a stream at a time (see kReadWindow), and the most
    // bytes the window held during the last load.
    size_t ReadWindow = kReadWindow;
    size_t WindowPeak = 0;
    int32_t LineNumber = 0;
    int32_t Code = 0;
    // The current value line: a view into the window (or onto the end
    // marker "SEQEND" once the text is exhausted), never a copy. Valid until
    // the next group is read: the window may move then.
    std::string_view Value;
    bool Loading = false;
    // The file is binary DXF (see model/binary_dxf.h); set by Load. The
    // group loop then takes its groups from the binary form, and a binary
    // number keeps its exact value (Value holds its text form).
    bool BinarySource = false;
    bool BinaryWideCodes = true;  // 16-bit group codes (release 13 and later)
    // Files of release AC1021 and later store their text in UTF-8 (the
    // header's $ACADVER tells), as do files that begin with a UTF-8
    // byte-order mark (Utf8Bom); texts and names are held in Windows-1252.
    bool Utf8Text = false;
    bool Utf8Bom = false;

    // The next group.
    void ReadGroup();
    bool TextExhausted() const { return Position >= TextEnd; }
    int64_t ProgressPosition() const { return TextEnd == 0 ? 0 : int64_t(Position); }

    // Group access for entities.
    double ValueAsFloat() const;
    int32_t ValueAsInt() const;
    TColorValue ValueAsColor() const;
    void ValueAsZ(TPoint3F& p) const { p.Z = float(ValueAsFloat()); }
    // The value as text in Windows-1252: decoded from UTF-8 for files that
    // store UTF-8, else the value itself. Valid until the next call or group.
    std::string_view TextValue() const;
    // The value as drawn text (see platform/codepage.h): Windows-1252 that
    // keeps the characters the code page lacks, for the strings texts draw.
    std::string_view DrawnTextValue() const;

    // The 0 group's name at an entity's SourceStart, as the file wrote it
    // (trimmed), in either form; empty when there is none. Answered from the
    // names RecordEntityName kept, since the text is gone after loading: id
    // is what it gave for the entity, pos the entity's SourceStart.
    std::string_view EntityName(uint16_t id, size_t pos) const;
    // Keeps the name of the current group for the entity starting there,
    // and gives its number in the table of names (kNoNameId: none). The
    // entity keeps the number; past the first kNameIdsKept names the number
    // is kNameAtPosition, and the name is looked up by position.
    uint16_t RecordEntityName();
    static constexpr uint16_t kNoNameId = UINT16_MAX;
    static constexpr uint16_t kNameAtPosition = UINT16_MAX - 1;
    static constexpr uint32_t kNameIdsKept = kNameAtPosition;

    // The value of a header variable listed in kHeaderVariables (empty for
    // any other, and when it does not occur): see model/header_lookup.h.
    std::string HeaderValue(std::string_view variable, int code) const;
    // The header variable read as a number (def when it is absent or not a
    // finite number), looked up once per drawing: leaders ask for their
    // arrow size one by one.
    double HeaderNumber(std::string_view variable, int code, double def);

protected:
    // The source of the next load: the whole Text, a text the caller keeps,
    // or the size bytes a stream holds from where it stands.
    void AttachText();
    void AttachView(std::string_view text);
    void AttachStream(std::istream& in, uint64_t size);
    // Starts reading the attached source from its first group: the form of
    // the file (binary, a UTF-8 byte-order mark), the header lookups, the
    // position and line count.
    void StartWindow();
    // Releases the window and the text once the load ends.
    void ReleaseWindow();
    // Reads on for the header lookups (one, or all with kHeaderVariableCount)
    // until they end, without moving the window.
    void FinishHeader(size_t lookup) const;
    // Forgets the names and header numbers of the drawing read before.
    void ClearReader();

private:
    // The group loop's binary source.
    void ReadBinaryGroup();
    // The window: the bytes of the file from FWindowStart on that are in
    // memory (the whole text, or FBuffer filled from FSource).
    bool Refill();
    bool ReadLineInWindow();
    void ReadLineAcrossWindow();
    std::string_view GroupNameAt(size_t pos) const;
    std::string_view FWindow;
    size_t FWindowStart = 0;
    std::unique_ptr<char[]> FBuffer;
    size_t FBufferSize = 0, FBufferCapacity = 0;
    std::istream* FSource = nullptr;
    // The code line of the current group read "0" exactly (after trimming).
    bool FPlainZero = false;
    std::streamoff FSourceStart = 0;
    mutable THeaderLookups FHeader;
    // HeaderNumber's values (NaN: absent or not a number).
    std::unordered_map<std::string, double> FHeaderNumbers;
    // Names of the 0 groups that started entities, and for the entities
    // whose name has no number of its own (kNameAtPosition) runs of
    // positions that share one (position of the first, name index).
    static constexpr uint32_t kNoName = UINT32_MAX;
    std::vector<std::string> FNames;
    std::unordered_map<std::string, uint32_t> FNameIds;
    std::vector<std::pair<uint32_t, uint32_t>> FNameRuns;
    uint32_t FRecentNames[8] = {kNoName, kNoName, kNoName, kNoName, kNoName, kNoName, kNoName, kNoName};
    // The value of the current binary group when it is a number; FValueText
    // holds the text form of numbers and chunks.
    enum class TNumberKind : uint8_t { None, Integer, Real } FNumberKind = TNumberKind::None;
    int64_t FInteger = 0;
    double FReal = 0;
    std::string FValueText;
    mutable std::string FDecoded;  // the last value TextValue decoded
};
