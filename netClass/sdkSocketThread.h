#pragma once

#include "CmdSocket.h"
#include "processClass/WhileThread.h"

#include <QObject>

#include <memory>

class CmdDialog;
class CmdInbox;
class CmdRouter;

// The scan-notice reader: while a scan runs it takes the channel's scan notices ("endofscan",
// "reseting") and reports them. It follows the channel's current socket on every pass and
// sleeps briefly while there is none.
//
// A pause for an exchange of the channel (onStopOrStart(false), then true) leaves the reader
// as it was found: a reader that was stopped stays stopped, and notices that arrive during
// the pause are still delivered when it resumes.
class sdkSocketThread : public QObject, public WhileThread
{
    Q_OBJECT
public:
    explicit sdkSocketThread(CmdDialog **cmdDialog, QObject *parent = nullptr);
    ~sdkSocketThread() override;

    void start() override;
    void stop() override;
    void onStopOrStart(bool inStart);

signals:
    void sigEndOrStart(bool inStart);

protected:
    void run() override;

private:
    void follow(TYPE_SOCKET handle);
    void leave();

    CmdDialog **m_cmdDialog;
    std::shared_ptr<CmdInbox> m_inbox;
    std::shared_ptr<CmdRouter> m_router;
    TYPE_SOCKET m_followed = invalidSocket;
    bool m_paused = false;
    bool m_resume = false;
};
