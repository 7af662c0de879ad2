#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <memory>

class CmdInbox;
class CmdSocket;
class ProgressDialog;

// The firmware upgrade over the command channel: reads the upgrade file, lets answers to
// earlier frames drain, then sends the file packet by packet, each after the pacing and
// acknowledged before the next, and shows in the progress window how far it has come. It runs
// on the GUI thread, whose waits keep the window alive (ResponsiveWait), so the channel may be
// closed or replaced meanwhile: it sends only while the channel it began on is the one in use,
// read through pointers to its owner's socket and channel serial, and never to another
// connection. Telling the operator how it ended is the owner's.
class FirmwareUpgrade
{
public:
    static constexpr int pacingMs = 20;
    static constexpr int ackTimeoutMs = 3000;

    enum class Outcome {
        CannotOpen,      // no plain file that can be opened
        Refused,         // empty, too large, or not readable to its end
        NotAcknowledged, // a packet went unanswered, or the channel ended here
        SonarLeft,       // the sonar closed or reset the channel it ran on
        Done,
    };

    FirmwareUpgrade(CmdSocket *const *socket, const quint64 *channelSerial,
                    ProgressDialog *progress);
    ~FirmwareUpgrade();
    FirmwareUpgrade(const FirmwareUpgrade &) = delete;
    FirmwareUpgrade &operator=(const FirmwareUpgrade &) = delete;

    // The whole upgrade from the file at path. The progress window is shown from the start,
    // and left open for the owner to close once it has told the operator.
    Outcome run(const QString &path);
    // The channel ends here while run() sends (closed, or about to be replaced): it stops at
    // once, before another packet, and no exchange that follows can leave it waiting for an
    // answer routed elsewhere. The owner calls it before the socket changes.
    void channelReleased();

    // The pause after every packet but the last. Tests lengthen it, so that where it applies
    // shows beyond any scheduling delay.
    void setPacing(std::chrono::milliseconds pacing) { m_pacing = pacing; }

private:
    bool sendFirmware(const QByteArray &image);
    // The channel it began on is still the one in use, and the sonar has not ended it.
    bool onChannel(quint64 channel) const;
    void dropStaleAnswers();
    bool waitAck();

    CmdSocket *const *m_socket;
    const quint64 *m_channelSerial;
    ProgressDialog *m_progress;
    std::shared_ptr<CmdInbox> m_inbox;
    std::chrono::milliseconds m_pacing{pacingMs};
};
