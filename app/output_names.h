// Where the conversion run writes: the output folder and the name of each
// output file.
#pragma once

#include <string>

#include "app/settings.h"
#include "model/errors.h"

// The output folder is empty (and so is the program folder) or cannot be
// created: "Konnte den Ausgabeordner nicht erzeugen!".
class EOutputFolderError : public EkrError {
public:
    using EkrError::EkrError;
};

// No free output name was found within kMaxNameCounter tries.
class EOutputNameError : public EkrError {
public:
    using EkrError::EkrError;
};

// The output folder step of a run: the typed text, or the program folder when
// the text is empty, created with all missing parent folders, returned with a
// trailing '/'. Raises EOutputFolderError when both are empty, when creating
// fails, or when the path exists but is no folder.
std::string PrepareOutputFolder(const std::string& text, const std::string& programFolder);

// The base name of an entry: its file name part (after the last '/', '\' or
// ':') without its extension (from the last '.' on; plan.rev.dxf -> plan.rev,
// plan -> plan). See OutputFileName for the names that could leave the folder.
std::string OutputBaseName(const std::string& entry);

// The largest counter tried; a folder that already holds base.ext and
// base0.ext .. base<kMaxNameCounter>.ext gets no further file.
constexpr int kMaxNameCounter = 999999;

// The output path of an entry: outputFolder (ending in '/') + base name +
// ".dxf" (DXF form) or ".txt" (text form); while that path exists, base name
// + k + extension with k = 0, 1, 2, ... The first free candidate is returned,
// so an existing file is never overwritten. Anything at a candidate path,
// a dangling symbolic link too, counts as existing.
std::string OutputFileName(const std::string& outputFolder, const std::string& entry,
                           TOutputForm form);
