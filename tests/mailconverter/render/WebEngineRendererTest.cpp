#include "mailconverter/render/WebEngineRenderer.h"

#include "mailconverter/textpages/PageSetup.h"
#include "tests/mailconverter/render/PdfProbe.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QUrl>

#include <gtest/gtest.h>

using namespace tessaly;
using namespace tessaly::test;

namespace {

WebEngineRenderer &sharedRenderer()
{
    return sharedWebEngineRenderer();
}

Result<QByteArray> renderHtml(const QString &body, MessageResources resources = {},
                              const std::function<QString(const MessageHost &)> &bodyFor = {})
{
    WebEngineRenderer &renderer = sharedRenderer();
    const MessageHost host = renderer.openMessage();
    const QString html =
        QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>%1</body></html>")
            .arg(bodyFor ? bodyFor(host) : body);
    return renderer.render(host, html.toUtf8(), std::move(resources), defaultPageLayout());
}

} // namespace

TEST(WebEngineRenderer, InlineImagesComeFromTheMessageOnly)
{
    MessageResources resources;
    resources.insert(QStringLiteral("logo@example.com"),
                     MessageResource{"image/png", encodedImage(QSize(120, 40), Qt::darkBlue)});
    const Result<QByteArray> pdf = renderHtml({}, resources, [](const MessageHost &host) {
        return QStringLiteral("<p>Logo:</p><img src=\"%1%2\"><p>Missing:</p><img src=\"%1nothing%40here\">")
            .arg(host.resourceBase, QString::fromLatin1(QUrl::toPercentEncoding(QStringLiteral("logo@example.com"))));
    });
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    EXPECT_EQ(pdfImageSizes(pdf.value()), QList<QSize>{QSize(120, 40)});
}

TEST(WebEngineRenderer, OneMessageCannotReachAnotherMessagesParts)
{
    WebEngineRenderer &renderer = sharedRenderer();
    const MessageHost first = renderer.openMessage();
    const MessageHost second = renderer.openMessage();
    EXPECT_NE(first.host, second.host);

    MessageResources resources;
    resources.insert(QStringLiteral("a"), MessageResource{"image/png", encodedImage(QSize(50, 50), Qt::red)});
    // The second message's page asks for a part under the first message's host, which is
    // not being served, and under its own host, which has no such part.
    const QString html = QStringLiteral("<img src=\"%1a\"><p>text</p>").arg(first.resourceBase);
    const Result<QByteArray> pdf = renderer.render(second, html.toUtf8(), {}, defaultPageLayout());
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    EXPECT_FALSE(pdfImageSizes(pdf.value()).contains(QSize(50, 50)));
}

TEST(WebEngineRenderer, RemoteContentIsBlockedAndRecorded)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString origin = QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort());
    sharedRenderer().takeBlockedUrls();

    const QString body =
        QStringLiteral("<meta http-equiv=\"refresh\" content=\"0; url=%1/refresh\">"
                       "<link rel=\"stylesheet\" href=\"%1/style.css\">"
                       "<p style=\"background:url(%1/background.png)\">Tracked</p>"
                       "<img src=\"%1/pixel.gif\"><img src=\"file:///etc/hostname\">"
                       "<iframe src=\"%1/frame.html\"></iframe><object data=\"%1/object.swf\"></object>"
                       "<form action=\"%1/post\"><input name=q value=x></form>")
            .arg(origin);
    const Result<QByteArray> pdf = renderHtml(body);
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    QCoreApplication::processEvents();

    const QStringList blocked = sharedRenderer().takeBlockedUrls();
    EXPECT_TRUE(blocked.contains(origin + QStringLiteral("/pixel.gif")))
        << blocked.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(blocked.contains(origin + QStringLiteral("/style.css")));
    EXPECT_FALSE(server.hasPendingConnections()) << "a request reached the network";
    EXPECT_TRUE(pdfText(pdf.value()).contains(QStringLiteral("Tracked")));
}

TEST(WebEngineRenderer, AHugeTableRunsOverManyPagesToItsLastCell)
{
    QString table = QStringLiteral("<table border=1>");
    for (int row = 0; row < 1500; ++row) {
        table += QStringLiteral("<tr>");
        for (int column = 0; column < 12; ++column)
            table += QStringLiteral("<td>r%1c%2</td>").arg(row).arg(column);
        table += QStringLiteral("</tr>");
    }
    table += QStringLiteral("</table>");

    const Result<QByteArray> pdf = renderHtml(table);
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    EXPECT_TRUE(pdfText(pdf.value()).contains(QStringLiteral("r1499c11")));
    EXPECT_GT(pdfPageCount(pdf.value()), 10);
}

TEST(WebEngineRenderer, ImageClaimingTenBillionPixelsDoesNotTakeTheProcessDown)
{
    MessageResources resources;
    resources.insert(QStringLiteral("huge"), MessageResource{"image/png", pngHeaderClaiming(100000, 100000)});
    const Result<QByteArray> pdf = renderHtml({}, resources, [](const MessageHost &host) {
        return QStringLiteral("<img src=\"%1huge\"><p>after the image</p>").arg(host.resourceBase);
    });
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    EXPECT_TRUE(pdfText(pdf.value()).contains(QStringLiteral("after the image")));
}

TEST(WebEngineRenderer, PageThatTimedOutIsReplacedForTheNextMessage)
{
    WebEngineRenderer renderer;
    renderer.setTimeout(std::chrono::milliseconds(1));
    const MessageHost slow = renderer.openMessage();
    const Result<QByteArray> failed = renderer.render(slow, "<p>never printed</p>", {}, defaultPageLayout());
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().message.find("longer than"), std::string::npos);

    renderer.setTimeout(WebEngineRenderer::kDefaultTimeout);
    const MessageHost next = renderer.openMessage();
    const Result<QByteArray> pdf = renderer.render(next, "<p>second message</p>", {}, defaultPageLayout());
    ASSERT_TRUE(pdf.ok()) << pdf.error().message;
    EXPECT_TRUE(pdfText(pdf.value()).contains(QStringLiteral("second message")));
}
