#include "mailconverter/render/MessageScheme.h"

#include "mailconverter/render/EmojiFontConfig.h"

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
    preferOutlineEmoji();
}

void prepareHeadlessMailConverterApplication()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    prepareMailConverterApplication();
}

} // namespace tessaly
