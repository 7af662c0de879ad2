#pragma once

#include "processClass/EchoProcessor.h"
#include "processClass/FrameAssembler.h"
#include "processClass/FrameGate.h"
#include "processClass/FrameResult.h"
#include "processClass/ImageHistory.h"
#include "processClass/PackageInfo.h"
#include "processClass/PolarImage.h"
#include "processClass/SweepRenderer.h"
#include "processClass/WhileThread.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <atomic>
#include <fstream>
#include <memory>
#include <vector>

class InformationCenter;
class PacketRing;

// The worker at the centre of the data path. Its thread takes packets from the ring (reader
// A), assembles frames, finds the two echoes of each frame, stamps the operator's speed and
// gamma into the header, stores the points, tells the 3D view and, every n frames, draws the
// batch into the sector image and publishes it.
//
// One gate serialises everything that touches the frame state (assembler, filter, batch,
// images, history, along-track distance, point-cloud file, brightness values): the live loop
// holds it while it handles one packet and the frame it may finish. The GUI thread never
// waits for it: init, setIsShowPoint, clearHistory and the InformationCenter handlers post
// their work to the gate, which runs it at once when no frame is in hand and otherwise on
// the data path between two frames (FrameGate).
class Processing : public QObject, public WhileThread
{
    Q_OBJECT

public:
    static constexpr int maxBatch = 20;

    Processing(PacketRing **ring, InformationCenter **infoCenter, QObject *parent = nullptr);
    ~Processing() override;

    // Batch size for a frame's work cycle: 1 / workCycle / 10 to the nearest integer, within
    // 1 to 20; a work cycle that is 0, negative, NaN or infinite gives 1.
    static int batchSizeFor(float workCycle);
    // Point-cloud text file that belongs to a recording URL.
    static QString pointCloudFileNameFor(const QString &recordingUrl);

    // The echo processing of one frame; data holds dataBytes bytes.
    void processFrame(const packageInfo &header, const uchar *data, qint64 dataBytes,
                      FrameResult &result, double points[8]);

    // Paints n frames (oldest first; bytes[k] is what frame k really holds) into the
    // accumulation image, then stores it in the history while a recording is read, or
    // renders and publishes it.
    bool drawImage(const packageInfo *const *heads, const uchar *const *data,
                   const quint32 *bytes, quint16 n);
    // Renders and publishes one stored image of the history.
    bool renderImageFrame(const ImageFrame &frame);
    void generateImagefor10(const packageInfo *const *heads, const uchar *const *data,
                            const quint32 *bytes, int num, quint16 *out);
    void pushImageFrame(quint16 n, const packageInfo &header, const quint16 *accImage);
    void clearHistory();

    void requestStop();
    void clearStopRequest();

    const quint16 *accImage() const { return polar.accImage(); }
    const std::deque<ImageFrame> &history() const { return imageHistory.frames(); }
    // The gain that the replay's brightness offset asks for, sqrt(2) per step; no drawing
    // applies it yet. Any thread; the offset's request may still wait at the gate.
    double replayBrightnessGain() const;

public slots:
    void init();
    void setIsShowPoint(bool inIsShowPoint);

signals:
    void sigUpdatePixmap(QPixmap sectorImage, bool isAllScreen);
    void sig_packageInfo(packageInfo a_curFrameInfo);
    void sigProcessOK(packageInfo head, float maxBeamRange);
    void sigProcessImagesOK();
    void sigProgressInit();
    void sigProgressChanged(double value, bool finished);

protected:
    void run() override;

private:
    void onIsStartChanged();
    void onBrightnessOffset(int inOffset);
    void onFileStatusChanged();
    void onSaveFile(const QString &inFileName);
    void onStopSaveFile();
    void openPointCloudFile(const QString &url);

    // One finished frame of the live stream; called with the gate held.
    void handleLiveFrame();
    InformationCenter *hub() const { return infoCenter ? *infoCenter : nullptr; }

    const quint16 packetLength;
    PacketRing **ring;
    InformationCenter **infoCenter;

    FrameGate gate;
    FrameAssembler assembler;
    EchoProcessor echo;
    PolarImage polar;
    SweepRenderer renderer;
    ImageHistory imageHistory;

    packageInfo batchHeaders[maxBatch];
    std::unique_ptr<uchar[]> batchData[maxBatch];
    quint32 batchBytes[maxBatch] = {};
    int batchIndex = 0;
    std::vector<FrameResult> batchResults;
    std::vector<FrameResult> sweepResults;
    bool isShowPoint = true;

    std::atomic<bool> stopRequested{false};
    double alongTrack = 0;
    float maxBeamRange = 0;

    std::ofstream pointCloudFile;

    int brightnessOffset = 0;
    int brightnessBaseOffset = 0;
    // Written at the gate, read by replayBrightnessGain from any thread.
    std::atomic<double> brightnessGain{1.0};
};
