#include "SimRecording.h"

#include "processClass/FrameAssembler.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
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
            std::memcpy(
                record + sizeof head, payloads[i].constData(),
                std::min<std::size_t>(std::size_t(payloads[i].size()), packetSize - sizeof head));
        }
        if (!take(frame))
            return false;
    }
    return true;
}

// The same for the records of a crafted recording.
bool forEachClaimingRecord(const ScanPlan &plan, quint16 claimedPackets, int serialStep,
                           const SampleFunction &sample,
                           const std::function<bool(const QByteArray &)> &take)
{
    packageInfo head = plan.header;
    head.packNumPerFrame = claimedPackets;
    head.speed = plan.speed;
    head.gamma = plan.gamma;
    const qint64 payload = payloadBytes(head);
    const qint64 slices =
        payload > 0 ? std::max<qint64>(1, FrameAssembler::frameCapacity() / payload) : 1;
    QByteArray record(int(packetSize), '\0');
    for (int k = 0; k < plan.frames; ++k) {
        head.frameSerialNum = plan.firstSerial + quint32(k);
        head.direction = planDirection(plan, k);
        head.packSerialNum = quint16(qint64(k) * serialStep % slices);
        const QByteArray bytes = buildPayload(head, head.packSerialNum, sample);
        record.fill('\0');
        std::memcpy(record.data(), &head, sizeof head);
        std::memcpy(record.data() + sizeof head, bytes.constData(),
                    std::min<std::size_t>(std::size_t(bytes.size()), packetSize - sizeof head));
        if (!take(record))
            return false;
    }
    return true;
}

using Take = std::function<bool(const QByteArray &)>;
using Produce = std::function<bool(const Take &)>;

qint64 appendTo(const QString &path, const Produce &produce)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return -1;
    qint64 written = 0;
    const bool ok = produce([&](const QByteArray &bytes) {
        if (file.write(bytes) != bytes.size())
            return false;
        written += bytes.size();
        return true;
    });
    return ok ? written : -1;
}

QByteArray collect(const Produce &produce)
{
    QByteArray all;
    produce([&](const QByteArray &bytes) {
        all += bytes;
        return true;
    });
    return all;
}

} // namespace

qint64 appendRecording(const QString &path, const ScanPlan &plan, const SampleFunction &sample)
{
    return appendTo(path, [&](const Take &take) { return forEachFrame(plan, sample, take); });
}

QByteArray recordingBytes(const ScanPlan &plan, const SampleFunction &sample)
{
    return collect([&](const Take &take) { return forEachFrame(plan, sample, take); });
}

qint64 appendClaimingRecording(const QString &path, const ScanPlan &plan, quint16 claimedPackets,
                               int serialStep, const SampleFunction &sample)
{
    return appendTo(path, [&](const Take &take) {
        return forEachClaimingRecord(plan, claimedPackets, serialStep, sample, take);
    });
}

QByteArray claimingRecordingBytes(const ScanPlan &plan, quint16 claimedPackets, int serialStep,
                                  const SampleFunction &sample)
{
    return collect([&](const Take &take) {
        return forEachClaimingRecord(plan, claimedPackets, serialStep, sample, take);
    });
}

QByteArray claimingMixBytes()
{
    ScanPlan small;
    small.header.dataHeight = 190;
    small.header.distReso = 0.01f;
    small.header.maxDist = 1.9f;
    small.header.vez25EDirectionAngle = 10;
    small.header.workCycle = 0.02f;
    small.step = 10;
    small.speed = 3;
    small.gamma = 1.5f;
    small.frames = 25;
    const SampleFunction near = echoSamples({{0, 60, 20000, 2}, {1, 150, 30000, 2}}, 50);
    const SampleFunction far =
        echoSamples({{0, 30000, 20000, 3}, {1, 90000, 30000, 3}, {0, 100, 9000, 2}}, 40);

    ScanPlan claims = small;
    claims.header.dataHeight = 127000;
    claims.header.maxDist = 1500;
    claims.frames = 50;
    claims.firstDirection = 250;
    claims.firstSerial = 1000;
    ScanPlan pairs = claims;
    pairs.frames = 40;
    pairs.firstDirection = 0;
    pairs.firstSerial = 2000;
    QByteArray twoEnds = claimingRecordingBytes(pairs, 65535, 667, far);
    // Records 2k and 2k + 1 are one frame: slice 0 and a slice near the end.
    for (int k = 1; k < pairs.frames; k += 2) {
        const quint32 frame = pairs.firstSerial + quint32(k - 1);
        std::memcpy(twoEnds.data() + qsizetype(k) * packetSize + 20, &frame, sizeof frame);
    }
    ScanPlan after = small;
    after.frames = 30;
    after.firstDirection = 120;
    return recordingBytes(small, near) + claimingRecordingBytes(claims, 65535, 37, far) + twoEnds
           + recordingBytes(after, near);
}

std::vector<WholeFrame> wholeFrames(const QByteArray &part)
{
    FrameAssembler assembler;
    std::vector<WholeFrame> frames;
    QByteArray buffer(int(FrameAssembler::frameCapacity()), '\0');
    for (qsizetype at = 0; at + packetSize <= part.size(); at += packetSize) {
        if (assembler.addPacket(part.constData() + at) != 1)
            continue;
        WholeFrame f;
        const qint64 n = assembler.takeFrame(&f.head, buffer.data(), buffer.size());
        f.data = buffer.left(int(n));
        frames.push_back(f);
    }
    return frames;
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
