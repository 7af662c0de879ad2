#pragma once

#include "processClass/EchoProcessor.h"
#include "processClass/FrameAssembler.h"
#include "processClass/FrameBuffer.h"
#include "processClass/FrameGate.h"
#include "processClass/FrameResult.h"
#include "processClass/ImageHistory.h"
#include "processClass/PackageInfo.h"
#include "processClass/PolarImage.h"
#include "processClass/ReplaySweep.h"
#include "processClass/SweepRenderer.h"
#include "processClass/WhileThread.h"

#include "processClass/CloudPoint.h"

#include <QObject>
#include <QPixmap>
#include <QString>

#include <atomic>
#include <fstream>
#include <functional>
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
//
// A replay runs processFile on the replay reader's thread, holding the gate packet by packet
// like the live loop. While a replay is active the live loop leaves the ring's packets alone,
// so a sonar that still streams cannot mix its frames into the replay's.
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

    // The echo processing of one frame of dataBytes bytes; its cost follows the chunks the
    // frame's packets wrote.
    void processFrame(const packageInfo &header, const FrameBuffer &data, qint64 dataBytes,
                      FrameResult &result, double points[8]);

    // Paints n frames (oldest first; bytes[k] is what frame k really holds) into the
    // accumulation image, then stores it in the history while a recording is read, or
    // renders and publishes it.
    bool drawImage(const packageInfo *const *heads, const uchar *const *data, const quint32 *bytes,
                   quint16 n);
    // The same for frames whose bytes lie in pieces, zeros elsewhere (PolarImage).
    bool drawImage(const packageInfo *const *heads, const std::vector<FrameBuffer::Piece> *pieces,
                   const quint32 *bytes, quint16 n);
    // Renders and publishes one stored image of the history.
    bool renderImageFrame(const ImageFrame &frame);
    void generateImagefor10(const packageInfo *const *heads, const uchar *const *data,
                            const quint32 *bytes, int num, quint16 *out);
    void generateImagefor10(const packageInfo *const *heads,
                            const std::vector<FrameBuffer::Piece> *pieces, const quint32 *bytes,
                            int num, quint16 *out);
    void pushImageFrame(quint16 n, const packageInfo &header, const quint16 *accImage);
    void clearHistory();

    // Opens the point-cloud file of the recording that a recording URL starts.
    void onSaveFile(const QString &inFileName);

    void requestStop();
    void clearStopRequest();
    bool isStopRequested() const { return m_stopRequested.load(); }

    // How the replay of a part ended: its whole records replayed (or a stop asked for), a
    // record that could no longer be read, or memory that ran out.
    enum class PartEnd { Replayed, ReadFailed, OutOfMemory };
    // Hands out the whole record at a byte offset of the part (offsets come in increasing order,
    // one record apart), or null once the part cannot be read any more.
    using RecordSource = std::function<const uchar *(quint32 offset)>;

    // Replays one recorded part of length bytes on the caller's thread: its frames, their
    // points in batches of 500 (the rest at the end), one stored image per half turn of the
    // head, then the end sequence (the history to the point-cloud store, the slider enabled,
    // the newest image shown). A tail shorter than a record is ignored. Ends at the next packet
    // once a stop is requested. A record the source cannot give, or a failed allocation, ends
    // the packet loop as a stop does; the end sequence still runs, and the result says why.
    PartEnd processFile(quint32 length, const RecordSource &record);
    // The same for a part held in memory.
    PartEnd processFile(const uchar *bytes, quint32 length);
    // Shows the stored image at index, counted from the oldest; any other index does nothing.
    void playBackFrame(int index);
    // From the start of a replay to its end (and while the file status is Reading) the live
    // loop drops the ring's packets; at both moments the frame the assembler holds in progress
    // is dropped.
    void setReplayActive(bool active);

    const quint16 *accImage() const { return m_polar.accImage(); }
    const std::deque<ImageFrame> &history() const { return m_imageHistory.frames(); }
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
    void onStopSaveFile();
    void openPointCloudFile(const QString &url);

    // One finished frame of the live stream; called with the gate held.
    void handleLiveFrame();
    // True from the start of a replay until its file status is no longer Reading: the live
    // loop leaves the ring's packets alone meanwhile.
    bool replayHoldsTheData() const;
    // One finished frame of a replay; called with the gate held. lastHead keeps its header.
    void handleReplayFrame(FrameBuffer &frame, std::vector<CloudPoint> &points,
                           packageInfo *lastHead);
    // maxBeamRange takes in the frame's ranges that a float can hold.
    void widenMaxBeamRange(const FrameResult &result);
    // The main window's beam lines follow the last frame drawn.
    void showBeamLines(const PolarImage::Centres &centres);
    // After the frames are painted: stores the image while a recording is read, or renders
    // and publishes it.
    bool publishImage(const packageInfo *const *heads, quint16 n);
    // Hands the replay's points to the store and tells the 3D view; gate held.
    void flushPoints(std::vector<CloudPoint> &points, const packageInfo &head);
    // Draws the sweep's frames into the accumulation image and stores the image; gate held.
    void storeSweep();
    InformationCenter *hub() const { return m_infoCenter ? *m_infoCenter : nullptr; }

    const quint16 m_packetLength;
    PacketRing **m_ring;
    InformationCenter **m_infoCenter;

    FrameGate m_gate;
    FrameAssembler m_assembler;
    EchoProcessor m_echo;
    PolarImage m_polar;
    SweepRenderer m_renderer;
    ImageHistory m_imageHistory;

    packageInfo m_batchHeaders[maxBatch];
    std::unique_ptr<FrameBuffer> m_batchData[maxBatch];
    quint32 m_batchBytes[maxBatch] = {};
    // Where each slot's frame holds data (zeros elsewhere).
    std::vector<FrameBuffer::Piece> m_batchPieces[maxBatch];
    std::vector<FrameBuffer::Span> m_frameSpans;
    std::vector<FrameBuffer::Piece> m_framePieces;
    int m_batchIndex = 0;
    std::vector<FrameResult> m_batchResults;
    std::vector<FrameResult> m_sweepResults;
    bool m_isShowPoint = true;

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_replayActive{false};
    ReplaySweep m_sweep;
    double m_alongTrack = 0;
    float m_maxBeamRange = 0;

    std::ofstream m_pointCloudFile;

    int m_brightnessOffset = 0;
    int m_brightnessBaseOffset = 0;
    // Written at the gate, read by replayBrightnessGain from any thread.
    std::atomic<double> m_brightnessGain{1.0};
};
