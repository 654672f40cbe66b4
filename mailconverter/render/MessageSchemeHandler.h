// Serves each message's document and inline parts under the message scheme, one host each.
#pragma once

#include "mailconverter/render/MessageScheme.h"

#include <QHash>
#include <QWebEngineUrlSchemeHandler>

namespace tessaly {

/// Holds the messages being rendered. "tessaly://<host>/message.html" is the document and
/// "tessaly://<host>/cid/<Content-ID>" its parts; a request for any other host or path
/// fails, so one message can never reach another's parts.
class MessageSchemeHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    /// Makes `html` (UTF-8) and `resources` available under `host` until `withdraw(host)`.
    void publish(const QString &host, QByteArray html, MessageResources resources);
    void withdraw(const QString &host);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

private:
    struct Published
    {
        QByteArray html;
        MessageResources resources;
    };
    QHash<QString, Published> m_messages;
};

/// The path of a message's document within its host.
inline constexpr char kDocumentPath[] = "/message.html";
/// The path prefix of a message's inline parts within its host.
inline constexpr char kResourcePathPrefix[] = "/cid/";

} // namespace tessaly
