#include "processClass/Processing.h"

#include "app/InformationCenter.h"
#include "processClass/CloudPoint.h"
#include "processClass/PacketRing.h"
#include "processClass/PointCloudCache.h"
#include "processClass/RecordingFile.h"

#include <QDebug>

#include <chrono>
#include <cmath>
#include <limits>
#include <locale>
#include <new>
#include <thread>

namespace {

// A replay hands its points to the store 500 at a time and reports progress every 100
// accepted packets.
constexpr std::size_t replayPointBatch = 500;
constexpr int replayProgressStep = 100;

} // namespace

Processing::Processing(PacketRing **inRing, InformationCenter **inInfoCenter, QObject *parent)
    : QObject(parent), m_packetLength(packetSize), m_ring(inRing), m_infoCenter(inInfoCenter)
{
    for (auto &slot : m_batchData)
        slot.reset(new FrameBuffer(FrameAssembler::frameCapacity()));
    m_batchResults.reserve(maxBatch);

    InformationCenter *center = hub();
    if (!center)
        return;
    connect(center, &InformationCenter::isStartChanged, this, &Processing::onIsStartChanged);
    connect(center, &InformationCenter::clearImageBuffer, this, &Processing::init);
    connect(center, &InformationCenter::sigBrightnessOffset, this, &Processing::onBrightnessOffset);
    connect(center, &InformationCenter::fileStatusChanged, this, &Processing::onFileStatusChanged);
    connect(center, &InformationCenter::sigSaveFile, this, &Processing::onSaveFile);
    connect(center, &InformationCenter::sigStopSaveFile, this, &Processing::onStopSaveFile);
    connect(center, &InformationCenter::palyBackVideo, this, &Processing::playBackFrame);
}

Processing::~Processing()
{
    // The point-cloud file closes with its stream, after the loop has stopped.
    stop();
}

int Processing::batchSizeFor(float workCycle)
{
    const double cycle = workCycle;
    if (!(cycle > 0) || std::isinf(cycle))
        return 1;
    // Clamped while still a double: a tiny cycle gives infinity, which no integer holds.
    const double n = std::fmin(std::fmax(1.0 / cycle / 10.0, 1.0), double(maxBatch));
    return int(std::round(n));
}

QString Processing::pointCloudFileNameFor(const QString &recordingUrl)
{
    QString name = RecordingFile::localPath(recordingUrl);
    if (name.toUpper().endsWith(QLatin1String(".DB")))
        name.chop(3);
    return name + QStringLiteral("PointCloud.txt");
}

void Processing::processFrame(const packageInfo &header, const FrameBuffer &data, qint64 dataBytes,
                              FrameResult &result, double points[8])
{
    data.spans(dataBytes, m_frameSpans);
    m_echo.processFrame(header, data.data(), dataBytes, m_frameSpans, result, points);
}

void Processing::generateImagefor10(const packageInfo *const *heads, const uchar *const *data,
                                    const quint32 *bytes, int num, quint16 *out)
{
    showBeamLines(m_polar.generateImagefor10(heads, data, bytes, num, out));
}

void Processing::generateImagefor10(const packageInfo *const *heads,
                                    const std::vector<FrameBuffer::Piece> *pieces,
                                    const quint32 *bytes, int num, quint16 *out)
{
    showBeamLines(m_polar.generateImagefor10(heads, pieces, bytes, num, out));
}

void Processing::showBeamLines(const PolarImage::Centres &centres)
{
    InformationCenter *center = hub();
    // A non-finite bearing from a bad header would only put NaN into the beam lines.
    if (!centres.valid || !center || !std::isfinite(centres.centreA)
        || !std::isfinite(centres.centreB))
        return;
    center->setRemoveAngle(centres.centreA);
    center->setRemoveAngle2(centres.centreB);
}

bool Processing::drawImage(const packageInfo *const *heads, const uchar *const *data,
                           const quint32 *bytes, quint16 n)
{
    generateImagefor10(heads, data, bytes, n, m_polar.accImage());
    return publishImage(heads, n);
}

bool Processing::drawImage(const packageInfo *const *heads,
                           const std::vector<FrameBuffer::Piece> *pieces, const quint32 *bytes,
                           quint16 n)
{
    generateImagefor10(heads, pieces, bytes, n, m_polar.accImage());
    return publishImage(heads, n);
}

