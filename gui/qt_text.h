// Text between the application core and the window. The core keeps file
// names and texts as bytes in the system's 8-bit encoding (UTF-8 here); the
// window shows them as QString. File names go through QFile's encoding, so a
// name that is no valid UTF-8 survives the round trip.
#pragma once

#include <QFile>
#include <QString>
#include <string>

inline QString Shown(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }
inline std::string Local(const QString& s) { return QFile::encodeName(s).toStdString(); }
