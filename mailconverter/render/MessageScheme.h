// The URL scheme under which the renderer serves each message's document and inline parts.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace tessaly {

/// Our scheme's name: "tessaly://m<N>.messages.tessaly/…", one host per message.
inline constexpr char kMessageScheme[] = "tessaly";

/// Prepares the process for the converter: registers the message scheme with Qt WebEngine
/// and sets what WebEngine needs of the application. Must be called before the
/// QGuiApplication (or QApplication) is created; calling it twice is harmless.
void prepareMailConverterApplication();

/// prepareMailConverterApplication() for a process with no display and no user to see a
/// window: tests and benchmarks. Chooses the offscreen platform, no GPU and (for CI, which runs
/// as root) no sandbox, unless the environment already says otherwise.
void prepareHeadlessMailConverterApplication();

/// One part of a message that its body refers to, e.g. an inline image.
struct MessageResource
{
    QByteArray mimeType; ///< e.g. "image/png"
    QByteArray data;     ///< the decoded bytes
};

/// A message's inline parts, keyed by Content-ID without the angle brackets (or by
/// Content-Location for a part without one).
using MessageResources = QHash<QString, MessageResource>;

} // namespace tessaly
