#include "SimSonarCommandServer.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>

#include <chrono>
#include <cstring>

namespace {

constexpr int idleFlushMs = 100; // a frame cut short by the host is taken after this silence
constexpr int upgradeChunk = 768;
constexpr qint64 maxUpgradeBytes = 10485752;
constexpr int splitGapMs = 100; // long enough for the host to take the halves apart

quint16 le16(const QByteArray &f, int at)
{
    return quint16(quint8(f.at(at)) | (quint8(f.at(at + 1)) << 8));
}

quint32 le32(const QByteArray &f, int at)
{
    return quint32(le16(f, at)) | (quint32(le16(f, at + 2)) << 16);
}

float leFloat(const QByteArray &f, int at)
{
    const quint32 bits = le32(f, at);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

bool isShortCode(quint8 code)
{
    return code == 6 || code == 12 || code == 13 || code == 16 || code == 17 || code == 24;
}

} // namespace

SimSonarCommandServer::SimSonarCommandServer()
{
    m_header.packType = 0;
    m_header.maxDist = 10.0f;
    m_header.workCycle = 1.0f;
    m_header.acousticVelocity = 1500.0f;
    std::memcpy(m_header.deviceName, "KX-SIM", 6);
}

SimSonarCommandServer::~SimSonarCommandServer()
{
    stop();
}

qint64 SimSonarCommandServer::nowMs() const
{
    const qint64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                          std::chrono::steady_clock::now().time_since_epoch())
                          .count();
    return (ns - m_startNs) / 1000000;
}

bool SimSonarCommandServer::start(const QString &address, quint16 port)
{
    stop();
    Ipv4Endpoint local{0, port};
    if (!Ipv4Endpoint::parseAddress(address, &local.address))
        return false;
    m_listener = BsdSocket::tcp();
    m_listener.setReuseAddress(true);
    if (!m_listener.bind(local) || !m_listener.listen(4)) {
        m_listener.close();
        return false;
    }
    Ipv4Endpoint bound;
    m_listener.localEndpoint(&bound);
    m_port = bound.port;
    m_startNs = std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count();
    m_running = true;
    m_thread = std::thread([this] { loop(); });
    return true;
}

void SimSonarCommandServer::stop()
{
    m_running = false;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_client.close();
    m_listener.close();
}

void SimSonarCommandServer::setFault(Answer answer, Fault fault, int delayMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[int(answer)] = qMakePair(fault, delayMs);
}

void SimSonarCommandServer::setUpgradeFault(UpgradeFault fault, int nth)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_upgradeFault = fault;
    m_upgradeFaultAt = nth;
}

SimSonarCommandServer::Upgrade SimSonarCommandServer::upgrade() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_upgrade;
}

void SimSonarCommandServer::setVersionText(const QByteArray &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_version = text;
}

void SimSonarCommandServer::setRegister(quint16 address, quint32 value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_registers[address] = value;
}

quint32 SimSonarCommandServer::registerValue(quint16 address) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_registers.value(address, 0);
}

bool SimSonarCommandServer::sendToClient(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_client.isValid())
        return false;
    return m_client.send(bytes.constData(), std::size_t(bytes.size())).ok();
}

bool SimSonarCommandServer::waitUntilDelivered(int timeoutMs) const
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            int unacknowledged = 0;
            if (!m_client.isValid() || ::ioctl(m_client.handle(), SIOCOUTQ, &unacknowledged) != 0)
                return false;
            if (unacknowledged == 0)
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SimSonarCommandServer::closeClient(bool reset)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closeRequested = true;
    m_resetRequested = reset;
}

QList<SimSonarCommandServer::Received> SimSonarCommandServer::received() const
{
    // A list of its own, not one sharing the server's: the server's next append would move
    // the elements out of a shared block whose last reader, on another thread, released it
    // without an ordering that the next writer observes.
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<Received> copy;
    copy.reserve(m_received.size());
    for (const Received &r : m_received)
        copy.append(r);
    return copy;
}

void SimSonarCommandServer::clearReceived()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_received.clear();
}

bool SimSonarCommandServer::waitForFrames(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_frameArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return m_received.size() >= count; });
}

bool SimSonarCommandServer::hasDestination() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hasDestination;
}

Ipv4Endpoint SimSonarCommandServer::destination() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_destination;
}