bool Processing::publishImage(const packageInfo *const *heads, quint16 n)
{
    if (!heads || n < 1 || !heads[0] || !heads[n - 1])
        return false;
    const packageInfo &first = *heads[0];
    const packageInfo &last = *heads[n - 1];

    InformationCenter *center = hub();
    if (center && center->m_fileStatus() == InformationCenter::FileStatus::Reading) {
        pushImageFrame(n, last, m_polar.accImage());
        return true;
    }

    SweepRenderer::Style style;
    style.gamma = double(first.gamma);
    if (center) {
        style.scale = center->scale();
        style.offest = center->offest();
        style.switchColor = center->switchColor();
    }
    m_renderer.colour(m_polar.accImage(), PolarImage::imageCols, PolarImage::imageRows, style);
    if (!m_batchResults.empty() && !m_renderer.sectorImage().isNull()) {
        m_renderer.drawBatchMarkers(m_batchResults, first, n, PolarImage::imageRadius);
        m_renderer.composite();
    }
    if (m_renderer.sectorImage().isNull()) {
        qDebug() << "声呐图片为空，不显示";
        return false;
    }
    const bool whole = center ? center->isWholeOrHalf() : true;
    emit sigUpdatePixmap(QPixmap::fromImage(m_renderer.sectorImage()), whole);
    emit sig_packageInfo(last);
    return true;
}

bool Processing::renderImageFrame(const ImageFrame &frame)
{
    if (frame.image.empty() || frame.cols <= 0 || frame.rows <= 0
        || std::size_t(frame.image.size()) < std::size_t(frame.cols) * std::size_t(frame.rows))
        return false;
    InformationCenter *center = hub();
    SweepRenderer::Style style; // a stored image carries its gamma already
    if (center) {
        style.scale = center->scale();
        style.offest = center->offest();
        style.switchColor = center->switchColor();
    }
    m_renderer.colour(frame.image.data(), frame.cols, frame.rows, style);
    if (!frame.results.empty() && !m_renderer.sectorImage().isNull()) {
        m_renderer.drawStoredMarkers(frame.results, frame.header, PolarImage::imageRadius);
        m_renderer.composite();
    }
    if (m_renderer.sectorImage().isNull())
        return false;
    const bool whole = center ? center->isWholeOrHalf() : true;
    emit sigUpdatePixmap(QPixmap::fromImage(m_renderer.sectorImage()), whole);
    emit sig_packageInfo(frame.header);
    return true;
}

void Processing::pushImageFrame(quint16 n, const packageInfo &header, const quint16 *image)
{
    const int newest = m_imageHistory.push(n, header, image, PolarImage::imageCols,
                                           PolarImage::imageRows, m_sweepResults);
    if (InformationCenter *center = hub())
        emit center->updateSchedule(newest);
}

void Processing::clearHistory()
{
    m_gate.post([this] { m_imageHistory.clear(); });
}

void Processing::requestStop()
{
    m_stopRequested.exchange(true);
}

void Processing::clearStopRequest()
{
    m_stopRequested.exchange(false);
}

void Processing::init()
{
    m_gate.post([this] {
        m_renderer.clear();
        m_polar.clear();
        PointCloudCache::instance().clear();
        m_batchIndex = 0;
        m_alongTrack = 0;
        m_batchResults.clear();
    });
}

void Processing::setIsShowPoint(bool inIsShowPoint)
{
    m_gate.post([this, inIsShowPoint] {
        m_isShowPoint = inIsShowPoint;
        m_renderer.clearMarkers();
    });
}

void Processing::onIsStartChanged()
{
    if (InformationCenter *center = hub(); center && center->isStart())
        init();
}

void Processing::onBrightnessOffset(int inOffset)
{
    m_gate.post([this, inOffset] {
        m_brightnessOffset = inOffset;
        m_brightnessGain = std::pow(std::sqrt(2.0), m_brightnessOffset - m_brightnessBaseOffset);
    });
}

double Processing::replayBrightnessGain() const
{
    return m_brightnessGain.load();
}

void Processing::onFileStatusChanged()
{
    InformationCenter *center = hub();
    if (!center || center->m_fileStatus() == InformationCenter::FileStatus::Reading)
        return;
    m_gate.post([this] { m_brightnessBaseOffset = 0; });
    center->setBrightness(0);
}

void Processing::onSaveFile(const QString &inFileName)
{
    openPointCloudFile(inFileName);
}

void Processing::openPointCloudFile(const QString &url)
{
    m_gate.post([this, url] {
        // A new recording starts a new file; the previous one is finished, not kept open.
        if (m_pointCloudFile.is_open())
            m_pointCloudFile.close();
        m_pointCloudFile.clear();
        const QString name = pointCloudFileNameFor(url);
        m_pointCloudFile.open(name.toUtf8().constData(), std::ios::out | std::ios::app);
        // Numbers are written with "." whatever the machine's locale.
        m_pointCloudFile.imbue(std::locale::classic());
        if (!m_pointCloudFile.is_open())
            qWarning().noquote() << "Failed to open point cloud file:" << name;
    });
}

