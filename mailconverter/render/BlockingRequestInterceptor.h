// Blocks every request a message's page makes except for our own scheme, and records them.
#pragma once

#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>

namespace tessaly {

/// Lets through only the message scheme, data: and about:; everything else (http, https,
/// ftp, file, ws …) is blocked, so rendering a message never touches the network or disk.
class BlockingRequestInterceptor : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT

public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

    /// The URLs blocked since the last call, oldest first.
    QStringList takeBlockedUrls();

private:
    QStringList m_blocked;
};

} // namespace tessaly