packageInfo SimSonarCommandServer::header() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_header;
}

void SimSonarCommandServer::loop()
{
    char buffer[4096];
    while (m_running) {
        pollfd fds[2] = {{m_listener.handle(), POLLIN, 0}, {m_client.handle(), POLLIN, 0}};
        int timeout = 20;
        for (const Pending &p : m_pending)
            timeout = int(qBound(qint64(0), p.dueMs - nowMs(), qint64(timeout)));
        ::poll(fds, m_client.isValid() ? 2 : 1, timeout);

        // The readiness polled belongs to the client held while polling: a connection taken
        // below replaces it, and a receive on the new one would block with nothing to read.
        bool clientReadable = m_client.isValid() && (fds[1].revents & (POLLIN | POLLHUP | POLLERR));
        if (fds[0].revents & POLLIN) {
            BsdSocket incoming = m_listener.accept();
            if (incoming.isValid()) {
                incoming.setReceiveTimestamps(true);
                std::lock_guard<std::mutex> lock(m_mutex);
                m_client = std::move(incoming);
                m_stream.clear();
                m_pending.clear();
                ++m_connections;
                clientReadable = false;
            }
        }
        if (clientReadable) {
            const BsdSocket::Result r = m_client.receive(buffer, sizeof buffer, &m_lastArrivedNs);
            if (r.ok() && r.bytes > 0) {
                m_stream.append(buffer, qsizetype(r.bytes));
                m_lastByteMs = nowMs();
                takeFrames(false);
            } else if (r.status != BsdSocket::Status::Timeout) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_client.close();
            }
        }
        if (!m_stream.isEmpty() && nowMs() - m_lastByteMs > idleFlushMs)
            takeFrames(true);

        for (auto it = m_pending.begin(); it != m_pending.end();) {
            if (it->dueMs > nowMs()) {
                ++it;
                continue;
            }
            std::lock_guard<std::mutex> lock(m_mutex);
            if (it->close && it->reset)
                m_client.closeWithReset();
            else if (it->close)
                m_client.close();
            else if (m_client.isValid())
                m_client.send(it->bytes.constData(), std::size_t(it->bytes.size()));
            it = m_pending.erase(it);
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closeRequested) {
            m_closeRequested = false;
            if (m_resetRequested)
                m_client.closeWithReset();
            else
                m_client.close();
        }
    }
}

// The length of the frame at the start of the buffer by its code: 0 when the code is unknown,
// -1 when more bytes are needed to tell.
int SimSonarCommandServer::frameLength(const QByteArray &buffer)
{
    if (buffer.size() < 4)
        return -1;
    const quint8 code = quint8(buffer.at(3));
    switch (code) {
    case 0x00:
        return 10;
    case 0x4E:
        return 4;
    case 0xFF:
        return 8;
    case 0xFE:
        return 10;
    case 0xA5: {
        if (buffer.size() < 10)
            return -1;
        const qint64 rest = qint64(le32(buffer, 4)) - qint64(le16(buffer, 8)) * upgradeChunk;
        return 10 + int(qBound(qint64(0), rest, qint64(upgradeChunk)));
    }
    case 0x02:
    case 0x09:
    case 0x0F:
    case 0x14:
    case 0x8A:
        return 8;
    case 0x17:
        return 16;
    case 0x05:
    case 0x06:
    case 0x0C:
    case 0x0D:
    case 0x10:
    case 0x11:
    case 0x18:
        return 5;
    default:
        return 0;
    }
}

void SimSonarCommandServer::takeFrames(bool flush)
{
    while (!m_stream.isEmpty()) {
        if (!m_stream.startsWith("CMD")) {
            const qsizetype next = m_stream.indexOf("CMD");
            if (next > 0) {
                m_stream.remove(0, next);
                continue;
            }
            if (!flush)
                return;
            handle(m_stream);
            m_stream.clear();
            return;
        }
        int length = frameLength(m_stream);
        if (length == 0) {
            const qsizetype next = m_stream.indexOf("CMD", 4);
            if (next > 0)
                length = int(next);
            else if (flush)
                length = int(m_stream.size());
            else
                return;
        }
        if (length < 0 || length > m_stream.size()) {
            if (!flush)
                return;
            length = int(m_stream.size());
        }
        handle(m_stream.left(length));
        m_stream.remove(0, length);
    }
}

