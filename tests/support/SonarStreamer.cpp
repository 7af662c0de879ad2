#include "SonarStreamer.h"

#include "NetworkIsolation.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool sameLayout(const packageInfo &a, const packageInfo &b)
{
    return a.dataWidth == b.dataWidth && a.numPerRow == b.numPerRow
           && a.rowNumPerPack == b.rowNumPerPack && a.dataHeight == b.dataHeight;
}

} // namespace

SonarStreamer::SonarStreamer() : m_socket(BsdSocket::udp())
{
    m_config.sample = std::make_shared<const SimSonar::SampleFunction>(SimSonar::echoSamples({}));
}

SonarStreamer::~SonarStreamer()
{
    stop();
}

bool SonarStreamer::isLoopback(quint32 address)
{
    return (address >> 24) == 127;
}

bool SonarStreamer::allowLinkDestinations()
{
    m_linkDestinations = inOwnNetworkNamespace();
    return m_linkDestinations;
}

bool SonarStreamer::mayReach(quint32 address) const
{
    return isLoopback(address) || m_linkDestinations;
}

bool SonarStreamer::setDestination(const Ipv4Endpoint &to)
{
    if (!mayReach(to.address) || to.port == 0)
        return false;
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.destination = to;
    m_config.hasDestination = true;
    return true;
}

Ipv4Endpoint SonarStreamer::destination() const
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_config.destination;
}

void SonarStreamer::setHeader(const packageInfo &head)
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.header = head;
}

packageInfo SonarStreamer::header() const
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_config.header;
}

void SonarStreamer::updateHeader(const std::function<void(packageInfo &)> &edit)
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    edit(m_config.header);
}

void SonarStreamer::setFrameRate(double framesPerSecond)
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.fps = framesPerSecond;
}

double SonarStreamer::frameRate() const
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_config.fps;
}

void SonarStreamer::setSampleFunction(const SimSonar::SampleFunction &sample)
{
    auto shared = std::make_shared<const SimSonar::SampleFunction>(sample);
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.sample = std::move(shared);
    ++m_config.sampleGeneration;
}

void SonarStreamer::setEchoes(const QVector<SimSonar::Echo> &echoes, quint16 floor)
{
    setSampleFunction(SimSonar::echoSamples(echoes, floor));
}

void SonarStreamer::setFaults(const Faults &faults)
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.faults = faults;
    ++m_config.faultGeneration;
}

void SonarStreamer::setFrameLimit(quint64 frames)
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    m_config.frameLimit = frames;
}

SonarStreamer::Config SonarStreamer::snapshot() const
{
    std::lock_guard<std::mutex> lock(m_configMutex);
    return m_config;
}

QVector<QByteArray> SonarStreamer::nextFrame(const Config &config)
{
    packageInfo head = config.header;
    // Payloads depend only on the samples and the layout; building them is the costly part,
    // so they are kept until either changes.
    if (config.sampleGeneration != m_sampleGeneration || !sameLayout(head, m_layout)) {
        m_payloads = SimSonar::buildPayloads(head, *config.sample);
        m_layout = head;
        m_sampleGeneration = config.sampleGeneration;
    }
    if (config.faultGeneration != m_faultGeneration) {
        m_packetCounter = 0;
        m_faultGeneration = config.faultGeneration;
    }
    const Faults &f = config.faults;

    head.frameSerialNum = m_frameSerial++;
    head.direction = m_direction;
    head.packNumPerFrame = quint16(m_payloads.size());
    if (f.dataWidth >= 0)
        head.dataWidth = quint8(f.dataWidth);
    if (f.dataHeight >= 0)
        head.dataHeight = quint32(f.dataHeight);
    m_direction = std::fmod(m_direction + head.vez25EDirectionAngle, 360.0f);
    if (m_direction < 0)
        m_direction += 360.0f;

    QVector<QByteArray> out;
    out.reserve(m_payloads.size() + 2);
    bool holdForReorder = false;
    QByteArray held;
    for (int i = 0; i < m_payloads.size(); ++i) {
        const quint64 k = ++m_packetCounter;
        if (f.loseEvery && k % f.loseEvery == 0)
            continue;
        head.packSerialNum = quint16(i);
        QByteArray datagram = SimSonar::buildPacket(head, m_payloads[i]);
        if (f.oversizeEvery && k % f.oversizeEvery == 0 && f.oversizeBytes > datagram.size())
            datagram.append(QByteArray(f.oversizeBytes - datagram.size(), '\0'));
        if (f.shortEvery && k % f.shortEvery == 0 && f.shortBytes >= 0)
            datagram.truncate(f.shortBytes);
        const int copies = (f.duplicateEvery && k % f.duplicateEvery == 0) ? 2 : 1;
        if (f.reorderEvery && k % f.reorderEvery == 0 && !holdForReorder) {
            held = datagram;
            holdForReorder = true;
            continue;
        }
        for (int c = 0; c < copies; ++c)
            out.append(datagram);
        if (holdForReorder) {
            out.append(held);
            holdForReorder = false;
        }
    }
    if (holdForReorder)
        out.append(held); // nothing followed it in this frame
    return out;
}

