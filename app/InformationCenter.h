#pragma once

#include "app/HubValue.h"
#include "netClass/DeviceInfo.h"
#include "processClass/ColorTable.h"
#include "processClass/PackageInfo.h"

#include <QObject>
#include <QString>
#include <QStringList>

// The state hub between the QML front end and the native back end: every operator setting and
// every device value the front end shows, as properties with change signals, plus the requests
// and notices that travel between QML and the workers as signals.
//
// Threads. The object lives in the GUI thread, but every property getter and every WRITE
// accessor is thread-safe: each value is loaded and stored whole (scalars in lock-free atomics,
// QString and QStringList behind a lock of their own), and a WRITE accessor decides "changed"
// and stores in one step. Worker threads rely on this for
//   reads:   speedMove, targetGamma, m_fileStatus, switchColor, isWholeOrHalf, scale, offest,
//            isStart (and any other getter);
//   writes:  removeAngle, removeAngle2 (and any other WRITE accessor);
//   slots:   f_setFileStatusNone, f_setFileStatusReading, f_setFileStatusSaving and the status
//            tests;
//   signals: any signal of this class may be emitted from any thread.
// A change signal is emitted on the thread that made the change; native receivers must connect
// with the automatic (or queued) connection type to be called in their own thread. There is no
// ordering between different properties.
// GUI thread only: updateFromPackageInfo, setDeviceInfo, f_updateMaxRange,
// f_setSaveFileNameToClipboard (the clipboard) and f_getHostIpAddrs; setStr_cmd too, since
// its reset to " " after the signal assumes one writer of commands.

