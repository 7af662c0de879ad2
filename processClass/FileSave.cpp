#include "FileSave.h"

#include "PackageInfo.h"
#include "PacketRing.h"
#include "app/InformationCenter.h"

#include <QDebug>

#include <chrono>
#include <memory>
#include <thread>

FileSave::FileSave(PacketRing **inRing, InformationCenter **inInfoCenter, QObject *parent)
    : QObject(parent), packetLength(packetSize), ring(inRing), infoCenter(inInfoCenter),
      writer(packetSize)
{
    init();
}

FileSave::~FileSave()
{
    stop();
    writer.close();
}

void FileSave::init()
{
    InformationCenter *center = hub();
    if (!center)
        return;
    connect(center, &InformationCenter::sigSaveFile, this, &FileSave::onSaveFile);
    connect(center, &InformationCenter::sigStopSaveFile, this, &FileSave::onStopSaveFile);
}

void FileSave::onSaveFile(const QString &inFileName)
{
    if (recording) {
        if (!failed.load()) {
            // The front end asks only while no recording runs; the running one goes on.
            qDebug() << "保存文件失败" << Q_FUNC_INFO << "a recording is already running";
            return;
        }
        stop();
        recording = false;
    }
    const QString name = RecordingFile::localPath(inFileName);
    if (!openFile(name)) {
        qDebug() << "保存文件失败" << Q_FUNC_INFO;
        InformationCenter *center = hub();
        if (center) {
            emit center->sigTipsCMD(tr("保存数据失败：") + name + QLatin1Char(' ') + writer.errorString());
            center->f_setFileStatusNone();
            // Processing opened the point-cloud file on the same request: the recording is over.
            emit center->sigStopSaveFile();
        }
        return;
    }
    stop();
    failed.store(false);
    recording = true;
    ++generation;
    // The recording begins with the next packet pushed.
    if (PacketRing *source = ring ? *ring : nullptr) {
        source->skipRecord();
        lostAtStart = source->lostRecordPackets();
    }
    start();
}

bool FileSave::openFile(const QString &name)
{
    if (!writer.open(name)) {
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
    if (!recording)
        return;
    recording = false;
    if (failed.load())
        return;
    if (InformationCenter *center = hub())
        emit center->sigTipsCMD(tr("保存数据完成"));
}

void FileSave::endFailedRecording(quint64 failedGeneration)
{
    if (!recording || failedGeneration != generation)
        return;
    if (InformationCenter *center = hub())
        emit center->sigStopSaveFile();
    else
        onStopSaveFile();
}

void FileSave::run()
{
    InformationCenter *center = hub();
    PacketRing *source = ring ? *ring : nullptr;
    const quint64 myGeneration = generation;
    const quint64 lostBefore = lostAtStart;
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

    std::unique_ptr<uchar[]> packet(new uchar[packetLength]);
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
        ok = writer.addRecord(packet.get());
        noteLoss();
    }
    writer.close();
    if (source && lossReported)
        qWarning() << "本次录制共丢失数据包:" << source->lostRecordPackets() - lostBefore;

    if (!ok) {
        failed.store(true);
        qDebug() << "保存文件失败" << writer.path() << writer.errorString();
        if (center)
            emit center->sigTipsCMD(tr("保存数据失败：") + writer.path() + QLatin1Char(' ') + writer.errorString());
    }
    if (center)
        center->f_setFileStatusNone();
    if (!ok)
        QMetaObject::invokeMethod(this, [this, myGeneration] { endFailedRecording(myGeneration); },
                                  Qt::QueuedConnection);
}

// Keeps this class's meta-object code in this object file.
#include "moc_FileSave.cpp"
