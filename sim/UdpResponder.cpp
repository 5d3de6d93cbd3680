#include "UdpResponder.h"

#include "CommandCodes.h"
#include "DeviceFrames.h"
#include "Mixer.h"

#include <QNetworkDatagram>

namespace q48::sim {

UdpResponder::UdpResponder(Mixer &mixer, quint16 tcpPort, QObject *parent)
    : QObject(parent), mixer_(mixer), tcpPort_(tcpPort)
{
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpResponder::onReadyRead);
}

bool UdpResponder::bind(const QHostAddress &address, quint16 port, QString *error)
{
    if (!socket_.bind(address, port)) {
        *error = QStringLiteral("cannot bind UDP %1:%2: %3")
                     .arg(address.toString())
                     .arg(port)
                     .arg(socket_.errorString());
        return false;
    }
    return true;
}

void UdpResponder::onReadyRead()
{
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        if (!datagram.isValid())
            continue;
        mixer_.onDatagram(datagram.data());
        if (datagram.data().size() == int(sizeof kSearchDatagram))
            socket_.writeDatagram(DeviceFrames::searchReply(tcpPort_), datagram.senderAddress(),
                                  quint16(datagram.senderPort()));
    }
}

} // namespace q48::sim
