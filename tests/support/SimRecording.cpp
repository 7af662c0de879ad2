#include "SimRecording.h"

#include <QFile>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <functional>

namespace SimSonar {

float planDirection(const ScanPlan &plan, int k)
{
    float d = std::fmod(plan.firstDirection + plan.step * float(k), 360.0f);
    if (d < 0)
        d += 360.0f;
    return d;
}

namespace {

// Hands the records of each frame of the plan, in order, to take; stops when take says no.
bool forEachFrame(const ScanPlan &plan, const SampleFunction &sample,
                  const std::function<bool(const QByteArray &)> &take)
{
    const QVector<QByteArray> payloads = buildPayloads(plan.header, sample);
    packageInfo head = plan.header;
    head.packNumPerFrame = quint16(payloads.size());
    head.speed = plan.speed;
    head.gamma = plan.gamma;
    QByteArray frame(payloads.size() * int(packetSize), '\0');
    for (int k = 0; k < plan.frames; ++k) {
        head.frameSerialNum = plan.firstSerial + quint32(k);
        head.direction = planDirection(plan, k);
        for (int i = 0; i < payloads.size(); ++i) {
            head.packSerialNum = quint16(i);
            char *record = frame.data() + qsizetype(i) * packetSize;
            std::memcpy(record, &head, sizeof head);
            std::memcpy(record + sizeof head, payloads[i].constData(),
                        std::min<std::size_t>(std::size_t(payloads[i].size()), packetSize - sizeof head));
        }
        if (!take(frame))
            return false;
    }
    return true;
}

} // namespace

qint64 appendRecording(const QString &path, const ScanPlan &plan, const SampleFunction &sample)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return -1;
    qint64 written = 0;
    const bool ok = forEachFrame(plan, sample, [&](const QByteArray &frame) {
        if (file.write(frame) != frame.size())
            return false;
        written += frame.size();
        return true;
    });
    return ok ? written : -1;
}

QByteArray recordingBytes(const ScanPlan &plan, const SampleFunction &sample)
{
    QByteArray bytes;
    forEachFrame(plan, sample, [&](const QByteArray &frame) {
        bytes += frame;
        return true;
    });
    return bytes;
}

std::vector<RecordView> readRecords(const QString &path)
{
    std::vector<RecordView> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QByteArray bytes = file.readAll();
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    for (qsizetype at = 0; at + packetSize <= bytes.size(); at += packetSize) {
        RecordView r;
        r.packSerial = qFromLittleEndian<quint16>(p + at + 16);
        r.packNumPerFrame = qFromLittleEndian<quint16>(p + at + 18);
        r.frameSerial = qFromLittleEndian<quint32>(p + at + 20);
        r.speed = qFromLittleEndian<float>(p + at + 100);
        r.direction = qFromLittleEndian<float>(p + at + 104);
        r.gamma = qFromLittleEndian<float>(p + at + 168);
        records.push_back(r);
    }
    return records;
}

} // namespace SimSonar
