#pragma once

#include "app/OperatorPrompt.h"
#include "processClass/PackageInfo.h"

#include <QObject>
#include <QString>
#include <QStringList>

class CmdDialog;
class FileRead;
class FileSave;
class InformationCenter;
class PacketRing;
class Processing;
class SearchDev;
class ShowImage;
class ShowPoint;
class UdpReceiver;
class sdkSocketThread;

// The core object: built on the front end's root object, it finds the back-end objects the
// front end created, creates the packet ring and every worker, wires them together and, when
// it goes, stops and frees what it created in an order where no thread outlives what it uses.
// It has no window of its own. GUI thread only.
class MainWindow : public QObject
{
    Q_OBJECT

public:
    // The front end must hold these objects (object name, class) below its root.
    static QStringList missingFrontEndObjects(QObject *root);

    explicit MainWindow(QObject *root, QObject *parent = nullptr);
    ~MainWindow() override;

    // Where the core object asks the operator (OperatorPrompt::boxes() unless set otherwise):
    // the box of a scan's end, and the question of the recorder, to which it is handed on. The
    // command channel, which the front end creates, has a prompt of its own.
    void setPrompt(const OperatorPrompt &prompt);

    void onPackageInfo(packageInfo a_curFrameInfo);
    void onFirstDataPort(QString inPort);
    void onConnectStatusChanged();
    void onSaveFile(QString inFileName);
    void onSonarDataPort(QString inPort);
    void onReadingFile();
    void onStopReadFile();
    void onIsStartChanged();
    void onStrCmdChanged();
    void onClearCmdStr();
    void onScanEndOrStart(bool inStart);
    void onStartStatusChanged(bool inStart);
    void onConnectionLost();

private:
    void init(QObject *root);
    // Starts a receiver whose reports count only while it is the held one.
    void startReceiver(UdpReceiver *receiver, void (MainWindow::*onPort)(QString));
    // inError: as UdpReceiver::sigBindFailed reports it.
    void onDataPortFailed(QString inBindAddress, int inError);

    PacketRing *m_packetRing = nullptr;
    InformationCenter *m_informationCenter = nullptr;
    CmdDialog *m_cmdDialog = nullptr;
    Processing *m_processing = nullptr;
    SearchDev *m_searchDev = nullptr;
    ShowImage *m_showImage = nullptr;
    UdpReceiver *m_udpReceiver = nullptr;
    FileSave *m_fileSave = nullptr;
    FileRead *m_fileRead = nullptr;
    ShowPoint *m_showPoint = nullptr;
    sdkSocketThread *m_sdkSocketThread = nullptr;

    // The receiver that ran before the held one was rebuilt: stopped, and kept until the new
    // one has bound, so that it can take over again when the new one cannot bind.
    UdpReceiver *m_standbyReceiver = nullptr;
    // Counts the receivers started; a report from any but the latest is stale.
    quint64 m_receiverGeneration = 0;
    OperatorPrompt m_prompt = OperatorPrompt::boxes();
};