// The property table: one line per property, in declaration order.
// P(type, name, WRITE accessor, NOTIFY signal, default) gets the generated WRITE accessor;
// S(...) has a WRITE accessor written by hand (its extra rule is in the .cpp).
// The Q_PROPERTY lines in the class must list the same properties in the same order (moc reads
// them as written; the hub test compares the two).
#define KORVESSA_HUB_PROPERTIES(P, S) \
    P(quint8, packType, setPackType, packTypeChanged, 0) \
    P(quint8, dataWidth, setDataWidth, dataWidthChanged, 0) \
    P(quint32, packTime1, setPackTime1, packTime1Changed, 0) \
    P(quint16, packTime2, setPackTime2, packTime2Changed, 0) \
    P(quint16, numPerRow, setNumPerRow, numPerRowChanged, 0) \
    P(quint16, numPerCol, setNumPerCol, numPerColChanged, 0) \
    P(quint16, rowNumPerPack, setRowNumPerPack, rowNumPerPackChanged, 0) \
    P(quint16, rowSerialNum, setRowSerialNum, rowSerialNumChanged, 0) \
    P(quint16, packSerialNum, setPackSerialNum, packSerialNumChanged, 0) \
    P(quint16, packNumPerFrame, setPackNumPerFrame, packNumPerFrameChanged, 0) \
    P(quint32, frameSerialNum, setFrameSerialNum, frameSerialNumChanged, 0) \
    P(QString, deviceName, setDeviceName, deviceNameChanged, QString()) \
    P(quint8, workMode, setWorkMode, workModeChanged, 0) \
    P(float, acousticVelocity, setAcousticVelocity, acousticVelocityChanged, 0.0f) \
    P(quint32, dataHeight, setDataHeight, dataHeightChanged, 0) \
    P(float, maxDist, setMaxDist, maxDistChanged, 1.0f) \
    P(float, distReso, setDistReso, distResoChanged, 0.0f) \
    S(float, horAngleReso, setHorAngleReso, horAngleResoChanged, 90.0f) \
    P(float, verAngleReso, setVerAngleReso, verAngleResoChanged, 0.0f) \
    P(float, longitude, setLongitude, longitudeChanged, 0.0f) \
    P(float, latitude, setLatitude, latitudeChanged, 0.0f) \
    P(float, altitude, setAltitude, altitudeChanged, 0.0f) \
    P(float, status, setStatus, statusChanged, 0.0f) \
    P(float, yaw, setYaw, yawChanged, 0.0f) \
    P(float, pitch, setPitch, pitchChanged, 0.0f) \
    P(float, roll, setRoll, rollChanged, 0.0f) \
    P(float, speed, setSpeed, speedChanged, 0.1f) \
    P(float, direction, setDirection, directionChanged, 0.0f) \
    P(quint8, syncModel, setSyncModel, syncModelChanged, 0) \
    P(float, workCycle, setWorkCycle, workCycleChanged, 0.0f) \
    P(quint8, power, setPower, powerChanged, 0) \
    P(quint8, sigModel, setSigModel, sigModelChanged, 0) \
    P(quint8, TVGSet, setTVGSet, TVGSetChanged, 0) \
    P(quint32, syncDelay, setSyncDelay, syncDelayChanged, 0) \
    P(quint8, windowFunc, setWindowFunc, windowFuncChanged, 0) \
    P(float, TVGA, setTVGA, TVGAChanged, 0.0f) \
    P(float, TVGB, setTVGB, TVGBChanged, 0.0f) \
    P(float, TVGC, setTVGC, TVGCChanged, 0.0f) \
    P(quint8, brightness, setBrightness, brightnessChanged, 0) \
    P(quint8, dynImprove, setDynImprove, dynImproveChanged, 0) \
    P(quint8, blank, setBlank, blankChanged, 1) \
    P(float, press, setPress, pressChanged, 0.0f) \
    P(float, temp1, setTemp1, temp1Changed, 0.0f) \
    P(float, temp2, setTemp2, temp2Changed, 0.0f) \
    P(quint64, utcTime, setUtcTime, utcTimeChanged, 0) \
    P(float, gamma, setGamma, gammaChanged, 0.0f) \
    P(quint8, workModeNum, setWorkModeNum, workModeNumChanged, 1) \
    S(float, maxRange, setMaxRange, maxRangeChanged, 150.0f) \
    P(int, brightnessBase, setBrightnessBase, brightnessBaseChanged, 16) \
    P(float, vez25EDirectionAngle, setVez25EDirectionAngle, vez25EDirectionAngleChanged, 0.0f) \
    P(float, doaFreq, setDoaFreq, doaFreqChanged, 0.0f) \
    P(float, doaFregValue, setDoaFregValue, doaFregValueChanged, 0.0f) \
    P(float, doa, setDoa, doaChanged, 0.0f) \
    P(float, doaValue, setDoaValue, doaValueChanged, 0.0f) \
    P(float, realFc, setRealFc, realFcChanged, 0.0f) \
    P(QStringList, searchedNameAndIp, setSearchedNameAndIp, searchedNameAndIpChanged, \
      QStringList()) \
    P(InformationCenter::FileStatus, m_fileStatus, setFileStatus, fileStatusChanged, \
      InformationCenter::FileStatus::None) \
    P(InformationCenter::ConnectStatus, m_connectStatus, setConnectStatus, connectStatusChanged, \
      InformationCenter::ConnectStatus::None) \
    P(QString, hostIp, setHostIp, hostIpChanged, QStringLiteral("127.0.0.1")) \
    P(QString, hostUdpPort, setHostUdpPort, hostUdpPortChanged, QStringLiteral("5008")) \
    P(QString, dstIp, setDstIp, dstIpChanged, QStringLiteral("192.168.1.100")) \
    P(ColorTable::colorName, colorTable, setColorTable, colorTableChanged, ColorTable::Default) \
    P(QStringList, supportWorkModel, setSupportWorkModel, supportWorkModelChanged, QStringList()) \
    P(bool, isClearTargetList, setIsClearTargetList, isClearTargetListChanged, false) \
    P(QStringList, BluetoothList, setBluetoothList, BluetoothListChanged, QStringList()) \
    P(QString, BluetoothName, setBluetoothName, BluetoothNameChanged, QString()) \
    P(bool, connectBluetooth, setConnectBluetooth, connectBluetoothChanged, false) \
    P(bool, connectOK, setConnectOK, connectOKChanged, false) \
    P(bool, findBlueTooth, setFindBlueTooth, findBlueToothChanged, false) \
    S(QString, str_cmd, setStr_cmd, str_cmdChanged, QString()) \
    P(bool, isUpata, setIsUpata, isUpataChanged, false) \
    P(bool, visitInside, setVisitInside, visitInsideChanged, false) \
    P(QString, showInside, setShowInside, showInsideChanged, QStringLiteral(" ")) \
    P(bool, isStart, setIsStart, isStartChanged, false) \
    P(int, switchColor, setSwitchColor, switchColorChanged, 0) \
    P(double, removeAngle, setRemoveAngle, removeAngleChanged, 0.0) \
    P(bool, isWholeOrHalf, setIsWholeOrHalf, isWholeOrHalfChanged, true) \
    P(bool, isReturnCenter, setIsReturnCenter, isReturnCenterChanged, false) \
    P(bool, isStartOK, setIsStartOK, isStartOKChanged, false) \
    P(bool, versionReturn, setVersionReturn, versionReturnChanged, false) \
    P(bool, cmdWaitOK, setCmdWaitOK, cmdWaitOKChanged, false) \
    P(double, targetGamma, setTargetGamma, targetGammaChanged, 1.4) \
    P(bool, reset, setReset, resetChanged, false) \
    P(double, removeAngle2, setRemoveAngle2, removeAngle2Changed, 65535.0) \
    P(double, scale, setScale, scaleChanged, 0.015) \
    P(double, offest, setOffest, offestChanged, 0.0) \
    P(float, speedMove, setSpeedMove, speedMoveChanged, 0.1f)

