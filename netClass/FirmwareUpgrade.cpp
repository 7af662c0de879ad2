#include "FirmwareUpgrade.h"

#include "CmdFrames.h"
#include "CmdInbox.h"
#include "CmdSocket.h"
#include "ProgressDialog.h"
#include "ResponsiveWait.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

namespace {

enum class FirmwareRead { Ok, CannotOpen, Refused };

// The whole upgrade file, or why not. Only a plain file is opened: opening a pipe would wait
// for a writer on the GUI thread. A file that is empty, too large, or that cannot be read to
// its end (it shrank meanwhile) is refused: what was not read must never go out as firmware.
FirmwareRead readFirmware(const QString &path, QByteArray *image)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return FirmwareRead::CannotOpen;
    const qint64 size = file.size();
    if (size < 1 || size > CmdFrames::maxUpgradeFileBytes)
        return FirmwareRead::Refused;
    image->resize(qsizetype(size));
    if (file.read(image->data(), size) != size) {
        image->clear();
        return FirmwareRead::Refused;
    }
    return FirmwareRead::Ok;
}

using Clock = ResponsiveWait::Clock;
// Answers to earlier frames may still be on their way when an upgrade starts; they end when
// the channel has been quiet this long, and are given at most the longer time.
constexpr std::chrono::milliseconds staleQuiet{100};
constexpr std::chrono::milliseconds staleAtMost{1000};

} // namespace

FirmwareUpgrade::FirmwareUpgrade(CmdSocket *const *socket, const quint64 *channelSerial,
                                 ProgressDialog *progress)
    : m_socket(socket), m_channelSerial(channelSerial), m_progress(progress),
      m_inbox(std::make_shared<CmdInbox>())
{
}

FirmwareUpgrade::~FirmwareUpgrade() = default;

FirmwareUpgrade::Outcome FirmwareUpgrade::run(const QString &path)
{
    m_progress->start(Qt::ApplicationModal);
    QByteArray image;
    switch (readFirmware(path, &image)) {
    case FirmwareRead::CannotOpen:
        return Outcome::CannotOpen;
    case FirmwareRead::Refused:
        return Outcome::Refused;
    case FirmwareRead::Ok:
        break;
    }
    qDebug() << "升级文件大小" << image.size();

    const quint64 channel = *m_channelSerial;
    if (sendFirmware(image))
        return Outcome::Done;
    // A sonar that closed or reset the connection is gone. A connection made while the upgrade
    // waited is another one, and stays.
    return m_inbox->isClosed() && channel == *m_channelSerial ? Outcome::SonarLeft
                                                              : Outcome::NotAcknowledged;
}

void FirmwareUpgrade::channelReleased()
{
    (*m_socket)->endAnswers(m_inbox);
    m_inbox->markClosed();
}

bool FirmwareUpgrade::onChannel(quint64 channel) const
{
    return channel == *m_channelSerial && (*m_socket)->handle() != invalidSocket
           && !m_inbox->isClosed();
}

bool FirmwareUpgrade::sendFirmware(const QByteArray &image)
{
    const quint64 channel = *m_channelSerial;
    m_inbox->reset();
    if (!(*m_socket)->routeAnswersTo(m_inbox))
        return false;
    dropStaleAnswers();
    const qint64 size = image.size();
    qint64 sent = 0;
    bool acknowledged = true;
    for (int index = 0; sent < size; ++index) {
        // The waits run events: a channel closed or replaced meanwhile ends the upgrade here,
        // so that no packet reaches another connection.
        if (!onChannel(channel)) {
            acknowledged = false;
            break;
        }
        const QByteArray packet = CmdFrames::upgradePacket(image, index);
        const Clock::time_point sentAt = Clock::now();
        // A packet that does not go out shows as a missing acknowledgement.
        (*m_socket)->sendFrame(packet);
        sent += packet.size() - CmdFrames::upgradeHeaderBytes;
        if (sent < size)
            ResponsiveWait::until(sentAt + m_pacing);
        if (!onChannel(channel) || !waitAck()) {
            acknowledged = false;
            break;
        }
        qDebug() << index + 1;
        m_progress->setPercent(double(sent) / double(size) * 100.0);
    }
    (*m_socket)->endAnswers(m_inbox);
    return acknowledged;
}

void FirmwareUpgrade::dropStaleAnswers()
{
    const Clock::time_point end = Clock::now() + staleAtMost;
    QByteArray message;
    while (ResponsiveWait::take(*m_inbox, &message, qMin(end, Clock::now() + staleQuiet))
           == CmdInbox::Take::Message)
        qDebug().noquote() << "升级前丢弃的回复：" + CmdFrames::hexDump(message.left(64));
}

bool FirmwareUpgrade::waitAck()
{
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ackTimeoutMs);
    QByteArray gathered;
    for (;;) {
        QByteArray message;
        switch (ResponsiveWait::take(*m_inbox, &message, deadline)) {
        case CmdInbox::Take::Timeout:
            qDebug() << "超时";
            return false;
        case CmdInbox::Take::Closed:
            qDebug().noquote() << "收到其他回复：" + QString::fromUtf8(gathered);
            return false;
        case CmdInbox::Take::Message:
            break;
        }
        switch (CmdFrames::gatherUpgradeAck(&gathered, message)) {
        case CmdFrames::UpgradeAck::Accepted:
            return true;
        case CmdFrames::UpgradeAck::Incomplete:
            break;
        case CmdFrames::UpgradeAck::Ignored:
            qDebug().noquote() << "升级时丢弃的版本回复：" + CmdFrames::versionTextOf(message);
            break;
        case CmdFrames::UpgradeAck::Rejected:
            qDebug().noquote() << "收到其他回复：" + QString::fromUtf8(gathered.left(64));
            return false;
        }
    }
}
