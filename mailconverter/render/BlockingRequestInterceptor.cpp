#include "mailconverter/render/BlockingRequestInterceptor.h"

#include "mailconverter/render/MessageScheme.h"

#include <QWebEngineUrlRequestInfo>

namespace tessaly {
namespace {

constexpr qsizetype kMaxRecordedUrls = 1000;

bool isAllowedScheme(const QString &scheme)
{
    return scheme == QLatin1String(kMessageScheme) || scheme == QLatin1String("data") ||
           scheme == QLatin1String("about");
}

} // namespace

void BlockingRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    if (isAllowedScheme(url.scheme()))
        return;
    info.block(true);
    // A hostile message may ask for thousands of URLs; the first ones tell the story.
    if (m_blocked.size() < kMaxRecordedUrls)
        m_blocked.append(url.toString());
}

QStringList BlockingRequestInterceptor::takeBlockedUrls()
{
    return std::exchange(m_blocked, {});
}

} // namespace tessaly