class InformationCenter : public QObject
{
    Q_OBJECT

    Q_PROPERTY(quint8 packType READ packType WRITE setPackType NOTIFY packTypeChanged)
    Q_PROPERTY(quint8 dataWidth READ dataWidth WRITE setDataWidth NOTIFY dataWidthChanged)
    Q_PROPERTY(quint32 packTime1 READ packTime1 WRITE setPackTime1 NOTIFY packTime1Changed)
    Q_PROPERTY(quint16 packTime2 READ packTime2 WRITE setPackTime2 NOTIFY packTime2Changed)
    Q_PROPERTY(quint16 numPerRow READ numPerRow WRITE setNumPerRow NOTIFY numPerRowChanged)
    Q_PROPERTY(quint16 numPerCol READ numPerCol WRITE setNumPerCol NOTIFY numPerColChanged)
    Q_PROPERTY(
        quint16 rowNumPerPack READ rowNumPerPack WRITE setRowNumPerPack NOTIFY rowNumPerPackChanged)
    Q_PROPERTY(
        quint16 rowSerialNum READ rowSerialNum WRITE setRowSerialNum NOTIFY rowSerialNumChanged)
    Q_PROPERTY(
        quint16 packSerialNum READ packSerialNum WRITE setPackSerialNum NOTIFY packSerialNumChanged)
    Q_PROPERTY(quint16 packNumPerFrame READ packNumPerFrame WRITE setPackNumPerFrame NOTIFY
                   packNumPerFrameChanged)
    Q_PROPERTY(quint32 frameSerialNum READ frameSerialNum WRITE setFrameSerialNum NOTIFY
                   frameSerialNumChanged)
    Q_PROPERTY(QString deviceName READ deviceName WRITE setDeviceName NOTIFY deviceNameChanged)
    Q_PROPERTY(quint8 workMode READ workMode WRITE setWorkMode NOTIFY workModeChanged)
    Q_PROPERTY(float acousticVelocity READ acousticVelocity WRITE setAcousticVelocity NOTIFY
                   acousticVelocityChanged)
    Q_PROPERTY(quint32 dataHeight READ dataHeight WRITE setDataHeight NOTIFY dataHeightChanged)
    Q_PROPERTY(float maxDist READ maxDist WRITE setMaxDist NOTIFY maxDistChanged)
    Q_PROPERTY(float distReso READ distReso WRITE setDistReso NOTIFY distResoChanged)
    Q_PROPERTY(
        float horAngleReso READ horAngleReso WRITE setHorAngleReso NOTIFY horAngleResoChanged)
    Q_PROPERTY(
        float verAngleReso READ verAngleReso WRITE setVerAngleReso NOTIFY verAngleResoChanged)
    Q_PROPERTY(float longitude READ longitude WRITE setLongitude NOTIFY longitudeChanged)
    Q_PROPERTY(float latitude READ latitude WRITE setLatitude NOTIFY latitudeChanged)
    Q_PROPERTY(float altitude READ altitude WRITE setAltitude NOTIFY altitudeChanged)
    Q_PROPERTY(float status READ status WRITE setStatus NOTIFY statusChanged)
    Q_PROPERTY(float yaw READ yaw WRITE setYaw NOTIFY yawChanged)
    Q_PROPERTY(float pitch READ pitch WRITE setPitch NOTIFY pitchChanged)
    Q_PROPERTY(float roll READ roll WRITE setRoll NOTIFY rollChanged)
    Q_PROPERTY(float speed READ speed WRITE setSpeed NOTIFY speedChanged)
    Q_PROPERTY(float direction READ direction WRITE setDirection NOTIFY directionChanged)
    Q_PROPERTY(quint8 syncModel READ syncModel WRITE setSyncModel NOTIFY syncModelChanged)
    Q_PROPERTY(float workCycle READ workCycle WRITE setWorkCycle NOTIFY workCycleChanged)
    Q_PROPERTY(quint8 power READ power WRITE setPower NOTIFY powerChanged)
    Q_PROPERTY(quint8 sigModel READ sigModel WRITE setSigModel NOTIFY sigModelChanged)
    Q_PROPERTY(quint8 TVGSet READ TVGSet WRITE setTVGSet NOTIFY TVGSetChanged)
    Q_PROPERTY(quint32 syncDelay READ syncDelay WRITE setSyncDelay NOTIFY syncDelayChanged)
    Q_PROPERTY(quint8 windowFunc READ windowFunc WRITE setWindowFunc NOTIFY windowFuncChanged)
    Q_PROPERTY(float TVGA READ TVGA WRITE setTVGA NOTIFY TVGAChanged)
    Q_PROPERTY(float TVGB READ TVGB WRITE setTVGB NOTIFY TVGBChanged)
    Q_PROPERTY(float TVGC READ TVGC WRITE setTVGC NOTIFY TVGCChanged)
    Q_PROPERTY(quint8 brightness READ brightness WRITE setBrightness NOTIFY brightnessChanged)
    Q_PROPERTY(quint8 dynImprove READ dynImprove WRITE setDynImprove NOTIFY dynImproveChanged)
    Q_PROPERTY(quint8 blank READ blank WRITE setBlank NOTIFY blankChanged)
    Q_PROPERTY(float press READ press WRITE setPress NOTIFY pressChanged)
    Q_PROPERTY(float temp1 READ temp1 WRITE setTemp1 NOTIFY temp1Changed)
    Q_PROPERTY(float temp2 READ temp2 WRITE setTemp2 NOTIFY temp2Changed)
    Q_PROPERTY(quint64 utcTime READ utcTime WRITE setUtcTime NOTIFY utcTimeChanged)
    Q_PROPERTY(float gamma READ gamma WRITE setGamma NOTIFY gammaChanged)
    Q_PROPERTY(quint8 workModeNum READ workModeNum WRITE setWorkModeNum NOTIFY workModeNumChanged)
    Q_PROPERTY(float maxRange READ maxRange WRITE setMaxRange NOTIFY maxRangeChanged)
    Q_PROPERTY(
        int brightnessBase READ brightnessBase WRITE setBrightnessBase NOTIFY brightnessBaseChanged)
    Q_PROPERTY(float vez25EDirectionAngle READ vez25EDirectionAngle WRITE setVez25EDirectionAngle
                   NOTIFY vez25EDirectionAngleChanged FINAL)
    Q_PROPERTY(float doaFreq READ doaFreq WRITE setDoaFreq NOTIFY doaFreqChanged FINAL)
    Q_PROPERTY(
        float doaFregValue READ doaFregValue WRITE setDoaFregValue NOTIFY doaFregValueChanged FINAL)
    Q_PROPERTY(float doa READ doa WRITE setDoa NOTIFY doaChanged FINAL)
    Q_PROPERTY(float doaValue READ doaValue WRITE setDoaValue NOTIFY doaValueChanged FINAL)
    Q_PROPERTY(float realFc READ realFc WRITE setRealFc NOTIFY realFcChanged FINAL)
    Q_PROPERTY(QStringList searchedNameAndIp READ searchedNameAndIp WRITE setSearchedNameAndIp
                   NOTIFY searchedNameAndIpChanged FINAL)
    Q_PROPERTY(FileStatus m_fileStatus READ m_fileStatus WRITE setFileStatus NOTIFY
                   fileStatusChanged FINAL)
    Q_PROPERTY(ConnectStatus m_connectStatus READ m_connectStatus WRITE setConnectStatus NOTIFY
                   connectStatusChanged FINAL)
    Q_PROPERTY(QString hostIp READ hostIp WRITE setHostIp NOTIFY hostIpChanged FINAL)
    Q_PROPERTY(
        QString hostUdpPort READ hostUdpPort WRITE setHostUdpPort NOTIFY hostUdpPortChanged FINAL)
    Q_PROPERTY(QString dstIp READ dstIp WRITE setDstIp NOTIFY dstIpChanged FINAL)
    Q_PROPERTY(ColorTable::colorName colorTable READ colorTable WRITE setColorTable NOTIFY
                   colorTableChanged FINAL)
    Q_PROPERTY(QStringList supportWorkModel READ supportWorkModel WRITE setSupportWorkModel NOTIFY
                   supportWorkModelChanged FINAL)
    Q_PROPERTY(bool isClearTargetList READ isClearTargetList WRITE setIsClearTargetList NOTIFY
                   isClearTargetListChanged FINAL)
    Q_PROPERTY(QStringList BluetoothList READ BluetoothList WRITE setBluetoothList NOTIFY
                   BluetoothListChanged FINAL)
    Q_PROPERTY(QString BluetoothName READ BluetoothName WRITE setBluetoothName NOTIFY
                   BluetoothNameChanged FINAL)
    Q_PROPERTY(bool connectBluetooth READ connectBluetooth WRITE setConnectBluetooth NOTIFY
                   connectBluetoothChanged FINAL)
    Q_PROPERTY(bool connectOK READ connectOK WRITE setConnectOK NOTIFY connectOKChanged FINAL)
    Q_PROPERTY(bool findBlueTooth READ findBlueTooth WRITE setFindBlueTooth NOTIFY
                   findBlueToothChanged FINAL)
    Q_PROPERTY(QString str_cmd READ str_cmd WRITE setStr_cmd NOTIFY str_cmdChanged FINAL)
    Q_PROPERTY(bool isUpata READ isUpata WRITE setIsUpata NOTIFY isUpataChanged FINAL)
    Q_PROPERTY(
        bool visitInside READ visitInside WRITE setVisitInside NOTIFY visitInsideChanged FINAL)
    Q_PROPERTY(
        QString showInside READ showInside WRITE setShowInside NOTIFY showInsideChanged FINAL)
    Q_PROPERTY(bool isStart READ isStart WRITE setIsStart NOTIFY isStartChanged FINAL)
    Q_PROPERTY(
        int switchColor READ switchColor WRITE setSwitchColor NOTIFY switchColorChanged FINAL)
    Q_PROPERTY(
        double removeAngle READ removeAngle WRITE setRemoveAngle NOTIFY removeAngleChanged FINAL)
    Q_PROPERTY(bool isWholeOrHalf READ isWholeOrHalf WRITE setIsWholeOrHalf NOTIFY
                   isWholeOrHalfChanged FINAL)
    Q_PROPERTY(bool isReturnCenter READ isReturnCenter WRITE setIsReturnCenter NOTIFY
                   isReturnCenterChanged FINAL)
    Q_PROPERTY(bool isStartOK READ isStartOK WRITE setIsStartOK NOTIFY isStartOKChanged FINAL)
    Q_PROPERTY(bool versionReturn READ versionReturn WRITE setVersionReturn NOTIFY
                   versionReturnChanged FINAL)
    Q_PROPERTY(bool cmdWaitOK READ cmdWaitOK WRITE setCmdWaitOK NOTIFY cmdWaitOKChanged FINAL)
    Q_PROPERTY(
        double targetGamma READ targetGamma WRITE setTargetGamma NOTIFY targetGammaChanged FINAL)
    Q_PROPERTY(bool reset READ reset WRITE setReset NOTIFY resetChanged FINAL)
    Q_PROPERTY(double removeAngle2 READ removeAngle2 WRITE setRemoveAngle2 NOTIFY
                   removeAngle2Changed FINAL)
    Q_PROPERTY(double scale READ scale WRITE setScale NOTIFY scaleChanged FINAL)
    Q_PROPERTY(double offest READ offest WRITE setOffest NOTIFY offestChanged FINAL)
    Q_PROPERTY(float speedMove READ speedMove WRITE setSpeedMove NOTIFY speedMoveChanged FINAL)

public:
    enum class FileStatus { None = 0, Reading = 1, Saving = 2 };
    Q_ENUM(FileStatus)
    enum class ConnectStatus { None = 0, TryConnect = 1, Connected = 2 };
    Q_ENUM(ConnectStatus)

