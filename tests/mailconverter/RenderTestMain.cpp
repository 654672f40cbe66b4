// Runs the rendering tests inside one Qt application, so that Qt WebEngine starts once.
#include "MessageScheme.h"
#include "PdfProbe.h"
#include "WebEngineRenderer.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {
std::unique_ptr<tessaly::WebEngineRenderer> sharedRenderer;
} // namespace

tessaly::WebEngineRenderer &tessaly::test::sharedWebEngineRenderer()
{
    if (!sharedRenderer)
        sharedRenderer = std::make_unique<tessaly::WebEngineRenderer>();
    return *sharedRenderer;
}

int main(int argc, char **argv)
{
    // Headless, as root on CI: no display, no sandbox, no GPU.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");

    tessaly::prepareMailConverterApplication();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The shared renderer must go before the web engine shuts down with the application.
    sharedRenderer.reset();
    return result;
}
