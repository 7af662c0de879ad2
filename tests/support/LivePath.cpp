#include "LivePath.h"

#include <QTest>

LivePath::LivePath(QObject *owner) : m_center(new InformationCenter(owner)) {}

LivePath::~LivePath()
{
    m_sonar.stop();
    m_receiver.stop();
    m_processing.stop();
    delete m_ring;
}

bool LivePath::start()
{
    m_processing.start();
    QObject::connect(&m_receiver, &UdpReceiver::sig_rSonarDataPort, &m_receiver,
                     [this](QString text) { m_port = text.toUShort(); });
    m_receiver.start();
    if (!QTest::qWaitFor([this] { return m_port != 0; }, 5000))
        return false;
    return m_sonar.setDestination(Ipv4Endpoint{0x7f000001u, m_port});
}