    explicit InformationCenter(QObject *parent = nullptr);

#define KORVESSA_HUB_DECLARE_ACCESSORS(Type, name, setter, notify, init) \
    Type name() const; \
    void setter(Type value);
    KORVESSA_HUB_PROPERTIES(KORVESSA_HUB_DECLARE_ACCESSORS, KORVESSA_HUB_DECLARE_ACCESSORS)
#undef KORVESSA_HUB_DECLARE_ACCESSORS

    // Mirrors one published frame header into the header properties, field by field, each
    // change signalled as soon as it is stored. GUI thread.
    void updateFromPackageInfo(const packageInfo &head);
    // Takes the connected sonar's record: keeps a copy for f_updateMaxRange and derives the
    // device name, the work-mode list, the maximum range and the brightness base. GUI thread.
    void setDeviceInfo(const DeviceInfo &info);

public slots:
    void f_setFileStatusNone();
    void f_setFileStatusReading();
    void f_setFileStatusSaving();
    // The argument is not consulted: QML passes the status property itself so that a binding
    // calling the test re-evaluates on the status's change signal.
    bool f_filestatusIsNone(InformationCenter::FileStatus inFilestatus);
    bool f_fileStatusIsReading(InformationCenter::FileStatus inFilestatus);
    bool f_fileStatusIsSaving(InformationCenter::FileStatus inFilestatus);
    void f_setSaveFileNameToClipboard();
    QStringList f_getHostIpAddrs();
    void f_setConnectStatusNone();
    void f_setConnectStatusTryConnect();
    void f_setConnectStatusConnected();
    bool f_connectStatusIsNone(InformationCenter::ConnectStatus inConnectStatus);
    bool f_connectStatusIsTryConnect(InformationCenter::ConnectStatus inConnectStatus);
    bool f_connnectStatusIsConnected(InformationCenter::ConnectStatus inConnectStatus);
    void f_updateMaxRange(int inWorkModel);

signals:
#define KORVESSA_HUB_DECLARE_SIGNAL(Type, name, setter, notify, init) void notify();
    KORVESSA_HUB_PROPERTIES(KORVESSA_HUB_DECLARE_SIGNAL, KORVESSA_HUB_DECLARE_SIGNAL)
#undef KORVESSA_HUB_DECLARE_SIGNAL

