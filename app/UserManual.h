// Where the user manual is: installed next to the program, or in the source tree of a build.
#pragma once

#include <QString>
#include <QStringList>

namespace tessaly {

/// The places the manual may be, most likely first, for a program in `applicationDir`.
QStringList userManualCandidates(const QString &applicationDir);
/// The first candidate that exists, or "" when there is none.
QString findUserManual(const QStringList &candidates);

} // namespace tessaly
