#include "FileSave.h"

#include "PackageInfo.h"
#include "PacketRing.h"
#include "app/InformationCenter.h"

#include <QDebug>
#include <QFileInfo>

#include <chrono>
#include <memory>
#include <thread>

FileSave::FileSave(PacketRing **inRing, InformationCenter **inInfoCenter, QObject *parent)
    : QObject(parent), m_packetLength(packetSize), m_ring(inRing), m_infoCenter(inInfoCenter),
      m_writer(packetSize)
{
    init();
}

FileSave::~FileSave()
{
    stop();
    m_writer.close();
}

void FileSave::init()
{
    InformationCenter *center = hub();
    if (!center)
        return;
    connect(center, &InformationCenter::sigSaveFile, this, &FileSave::onSaveFile);
    connect(center, &InformationCenter::sigStopSaveFile, this, &FileSave::onStopSaveFile);
}

bool FileSave::onSaveFile(const QString &inFileName)
{
    if (m_asking) {
        // A request that came while the operator is being asked about the last one.
        qDebug() << "保存文件失败" << Q_FUNC_INFO << "a question is open";
        return false;
    }
    if (m_recording) {
        if (!m_failed.load()) {
            // The front end asks only while no recording runs; the running one goes on.
            qDebug() << "保存文件失败" << Q_FUNC_INFO << "a recording is already running";
            return false;
        }
        stop();
        m_recording = false;
    }
    const QString name = RecordingFile::localPath(inFileName);
    const QList<int> leftovers = RecordingFile::existingLaterParts(name);
    if (!leftovers.isEmpty() && !mayReplace(name, leftovers))
        return false;
    if (!openFile(name, leftovers)) {
        qDebug() << "保存文件失败" << Q_FUNC_INFO;
        InformationCenter *center = hub();
        if (center) {
            emit center->sigTipsCMD(tr("保存数据失败：") + name + QLatin1Char(' ')
                                    + m_writer.errorString());
            center->f_setFileStatusNone();
            // Where Processing takes the same request itself, it has opened the point-cloud
            // file: the recording is over.
            emit center->sigStopSaveFile();
        }
        return false;
    }
    stop();
    m_failed.store(false);
    m_recording = true;
    ++m_generation;
    // The recording begins with the next packet pushed.
    if (PacketRing *source = m_ring ? *m_ring : nullptr) {
        source->skipRecord();
        m_lostAtStart = source->lostRecordPackets();
    }
    start();
    return true;
}

bool FileSave::mayReplace(const QString &name, const QList<int> &leftovers)
{
    QStringList shown;
    for (int i = 0; i < leftovers.size() && i < 3; ++i)
        shown << QFileInfo(RecordingFile::partPath(name, leftovers[i])).fileName();
    if (leftovers.size() > 3)
        shown << QStringLiteral("…");
    // They may be another recording's ("dive_1" beside "dive"): the question says what this
    // one does to them, not where they came from.
    static_assert(RecordingFile::partBytes == 500 * 1024 * 1024, "the question names the size");
    const QString text = tr("此处有 %n 个文件与本次录制的后续分段同名：%1\n只有录制增长到某个分段"
                            "时，才会替换与之同名的文件（每 500 MiB 开始一个新分段），录制未到达"
                            "的文件保持不变。是否继续？",
                            nullptr, int(leftovers.size()))
                             .arg(shown.join(QStringLiteral(", ")));
    InformationCenter *center = hub();
    const auto connected = [center] {
        return center && center->f_connnectStatusIsConnected(center->m_connectStatus());
    };
    const bool wasConnected = connected();
    m_asking = true;
    const bool yes = m_prompt.ask && m_prompt.ask(tr("录制"), text);
    m_asking = false;
    // The box runs its own event loop: a sonar lost meanwhile leaves nothing to record.
    return yes && (!wasConnected || connected());
}

bool FileSave::openFile(const QString &name, const QList<int> &replaceable)
{
    if (!m_writer.open(name, replaceable)) {
        qDebug() << "保存文件失败";
        return false;
    }
    if (InformationCenter *center = hub()) {
        center->f_setFileStatusSaving();
        emit center->sigTipsCMD(tr("保存数据：") + name);
    }
    qDebug() << "保存文件";
    return true;
}

void FileSave::onStopSaveFile()
{
    stop();
    if (!m_recording)
        return;
    m_recording = false;
    if (m_failed.load())
        return;
    if (InformationCenter *center = hub())
        emit center->sigTipsCMD(tr("保存数据完成"));
}

void FileSave::endFailedRecording(quint64 failedGeneration)
{
    if (!m_recording || failedGeneration != m_generation)
        return;
    if (InformationCenter *center = hub())
        emit center->sigStopSaveFile();
    else
        onStopSaveFile();
}

void FileSave::run()
{
    InformationCenter *center = hub();
    PacketRing *source = m_ring ? *m_ring : nullptr;
    const quint64 myGeneration = m_generation;
    const quint64 lostBefore = m_lostAtStart;
    bool lossReported = false;
    const auto noteLoss = [&] {
        if (lossReported || !source)
            return;
        const quint64 lost = source->lostRecordPackets() - lostBefore;
        if (lost == 0)
            return;
        lossReported = true;
        qWarning() << "录制跟不上数据流，丢失数据包:" << lost;
        if (center)
            emit center->sigTipsCMD(tr("录制跟不上数据流，已丢失 %1 个数据包").arg(lost));
    };

    std::unique_ptr<uchar[]> packet(new uchar[m_packetLength]);
    bool ok = true;
    while (ok && isRunning()) {
        if (!source || !source->popRecord(packet.get())) {
            noteLoss();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        const float speed = center ? center->speedMove() : 0.0f;
        const float gamma = center ? float(center->targetGamma()) : 0.0f;
        RecordingFile::stamp(packet.get(), speed, gamma);
        ok = m_writer.addRecord(packet.get());
        noteLoss();
    }
    m_writer.close();
    if (source && lossReported)
        qWarning() << "本次录制共丢失数据包:" << source->lostRecordPackets() - lostBefore;

    if (!ok) {
        m_failed.store(true);
        qDebug() << "保存文件失败" << m_writer.path() << m_writer.errorString();
        if (center)
            emit center->sigTipsCMD(tr("保存数据失败：") + m_writer.path() + QLatin1Char(' ')
                                    + m_writer.errorString());
    }
    if (center)
        center->f_setFileStatusNone();
    if (!ok)
        QMetaObject::invokeMethod(
            this, [this, myGeneration] { endFailedRecording(myGeneration); }, Qt::QueuedConnection);
}

// Keeps this class's meta-object code in this object file.
#include "moc_FileSave.cpp"
