// The URL scheme under which the renderer serves each message's document and inline parts.
#include "MessageScheme.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QWebEngineUrlScheme>

namespace tessaly {

void prepareMailConverterApplication()
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

    // WebEngine without Qt Quick still wants a shared OpenGL context, or it complains at start.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Its start-up report of graphics settings means nothing to our users.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
}

} // namespace tessaly