// A frame is recorded once the sonar has acted on it, so a test that waits for the frame
// finds what it did.
void SimSonarCommandServer::handle(const QByteArray &frame)
{
    const qint64 atMs = nowMs();
    act(frame);
    const Received taken{frame, atMs, m_lastArrivedNs, m_connections.load()};
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_received.append(taken);
    }
    m_frameArrived.notify_all();
    if (m_onFrame)
        m_onFrame(taken);
}

void SimSonarCommandServer::act(const QByteArray &frame)
{
    if (frame.size() < 4 || !frame.startsWith("CMD"))
        return;
    const quint8 code = quint8(frame.at(3));
    if (code == 0x00 && frame.size() >= 10) {
        Ipv4Endpoint to;
        to.address = quint32(quint8(frame.at(7))) << 24 | quint32(quint8(frame.at(6))) << 16
                     | quint32(quint8(frame.at(5))) << 8 | quint32(quint8(frame.at(4)));
        to.port = le16(frame, 8);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_destination = to;
            m_hasDestination = true;
        }
        if (m_onDestination)
            m_onDestination(to);
    } else if (code == 0x4E) {
        QByteArray reply("N\0", 2);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            reply += m_version;
        }
        reply.append('\0');
        answer(Answer::Version, reply);
    } else if (code == 0xFF && frame.size() >= 8) {
        const quint16 address = le16(frame, 4);
        const int length = qMin<int>(le16(frame, 6), 256);
        QByteArray data;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            for (int reg = 0; data.size() < length; ++reg) {
                const quint32 v = m_registers.value(quint16(address + reg), 0);
                for (int shift = 24; shift >= 0 && data.size() < length; shift -= 8)
                    data.append(char((v >> shift) & 0xff));
            }
        }
        answer(Answer::FpgaData, data.isEmpty() ? QByteArray("OK\n\0", 4) : data);
    } else if (code == 0xFE && frame.size() >= 10) {
        const quint32 value = quint32(quint8(frame.at(6))) << 24
                              | quint32(quint8(frame.at(7))) << 16
                              | quint32(quint8(frame.at(8))) << 8 | quint32(quint8(frame.at(9)));
        setRegister(le16(frame, 4), value);
        answer(Answer::Acknowledgement, QByteArray("OK\n\0", 4));
    } else if (code == 0xA5) {
        takeUpgradePacket(frame);
    } else {
        applyTypedCommand(frame);
        // Short commands and typed commands of the same five bytes look alike on the wire:
        // both get the acknowledgement, which a typed command's sender never reads.
        if (frame.size() == 5 && isShortCode(code))
            answer(Answer::Acknowledgement, QByteArray("OK\n\0", 4));
    }
}

void SimSonarCommandServer::applyTypedCommand(const QByteArray &frame)
{
    const quint8 code = quint8(frame.at(3));
    const bool hasByte = frame.size() >= 5;
    const bool hasFloat = frame.size() >= 8;
    if (code == 0x06 && hasByte) {
        const bool on = frame.at(4) != 0;
        if (m_scanning.exchange(on) != on && m_onScanning)
            m_onScanning(on);
        return;
    }
    std::function<void(packageInfo &)> edit;
    const quint8 b = hasByte ? quint8(frame.at(4)) : 0;
    const float f = hasFloat ? leFloat(frame, 4) : 0.0f;
    switch (code) {
    case 0x02:
        if (hasFloat)
            edit = [f](packageInfo &h) { h.workCycle = f; };
        break;
    case 0x05:
        if (hasByte)
            edit = [b](packageInfo &h) { h.workMode = b; };
        break;
    case 0x09:
        if (hasFloat)
            edit = [f](packageInfo &h) { h.maxDist = f; };
        break;
    case 0x0F:
        if (hasFloat)
            edit = [f](packageInfo &h) { h.vez25EDirectionAngle = f; };
        break;
    case 0x10:
        if (hasByte)
            edit = [b](packageInfo &h) { h.power = b; };
        break;
    case 0x11:
        if (hasByte)
            edit = [b](packageInfo &h) { h.sigModel = b; };
        break;
    case 0x14:
        if (hasFloat)
            edit = [f](packageInfo &h) { h.acousticVelocity = f; };
        break;
    case 0x17:
        if (frame.size() >= 16) {
            const float a = leFloat(frame, 4), bb = leFloat(frame, 8), cc = leFloat(frame, 12);
            edit = [a, bb, cc](packageInfo &h) {
                h.TVGA = a;
                h.TVGB = bb;
                h.TVGC = cc;
            };
        }
        break;
    case 0x18:
        if (hasByte)
            edit = [b](packageInfo &h) { h.brightness = b; };
        break;
    case 0x8A:
        if (hasFloat)
            edit = [f](packageInfo &h) { h.realFc = f; };
        break;
    default:
        break;
    }
    if (!edit)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        edit(m_header);
    }
    if (m_onHeaderEdit)
        m_onHeaderEdit(edit);
}

