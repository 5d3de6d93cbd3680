#pragma once

#include "connection/Endpoints.h"

#include <QObject>
#include <QString>
#include <functional>

namespace q48 {

class Discovery;
class LinkCore;
class UserPrompts;

// The one connect/disconnect button: opens the link to the device discovery found, closes
// it again, and turns a link that fails or drops back into a running search.
class ConnectionManager : public QObject {
    Q_OBJECT
public:
    ConnectionManager(LinkCore &link, Discovery &discovery, UserPrompts &prompts,
                      const DiscoveryEndpoints &endpoints, std::function<void()> onLinkUp,
                      QObject *parent = nullptr);

    void connectButtonClick();
    // At shutdown: closes and deletes the link without restarting the search.
    void releaseLink();

    bool ledActive() const { return m_ledActive; }
    QString caption() const { return m_caption; }
    // The link has come up and not gone down since.
    bool isConnected() const { return m_linkUp; }

signals:
    void ledChanged(bool on);
    void captionChanged(const QString &caption);

private:
    void linkCameUp();
    void linkWentDown();
    void linkFailed(const QString &reason);
    void scheduleLostLink();
    void handleLostLink(quint64 generation);
    void disconnectAndSearch();
    void setLedActive(bool on);
    void setCaption(const QString &caption);
    void showLinkDown(bool linkWasUp);
    QString failureText(bool linkWasUp) const;

    LinkCore &m_link;
    Discovery &m_discovery;
    UserPrompts &m_prompts;
    const DiscoveryEndpoints m_endpoints;
    std::function<void()> m_onLinkUp;

    bool m_ledActive = false;
    QString m_caption = QStringLiteral("Connect");
    bool m_linkUp = false;    // since the last linkUp
    bool m_everUp = false;    // the current link object came up at least once
    bool m_releasing = false; // our own close is running; its down events are expected
    bool m_lostPending = false;
    quint64 m_generation = 0; // one per link object, so a late event cannot hit the next link
    int m_targetKind = 0;
    QString m_targetName; // port name or address, as the user sees it
    QString m_lostReason;
    int m_serialError = 0; // QSerialPort::SerialPortError of a failed open
};

} // namespace q48
