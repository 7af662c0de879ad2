#pragma once

#include "netClass/BsdSocket.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>

// The device side of discovery: answers each 12-byte "KXSearching" request on UDP port 9001
// (broadcast or directed) to the requester's address and port with its description record.
// With an own address it also takes requests sent to that address alone and answers from it,
// so several simulated sonars can share one host, each known by its own address.
class SimSonarDiscovery
{
public:
    struct Config
    {
        QByteArray name = "Sonar-01"; // up to 15 bytes are sent
        quint8 modeCount = 1;
        quint8 brightnessBase = 16;
        std::array<quint8, 8> modeEnabled{{1, 1, 1, 1, 1, 1, 1, 1}};
        std::array<float, 8> maxRange{{50, 100, 150, 150, 150, 150, 150, 150}};
        bool kxMark = false;   // mark 0x00 "KX" instead of 0xA0
        int replyLength = 896; // bytes sent; shorter or longer than the record on request
        int delayMs = 0;       // answer late
        bool silent = false;   // do not answer at all
    };

    SimSonarDiscovery();
    ~SimSonarDiscovery();
    SimSonarDiscovery(const SimSonarDiscovery &) = delete;
    SimSonarDiscovery &operator=(const SimSonarDiscovery &) = delete;

    static QByteArray buildReply(const Config &config);

    // ownAddress empty: only the wildcard socket. loopbackOnly: requests from outside
    // 127.0.0.0/8 are not answered (the standalone tool on the host's network).
    bool start(const QString &ownAddress = QString(), quint16 port = 9001,
               bool loopbackOnly = false);
    void stop();

    void setConfig(const Config &config);
    Config config() const;
    int requestCount() const { return m_requests.load(); }

private:
    void loop();
    void serve(BsdSocket &from, BsdSocket &replyOn);

    BsdSocket m_wildcard;
    BsdSocket m_own;
    bool m_loopbackOnly = false;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<int> m_requests{0};
    mutable std::mutex m_mutex;
    Config m_config;
};