void Processing::onStopSaveFile()
{
    m_gate.post([this] {
        if (m_pointCloudFile.is_open())
            m_pointCloudFile.close();
    });
}

void Processing::run()
{
    // While packets keep coming the loop naps 1 ms after every ten empty passes; after about
    // 100 ms without a packet (no sonar, or one that stopped) it dozes 5 ms a pass, so an
    // idle program costs almost nothing. The ring holds whatever arrives meanwhile.
    constexpr int passesPerNap = 10;
    constexpr int passesBeforeDoze = 1000;
    std::unique_ptr<uchar[]> packet(new uchar[m_packetLength]());
    int idlePasses = 0;
    while (isRunning()) {
        PacketRing *source = m_ring ? *m_ring : nullptr;
        if (!source || !source->pop(packet.get())) {
            m_gate.runWaiting();
            if (idlePasses >= passesBeforeDoze) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            } else if (++idlePasses % passesPerNap == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            continue;
        }
        idlePasses = 0;
        // Packets that arrive during a replay are dropped (checked again under the gate, after
        // the replay's start has reset the assembler).
        if (replayHoldsTheData())
            continue;
        FrameGate::Hold hold(m_gate);
        if (!replayHoldsTheData() && m_assembler.addPacket(packet.get()) == 1)
            handleLiveFrame();
    }
}

void Processing::handleLiveFrame()
{
    const int i = m_batchIndex;
    FrameBuffer &frame = *m_batchData[i];
    const qint64 bytes = m_assembler.takeFrame(&m_batchHeaders[i], frame);
    m_batchBytes[i] = quint32(bytes);
    frame.pieces(bytes, m_batchPieces[i]);

    FrameResult result;
    double points[8];
    const packageInfo header = m_batchHeaders[i];
    processFrame(header, frame, bytes, result, points);

    widenMaxBeamRange(result);

    InformationCenter *center = hub();
    const float speed = center ? center->speedMove() : 0.0f;
    m_batchHeaders[i].speed = speed;
    if (center)
        m_batchHeaders[i].gamma = float(center->targetGamma());
    // A speed that is not a number would spoil every later point.
    if (std::isfinite(speed))
        m_alongTrack += speed / 1000.0;

    // A point that a float cannot hold is left out of the store and the file.
    CloudPoint cloud[2];
    quint32 count = 0;
    for (int beam = 0; beam < 2; ++beam) {
        const double *p = points + 4 * beam;
        if (toCloudPoint(m_alongTrack, p[1], p[2], p[3], cloud[count]))
            ++count;
    }
    if (count > 0)
        PointCloudCache::instance().appendPoints(reinterpret_cast<const float *>(cloud), count);

    emit sigProcessOK(m_batchHeaders[i], m_maxBeamRange);

    if (m_pointCloudFile.is_open()) {
        for (quint32 k = 0; k < count; ++k) {
            const CloudPoint &p = cloud[k];
            m_pointCloudFile << p.alongTrack << ' ' << p.x << ' ' << p.y << ' ' << p.strength
                             << '\n';
        }
    }

    const int n = batchSizeFor(m_batchHeaders[i].workCycle);
    if (m_isShowPoint)
        m_batchResults.push_back(result);

    m_batchIndex += 1;
    if (m_batchIndex >= n) {
        m_batchIndex = 0;
        const packageInfo *heads[maxBatch];
        for (int k = 0; k < n; ++k)
            heads[k] = &m_batchHeaders[k];
        drawImage(heads, m_batchPieces, m_batchBytes, quint16(n));
        m_batchResults.clear();
    }
}

bool Processing::replayHoldsTheData() const
{
    // The file status stays Reading a little after the replay's thread has finished; a live
    // batch drawn then would be stored into the replay's history.
    const InformationCenter *center = hub();
    return m_replayActive.load()
           || (center && center->m_fileStatus() == InformationCenter::FileStatus::Reading);
}

void Processing::setReplayActive(bool active)
{
    if (active)
        m_replayActive.store(true);
    m_gate.post([this] { m_assembler.reset(); });
    if (!active)
        m_replayActive.store(false);
}

Processing::PartEnd Processing::processFile(const uchar *bytes, quint32 length)
{
    return processFile(bytes ? length : 0, [bytes](quint32 offset) { return bytes + offset; });
}