    void sigReadFile(const QString &inFileName);
    void sigStopReadFile();
    void sigTotalFrame(const QString &inTotalFrame);
    void sigCurFrame(const QString &inCurFrame);
    void sigReadFileRate(double inRate);
    void sigPause(bool inPauseOrNot);
    void sigGotoFrame(int inFrame, bool inStatus);
    void sigSaveFile(const QString &inFileName);
    void sigStopSaveFile();
    void sigCreateSearchThread(bool inCreateSearchThread);
    void sigSearching(bool inSearcing);
    void sigConnecting(bool inConnecting, const QString &inIp);
    void sigTryConnectFailed(const QString &inMsg);
    void sigTipsDialog(const QString &inTitle, const QString &inMsg);
    void sigTipsCMD(const QString &inMsg);
    void sigSendCMDIpAndPort(const QString &inIp, const QString &inPort);
    void bluetoothDevice(const QString &name);
    void clearImageBuffer();
    void enforcementStartBtn(bool inChecked);
    void sigBrightnessOffset(int inOffset);
    void sigIsGetPoint(bool inIsGetPoint);
    void sigScanEnd();
    void sigScanStart();
    void sigStartStatusChanged(bool inStart);
    void updateSchedule(int value);
    void palyBackVideo(int value);
    void palyBackEnable(bool value);

    void devIpChanged();
    void arcCountChanged();
    void chordCountChanged();
    void screenCaptureChanged();
    void screenCaptureingChanged();
    void realDistanceChanged();
    void squareLengthChanged();
    void imageWidthChanged();
    void targetDistanceChanged();
    void bluetoothDeviceClear();
    void connectSuccess();
    void disconnectChanged();
    void sigFindTo();
    void sigFindZeroEnd();

private:
#define KORVESSA_HUB_DECLARE_MEMBER(Type, name, setter, notify, init) HubValue<Type> m_##name{init};
    KORVESSA_HUB_PROPERTIES(KORVESSA_HUB_DECLARE_MEMBER, KORVESSA_HUB_DECLARE_MEMBER)
#undef KORVESSA_HUB_DECLARE_MEMBER

    // The last connected sonar's record (GUI thread only); none before the first setDeviceInfo.
    DeviceInfo m_deviceInfo;
    bool m_hasDeviceInfo = false;
};
