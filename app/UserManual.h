// Where the user manual is: installed next to the program, or in the source tree of a build.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

namespace tessaly {

/// The places the manual may be, most likely first, for a program in `applicationDir`.
QStringList userManualCandidates(const QString &applicationDir);
/// The first candidate that exists, or "" when there is none.
QString findUserManual(const QStringList &candidates);

/// What Help says when the manual at `manualPath` ("" when none was found) cannot be opened.
std::string manualNotOpenedText(const std::string &manualPath);

} // namespace tessaly