bool SonarStreamer::sendDatagram(const QByteArray &datagram, const Ipv4Endpoint &to)
{
    // Checked again here, whatever set the destination: nothing leaves loopback, or the
    // namespace of its own.
    if (!mayReach(to.address))
        return false;
    const BsdSocket::Result r =
        m_socket.sendTo(datagram.constData(), std::size_t(datagram.size()), to);
    if (!r.ok()) {
        // A link that is down (ENETUNREACH, ENETDOWN) loses the datagram, as a cable pulled
        // would; the stream goes on and reaches the host again once the link is back.
        ++m_sendErrors;
        return false;
    }
    ++m_datagramsSent;
    return true;
}

quint64 SonarStreamer::sendFrames(int count)
{
    quint64 sent = 0;
    for (int n = 0; n < count; ++n) {
        const Config config = snapshot();
        if (!config.hasDestination)
            break;
        for (const QByteArray &d : nextFrame(config))
            sent += sendDatagram(d, config.destination) ? 1 : 0;
        ++m_framesSent;
    }
    return sent;
}

bool SonarStreamer::waitUntil(qint64 dueNs) const
{
    using namespace std::chrono;
    for (;;) {
        if (!isRunning())
            return false;
        const qint64 ahead = dueNs - nowNs();
        if (ahead <= 0)
            return true;
        // Sleeping is coarse (tens of microseconds of slack); spin over the last stretch so
        // high packet rates are paced evenly. Long waits sleep in slices to notice stop().
        if (ahead > 200000)
            std::this_thread::sleep_for(nanoseconds(std::min<qint64>(ahead - 100000, 10000000)));
        else
            std::this_thread::yield();
    }
}

void SonarStreamer::run()
{
    qint64 frameStart = nowNs();
    quint64 framesThisRun = 0;
    while (isRunning()) {
        const Config config = snapshot();
        if (!config.hasDestination || config.fps <= 0
            || (config.frameLimit && framesThisRun >= config.frameLimit)) {
            if (!waitUntil(nowNs() + 10000000))
                break;
            frameStart = nowNs();
            continue;
        }
        const qint64 periodNs = qint64(1e9 / config.fps);
        // After a long stall (or a rate change) start afresh rather than burst to catch up.
        if (nowNs() - frameStart > 100000000)
            frameStart = nowNs();

        const QVector<QByteArray> frame = nextFrame(config);
        const qint64 stepNs = frame.isEmpty() ? 0 : periodNs / frame.size();
        for (int i = 0; i < frame.size(); ++i) {
            if (!waitUntil(frameStart + i * stepNs))
                return;
            sendDatagram(frame[i], config.destination);
        }
        ++m_framesSent;
        ++framesThisRun;
        frameStart += periodNs;
        if (!waitUntil(frameStart))
            return;
    }
}
