#include "mailconverter/render/EmojiFontConfig.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace tessaly {
namespace {

constexpr char kConfig[] = R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">%1</include>
  <selectfont>
    <rejectfont>
      <pattern><patelt name="family"><string>Noto Color Emoji</string></patelt></pattern>
    </rejectfont>
  </selectfont>
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
    // Whatever configuration the process was given still holds, with the rule on top.
    QString base = qEnvironmentVariable("FONTCONFIG_FILE");
    if (base.isEmpty())
        base = QStringLiteral("/etc/fonts/fonts.conf");
    QFile file(folder->filePath(QStringLiteral("fonts.conf")));
    if (!file.open(QIODevice::WriteOnly) || file.write(QString::fromLatin1(kConfig).arg(base).toUtf8()) < 0 ||
        !file.flush())
        return;
    file.close();
    qputenv("FONTCONFIG_FILE", QFile::encodeName(file.fileName()));
}

} // namespace tessaly
