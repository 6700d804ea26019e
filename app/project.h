// The project file "*.KPJ": the job list and the conversion settings in a
// small little-endian binary record, and the project state of the main window
// (current project path, caption) that saving and opening change.
//
// Layout of the file, fields without gaps:
//   27 bytes  "Bramwick DXF 2 Plandrop 1.0" (no length, no terminator)
//   int32     N, the number of job list entries
//   N strings the entries' full paths, in list order
//   string    the output folder text
//   int32     layout choice (2 all layouts, 6 single layout)
//   int32     output form (1 simplified DXF, 2 text)
//   int32     layout number
// A string is an int32 byte length L followed by L bytes. Nothing follows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/joblist.h"
#include "app/settings.h"
#include "model/errors.h"

// The program title, first bytes of every project file and start of the
// window caption.
inline constexpr std::string_view kProgramTitle = "Bramwick DXF 2 Plandrop 1.0";

// A project file that cannot be written, opened or read. The message is the
// text the window shows in its error box.
// Reason says why in English, for the command line: the system's reason
// for a file that cannot be created or opened, or what is wrong with it.
class EProjectError : public EkrError {
public:
    explicit EProjectError(std::string message, std::string reason = {})
        : EkrError(std::move(message)), Reason(std::move(reason)) {}
    std::string Reason;
};

// The bytes of a project file for the job list and settings.
std::string EncodeProject(const TJobList& jobs, const TConvertSettings& settings);

// The caption text for a project path, or noname.kpj for none:
// "Bramwick DXF 2 Plandrop 1.0 - [name]".
std::string CaptionFor(const std::optional<std::string>& path);

class TProject {
public:
    TProject() { Setsavedfilename(std::nullopt); }

    // Writes the job list and settings to path. Raises EProjectError
    // ("KPJ Projekt Datei speichern: Konnte die folgende Datei nicht
    // erstellen: <name> !") when the file cannot be created or written;
    // then nothing else changes. On success the path becomes the current
    // project path.
    void SaveFile(const std::string& path);

    // Reads a project file. Entries without a folder part are joined to the
    // project file's folder. Raises EProjectError when the file cannot be
    // opened or does not start with the program title (nothing changes then),
    // or when its content is damaged: the job list has been emptied and keeps
    // the entries read so far, settings read so far are applied, and the
    // current project path is unchanged.
    void OpenFile(const std::string& path);

    // Stores the current project path (or none) and sets the caption.
    void Setsavedfilename(const std::optional<std::string>& path);

    // Makes every job list entry and the output folder absolute against
    // folder (the current folder of the caller), so that the project file
    // saved from them works from any folder.
    void MakeAbsolute(const std::string& folder);

    // Empties the job list.
    void DelallPics() { Jobs.Clear(); }

    // A new project (after the user confirmed): empty job list, no project
    // path; the settings keep their values.
    void NewProject();

    TJobList Jobs;
    TConvertSettings Settings;
    std::optional<std::string> ProjectPath;
    std::string Caption;
};
