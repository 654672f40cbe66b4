// The URL scheme under which the renderer serves each message's document and inline parts.
#include "MessageScheme.h"

#include <QWebEngineUrlScheme>

namespace tessaly {

void registerMailConverterUrlScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;

    QWebEngineUrlScheme scheme(kMessageScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    // Secure so that the page is not "mixed content"; nothing marks it local, so a message
    // can never reach file:// through it.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

} // namespace tessaly
