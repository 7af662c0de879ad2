#pragma once

#include "CmdSocket.h"
#include "DeviceSettingStatus.h"
#include "processClass/WhileThread.h"

#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <memory>

class CmdInbox;
class CmdRouter;

// The version reader: runs from a version query until its reply or time-out and takes the
// channel's messages that no exchange waits for; a version reply goes out as sigVersionInfo,
// a five-byte status message as sigTcpRec. It listens from start() on, so a reply that comes
// back at once is not missed, and it forgets whatever came before start().
class TcpReceiver : public QObject, public WhileThread
{
    Q_OBJECT
public:
    static constexpr int receiveBytes = 4096;

    // The socket comes with setSocket (the channel's sigSocket).
    explicit TcpReceiver(QObject *parent = nullptr);
    ~TcpReceiver() override;

    void start() override;
    void stop() override;

signals:
    void sigTcpRec(char *inStatus);
    void sigStructInfo(deviceSettingStatus inStatus);
    void sigVersionInfo(QString inVersionInfo);

public slots:
    void setSocket(TYPE_SOCKET inSocket);
    void disconnectDevice();

protected:
    void run() override;

private:
    std::atomic<TYPE_SOCKET> m_socket{invalidSocket};
    std::array<char, 64> m_status{};
    std::shared_ptr<CmdInbox> m_inbox;
    std::shared_ptr<CmdRouter> m_router;
};