void SimSonarCommandServer::answer(Answer kind, const QByteArray &proper)
{
    Fault fault;
    int delay;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto f = m_faults.value(int(kind), qMakePair(Fault::None, 0));
        fault = f.first;
        delay = f.second;
    }
    QByteArray bytes = proper;
    switch (fault) {
    case Fault::NoAnswer:
        return;
    case Fault::Close:
        m_pending.push_back(Pending{nowMs(), {}, true});
        return;
    case Fault::WrongLength:
        if (kind == Answer::Version)
            bytes = QByteArray("N\0", 2) + proper.mid(2, 3).leftJustified(3, 'x');
        else if (kind == Answer::Acknowledgement || kind == Answer::UpgradeAck)
            bytes = "OK";
        else
            bytes.chop(1);
        break;
    case Fault::Late:
    case Fault::None:
        break;
    }
    m_pending.push_back(Pending{nowMs() + (fault == Fault::Late ? delay : 0), bytes, false});
}

// Takes one upgrade packet if it is the one expected: index 0 of a file of 1 to 10485752
// bytes starts an upgrade, every later one must carry the same size, the next index and the
// file's next 768 bytes (the rest in the last). A packet taken is acknowledged, as the fault
// for its place allows; a wrong one is refused without an answer.
void SimSonarCommandServer::takeUpgradePacket(const QByteArray &frame)
{
    UpgradeFault fault = UpgradeFault::None;
    QByteArray completed;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const quint32 size = frame.size() >= 10 ? le32(frame, 4) : 0;
        const int index = frame.size() >= 10 ? le16(frame, 8) : 0;
        const qint64 expected =
            qMin<qint64>(upgradeChunk, qint64(size) - qint64(index) * upgradeChunk);
        const bool next =
            index == 0
            || (size == m_upgrade.size && index == m_upgrade.packets && !m_upgrade.complete());
        if (size == 0 || size > maxUpgradeBytes || !next || expected <= 0
            || frame.size() != 10 + expected) {
            ++m_upgrade.refused;
            qInfo("simulated sonar: upgrade packet of %d bytes refused", int(frame.size()));
            return;
        }
        if (index == 0)
            m_upgrade = Upgrade{size, {}, 0, 0};
        m_upgrade.bytes.append(frame.mid(10));
        ++m_upgrade.packets;
        if (m_upgrade.packets == m_upgradeFaultAt)
            fault = m_upgradeFault;
        if (m_upgrade.complete())
            completed = m_upgrade.bytes;
    }
    const qint64 now = nowMs();
    switch (fault) {
    case UpgradeFault::None:
        answer(Answer::UpgradeAck, QByteArray("OK\n", 3));
        break;
    case UpgradeFault::Withhold:
        break;
    case UpgradeFault::Wrong:
        m_pending.push_back(Pending{now, QByteArray("NO\n", 3), false});
        break;
    case UpgradeFault::FourBytes:
        m_pending.push_back(Pending{now, QByteArray("OK\n\0", 4), false});
        break;
    case UpgradeFault::Split:
        m_pending.push_back(Pending{now, QByteArray("OK", 2), false});
        m_pending.push_back(Pending{now + splitGapMs, QByteArray("\n", 1), false});
        break;
    case UpgradeFault::Close:
    case UpgradeFault::Reset:
        m_pending.push_back(Pending{now, {}, true, fault == UpgradeFault::Reset});
        break;
    }
    if (!completed.isEmpty() && m_onUpgraded)
        m_onUpgraded(completed);
}
