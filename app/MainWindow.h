#pragma once

#include "processClass/PackageInfo.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

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

    // Shows the box of a scan's end (a modal message box by default). Tests put their own
    // presenter here so that nothing waits for a click.
    using WarningPresenter = std::function<void(const QString &title, const QString &text)>;
    void setWarningPresenter(WarningPresenter presenter);
    // Asks whether a recording may replace the parts an earlier one left under its name (a
    // modal question box by default); the recorder's presenter.
    using QuestionPresenter = std::function<bool(const QString &title, const QString &text)>;
    void setQuestionPresenter(QuestionPresenter presenter);

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
    WarningPresenter m_presenter;
};
