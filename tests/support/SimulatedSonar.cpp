#include "SimulatedSonar.h"

SimulatedSonar::SimulatedSonar()
{
    m_commands.m_onDestination = [this](const Ipv4Endpoint &to) {
        // The streamer itself refuses any destination it may not reach.
        m_haveDestination = m_streamer.setDestination(to);
        if (m_haveDestination && m_commands.scanning())
            m_streamer.start();
    };
    m_commands.m_onScanning = [this](bool on) {
        if (on && m_haveDestination)
            m_streamer.start();
        else if (!on)
            m_streamer.stop();
    };
    m_commands.m_onHeaderEdit = [this](const std::function<void(packageInfo &)> &edit) {
        m_streamer.updateHeader(edit);
    };
}

SimulatedSonar::~SimulatedSonar()
{
    stop();
}

bool SimulatedSonar::start(const QString &address, quint16 commandPort, quint16 discoveryPort,
                           bool loopbackOnly)
{
    if (!m_commands.start(address, commandPort))
        return false;
    if (discoveryPort != 0 && !m_discovery.start(address, discoveryPort, loopbackOnly)) {
        m_commands.stop();
        return false;
    }
    return true;
}

void SimulatedSonar::stop()
{
    m_discovery.stop();
    m_commands.stop();
    m_streamer.stop();
}
