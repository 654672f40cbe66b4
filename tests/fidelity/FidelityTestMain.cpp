// Runs the fidelity tests inside one Qt application, so that Qt WebEngine starts once.
#include "FidelityHarness.h"
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
    tessaly::prepareHeadlessMailConverterApplication();
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // The converter and the renderer must go before the web engine shuts down with the application.
    tessaly::test::releaseFidelityConverter();
    sharedRenderer.reset();
    return result;
}
