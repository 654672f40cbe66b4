#include "mailconverter/render/EmojiFontConfig.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

namespace tessaly {
namespace {

// Chromium asks for a fallback for emoji as family "emoji" with colour wanted; fontconfig ranks
// colour above the family, so colour is not asked for, and Symbola comes first. The colour face
// stays in the sorted list, for the emoji Symbola lacks.
constexpr char kConfig[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">%1</include>
  <match target="pattern">
    <test qual="any" name="family"><string>emoji</string></test>
    <edit name="family" mode="prepend_first" binding="strong"><string>Symbola</string></edit>
    <edit name="color" mode="assign"><bool>false</bool></edit>
  </match>
</fontconfig>
)";

} // namespace

void preferOutlineEmoji()
{
    // Held for the whole process: fontconfig, Chromium's among them, reads the file at its start.
    static std::unique_ptr<QTemporaryDir> folder;
    if (folder)
        return;
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid())
        return;
    // Whatever configuration the process was given still holds, with the rule on top; but a
    // worker, running as another user, may inherit one it cannot read (its parent's own
    // temporary file), and would then have no fonts at all.
    QString base = qEnvironmentVariable("FONTCONFIG_FILE");
    if (base.isEmpty() || !QFileInfo(base).isReadable())
        base = QStringLiteral("/etc/fonts/fonts.conf");
    QFile file(folder->filePath(QStringLiteral("fonts.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QString::fromLatin1(kConfig).arg(base).toUtf8()) < 0 ||
        !file.flush())
        return;
    file.close();
    qputenv("FONTCONFIG_FILE", QFile::encodeName(file.fileName()));
}

} // namespace tessaly
