#include "SonarFrameBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace SimSonar {

packageInfo defaultHeader()
{
    packageInfo h;
    h.packType = 0;
    h.dataWidth = 1;
    h.numPerRow = 2;
    h.numPerCol = 1;
    h.rowNumPerPack = 190;
    h.dataHeight = 4000;
    setDeviceName(&h, "SIM-SONAR");
    h.acousticVelocity = 1500.0f;
    h.maxDist = 40.0f;
    h.distReso = 0.01f;
    h.horAngleReso = 0.9f;
    h.verAngleReso = 1.0f;
    h.workCycle = 0.05f;
    h.power = 3;
    h.realFc = 750000.0f;
    h.gamma = 1.0f;
    h.vez25EDirectionAngle = 0.9f;
    return h;
}

void setDeviceName(packageInfo *head, const QByteArray &name)
{
    std::memset(head->deviceName, 0, sizeof head->deviceName);
    std::memcpy(head->deviceName, name.constData(),
                std::min<std::size_t>(std::size_t(name.size()), sizeof head->deviceName));
}

int builderSampleBytes(quint8 dataWidth)
{
    const int bytes = QvForwardSDK::sampleBytesOf(dataWidth);
    return bytes > 0 ? bytes : 2;
}

int payloadBytes(const packageInfo &head)
{
    return int(head.numPerRow) * int(head.rowNumPerPack) * builderSampleBytes(head.dataWidth);
}

quint32 packetsPerFrame(const packageInfo &head)
{
    if (head.rowNumPerPack == 0 || head.dataHeight == 0)
        return 0;
    const quint64 n = (quint64(head.dataHeight) + head.rowNumPerPack - 1) / head.rowNumPerPack;
    return quint32(std::min<quint64>(n, 65535));
}

QByteArray buildPayload(const packageInfo &head, quint32 index, const SampleFunction &sample)
{
    const int sampleBytes = builderSampleBytes(head.dataWidth);
    QByteArray payload(payloadBytes(head), '\0');
    char *out = payload.data();
    for (quint32 row = 0; row < head.rowNumPerPack; ++row) {
        const quint64 bin = quint64(index) * head.rowNumPerPack + row;
        if (bin >= head.dataHeight)
            break;
        for (int beam = 0; beam < head.numPerRow; ++beam) {
            const quint16 v = sample ? sample(quint32(bin), beam) : 0;
            char *p = out + (std::size_t(row) * head.numPerRow + std::size_t(beam)) * sampleBytes;
            p[0] = char(v & 0xff);
            if (sampleBytes > 1)
                p[1] = char(v >> 8);
        }
    }
    return payload;
}

QVector<QByteArray> buildPayloads(const packageInfo &head, const SampleFunction &sample)
{
    QVector<QByteArray> payloads;
    const quint32 n = packetsPerFrame(head);
    payloads.reserve(int(n));
    for (quint32 i = 0; i < n; ++i)
        payloads.append(buildPayload(head, i, sample));
    return payloads;
}

QByteArray buildPacket(const packageInfo &head, const QByteArray &payload)
{
    QByteArray packet(int(sizeof(packageInfo)) + payload.size(), '\0');
    std::memcpy(packet.data(), &head, sizeof(packageInfo));
    std::memcpy(packet.data() + sizeof(packageInfo), payload.constData(),
                std::size_t(payload.size()));
    return packet;
}

QVector<QByteArray> buildFrame(const packageInfo &head, const SampleFunction &sample)
{
    const QVector<QByteArray> payloads = buildPayloads(head, sample);
    QVector<QByteArray> frame;
    frame.reserve(payloads.size());
    packageInfo h = head;
    h.packNumPerFrame = quint16(payloads.size());
    for (int i = 0; i < payloads.size(); ++i) {
        h.packSerialNum = quint16(i);
        frame.append(buildPacket(h, payloads[i]));
    }
    return frame;
}

SampleFunction echoSamples(const QVector<Echo> &echoes, quint16 floor)
{
    auto list = std::make_shared<const QVector<Echo>>(echoes);
    return [list, floor](quint32 bin, int beam) -> quint16 {
        double v = floor;
        for (const Echo &e : *list) {
            if (e.beam != beam || e.width <= 0)
                continue;
            const double d = (double(bin) - e.bin) / e.width;
            if (std::abs(d) < 8)
                v += e.amplitude * std::exp(-0.5 * d * d);
        }
        return quint16(std::clamp(std::lround(v), 0L, 65535L));
    };
}

quint16 frameSample(const QByteArray &frameData, const packageInfo &head, quint32 bin, int beam)
{
    const qint64 at = (qint64(bin) * head.numPerRow + beam) * 2;
    if (at < 0 || at + 2 > frameData.size())
        return 0;
    const auto *p = reinterpret_cast<const unsigned char *>(frameData.constData() + at);
    return quint16(p[0] | (p[1] << 8));
}

} // namespace SimSonar
