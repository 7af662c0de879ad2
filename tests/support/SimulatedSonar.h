#pragma once

#include "SimSonarCommandServer.h"
#include "SimSonarDiscovery.h"
#include "SonarStreamer.h"

// One whole simulated sonar: discovery responder, command server and data streamer wired as
// the device works. The data destination the host sends becomes the streamer's destination,
// the scan command starts and stops the stream, and typed commands edit the header of the
// packets that follow.
class SimulatedSonar
{
public:
    SimulatedSonar();
    ~SimulatedSonar();

    // Command server on address:commandPort (0 picks a free port); discovery on
    // discoveryPort when it is not 0, answering from the same address.
    bool start(const QString &address, quint16 commandPort, quint16 discoveryPort = 0,
               bool loopbackOnly = false);
    void stop();

    SimSonarCommandServer &commands() { return m_commands; }
    SimSonarDiscovery &discovery() { return m_discovery; }
    SonarStreamer &streamer() { return m_streamer; }

    bool sendEndOfScan() { return m_commands.sendToClient("endofscan"); }
    bool sendReseting() { return m_commands.sendToClient("reseting"); }

private:
    SimSonarCommandServer m_commands;
    SimSonarDiscovery m_discovery;
    SonarStreamer m_streamer;
    std::atomic<bool> m_haveDestination{false};
};
