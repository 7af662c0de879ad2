#include "LivePath.h"

#include <QTest>

LivePath::LivePath(QObject *owner) : center(new InformationCenter(owner)) {}

LivePath::~LivePath()
{
    sonar.stop();
    receiver.stop();
    processing.stop();
    delete ring;
}

bool LivePath::start()
{
    processing.start();
    QObject::connect(&receiver, &UdpReceiver::sig_rSonarDataPort, &receiver,
                     [this](QString text) { port = text.toUShort(); });
    receiver.start();
    if (!QTest::qWaitFor([this] { return port != 0; }, 5000))
        return false;
    return sonar.setDestination(Ipv4Endpoint{0x7f000001u, port});
}