Processing::PartEnd Processing::processFile(quint32 length, const RecordSource &record)
{
    InformationCenter *center = hub();
    {
        FrameGate::Hold hold(m_gate);
        m_alongTrack = 0;
        m_sweep.restart();
        // Results of frames that made no image (the previous part's last half turn) would
        // otherwise be drawn as markers on this part's first image.
        m_sweepResults.clear();
        m_imageHistory.setNextImageIndex(0);
    }
    if (center)
        emit center->palyBackEnable(false);
    emit sigProgressInit();

    std::vector<CloudPoint> points;
    packageInfo lastHead;
    PartEnd end = PartEnd::Replayed;
    // A recording may ask for more than this machine has (a sweep of 320 MB, a thousand
    // images): the replay ends, the program does not.
    try {
        // Room for the largest frame the assembler can finish: 500 packets' worth.
        FrameBuffer frame(FrameAssembler::frameCapacity());
        points.reserve(replayPointBatch);
        quint32 offset = 0;
        int accepted = 0;
        while (length - offset >= m_packetLength && !m_stopRequested.load()) {
            const uchar *packet = record(offset);
            if (!packet) {
                end = PartEnd::ReadFailed;
                break;
            }
            offset += m_packetLength;
            int r;
            {
                FrameGate::Hold hold(m_gate);
                r = m_assembler.addPacket(packet);
                if (r == 1)
                    handleReplayFrame(frame, points, &lastHead);
            }
            if (r != -1 && ++accepted == replayProgressStep) {
                accepted = 0;
                emit sigProgressChanged(double(offset) / double(length) * 100.0, true);
            }
        }
    } catch (const std::bad_alloc &) {
        end = PartEnd::OutOfMemory;
    }

    std::deque<ImageFrame> frames;
    bool copied = false;
    // Memory may run out here too; the part still ends as every part does, so that the
    // progress closes and the slider comes back.
    try {
        FrameGate::Hold hold(m_gate);
        // First, so that a sweep that took the memory gives it back.
        m_sweep.release();
        if (!points.empty())
            flushPoints(points, lastHead);
        // The copies share the images' samples with the history.
        frames = m_imageHistory.frames();
        copied = true;
    } catch (const std::bad_alloc &) {
        end = PartEnd::OutOfMemory;
    }
    if (copied) {
        PointCloudCache::instance().setFrames(std::move(frames));
        emit sigProcessImagesOK();
    }
    if (center)
        emit center->palyBackEnable(true);
    emit sigProgressChanged(100.0, false);
    FrameGate::Hold hold(m_gate);
    if (m_imageHistory.size() > 0)
        renderImageFrame(m_imageHistory.frames().back());
    return end;
}

void Processing::handleReplayFrame(FrameBuffer &frame, std::vector<CloudPoint> &points,
                                   packageInfo *lastHead)
{
    packageInfo &head = *lastHead;
    const qint64 bytes = m_assembler.takeFrame(&head, frame);
    FrameResult result;
    double p[8];
    processFrame(head, frame, bytes, result, p);
    widenMaxBeamRange(result);
    // The speed stamped at recording time; a damaged record must not spoil the rest of the part.
    if (std::isfinite(head.speed))
        m_alongTrack += head.speed / 1000.0;
    // A point that a float cannot hold is left out of the store.
    for (int beam = 0; beam < 2; ++beam) {
        CloudPoint point;
        if (toCloudPoint(m_alongTrack, p[4 * beam + 1], p[4 * beam + 2], p[4 * beam + 3], point))
            points.push_back(point);
    }
    if (points.size() >= replayPointBatch)
        flushPoints(points, head);
    if (m_isShowPoint)
        m_sweepResults.push_back(result);
    // Only the delivered bytes are copied; the drawing takes the rest as zeros.
    frame.pieces(bytes, m_framePieces);
    if (m_sweep.add(head, m_framePieces, quint64(bytes)))
        storeSweep();
}

void Processing::widenMaxBeamRange(const FrameResult &result)
{
    for (const double range : {result.rangeA, result.rangeB}) {
        if (std::fabs(range) <= double(std::numeric_limits<float>::max()))
            m_maxBeamRange = std::max(m_maxBeamRange, float(range));
    }
}

void Processing::flushPoints(std::vector<CloudPoint> &points, const packageInfo &head)
{
    PointCloudCache::instance().appendPoints(reinterpret_cast<const float *>(points.data()),
                                             quint32(points.size()));
    points.clear();
    emit sigProcessOK(head, m_maxBeamRange);
}

void Processing::storeSweep()
{
    const ReplaySweep::Batch &batch = m_sweep.batch();
    const int n = m_sweep.size();
    generateImagefor10(batch.heads.data(), batch.pieces.data(), batch.bytes.data(), n,
                       m_polar.accImage());
    pushImageFrame(quint16(n), *batch.heads.back(), m_polar.accImage());
    m_sweep.clearFrames();
}

void Processing::playBackFrame(int index)
{
    m_gate.post([this, index] {
        if (index >= 0 && index < m_imageHistory.size())
            renderImageFrame(m_imageHistory.frames()[std::size_t(index)]);
    });
}
