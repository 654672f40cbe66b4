#include "mailconverter/render/MessageSchemeHandler.h"

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>

namespace tessaly {

void MessageSchemeHandler::publish(const QString &host, QByteArray html, MessageResources resources)
{
    m_messages.insert(host, Published{std::move(html), std::move(resources)});
}

void MessageSchemeHandler::withdraw(const QString &host)
{
    m_messages.remove(host);
}

void MessageSchemeHandler::requestStarted(QWebEngineUrlRequestJob *job)
{
    const QUrl url = job->requestUrl();
    const auto message = m_messages.constFind(url.host());
    if (message == m_messages.constEnd() || job->requestMethod() != "GET") {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }

    const QString path = url.path(QUrl::FullyDecoded);
    QByteArray mimeType;
    QByteArray data;
    if (path == QLatin1String(kDocumentPath)) {
        mimeType = "text/html;charset=utf-8";
        data = message->html;
    } else if (path.startsWith(QLatin1String(kResourcePathPrefix))) {
        const auto resource = message->resources.constFind(path.mid(qsizetype(std::strlen(kResourcePathPrefix))));
        if (resource == message->resources.constEnd()) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        mimeType = resource->mimeType;
        data = resource->data;
    } else {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }

    // The job owns the buffer; QByteArray shares the bytes, so this copies nothing.
    auto *buffer = new QBuffer(job);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    job->reply(mimeType, buffer);
}

} // namespace tessaly
