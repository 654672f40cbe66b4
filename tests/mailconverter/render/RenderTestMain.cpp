// Runs the rendering tests inside one Qt application, so that Qt WebEngine starts once.
#include "mailconverter/render/MessageScheme.h"
#include "mailconverter/render/PdfMailConverter.h"
#include "mailconverter/render/WebEngineRenderer.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {
std::unique_ptr<tessaly::WebEngineRenderer> sharedRenderer;
std::unique_ptr<tessaly::PdfMailConverter> sharedConverter;
} // namespace

tessaly::WebEngineRenderer &tessaly::test::sharedWebEngineRenderer()
{
    if (!sharedRenderer)
        sharedRenderer = std::make_unique<tessaly::WebEngineRenderer>();
    return *sharedRenderer;
}

tessaly::PdfMailConverter &tessaly::test::sharedPdfMailConverter()
{
    if (!sharedConverter)
        sharedConverter = std::make_unique<tessaly::PdfMailConverter>();
    return *sharedConverter;
}

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as ctest's discovery does at build time) needs no display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    tessaly::prepareHeadlessMailConverterApplication();
    QGuiApplication app(argc, argv);
    const int result = RUN_ALL_TESTS();
    // The shared renderer and converter must go before the web engine shuts down with the application.
    sharedConverter.reset();
    sharedRenderer.reset();
    return result;
}
