#pragma once

#include "processClass/PackageInfo.h"

#include <QByteArray>
#include <QVector>

#include <functional>

// Wire-format side of the simulated sonar: headers, payloads, packets and frames, with no
// sockets or threads, so tests can build exactly the bytes they need.
//
// A frame is dataHeight range bins per beam. Each bin is one payload row of numPerRow
// interleaved samples (beam A's sample, then beam B's, ...). The rows are cut into packets of
// rowNumPerPack rows each; every packet of a frame carries the same rowNumPerPack (the host
// places a payload at packSerialNum times its own payload size), so the last packet is padded
// with zero rows. A sample is written little-endian in as many bytes as its dataWidth code
// says (the value's low bytes); a code outside the table is written as 2-byte samples.

namespace SimSonar {

// Sample value for one range bin of one beam (beam 0 = A, 1 = B).
using SampleFunction = std::function<quint16(quint32 bin, int beam)>;

// A Gaussian echo on one beam: peak amplitude at bin `bin`, standard deviation `width` bins.
struct Echo
{
    int beam = 0;
    double bin = 0;
    double amplitude = 0;
    double width = 3;
};

// A plausible header: 16-bit samples, two beams, 190 rows per packet (so a packet is exactly
// 1016 bytes), 4000 bins, 0.9 degree scan step.
packageInfo defaultHeader();

void setDeviceName(packageInfo *head, const QByteArray &name); // at most 15 bytes kept

// Bytes per sample that the builder writes for this code.
int builderSampleBytes(quint8 dataWidth);
// Payload bytes of one packet: numPerRow * rowNumPerPack * sample bytes.
int payloadBytes(const packageInfo &head);
// Packets needed for dataHeight rows: ceil(dataHeight / rowNumPerPack), at most 65535; 0 when
// rowNumPerPack or dataHeight is 0.
quint32 packetsPerFrame(const packageInfo &head);

// Payload of packet `index` of a frame laid out as head says.
QByteArray buildPayload(const packageInfo &head, quint32 index, const SampleFunction &sample);
// The payloads of all packets of one frame.
QVector<QByteArray> buildPayloads(const packageInfo &head, const SampleFunction &sample);
// The 256 header bytes followed by the payload.
QByteArray buildPacket(const packageInfo &head, const QByteArray &payload);
// A whole frame: packet i has packSerialNum i and packNumPerFrame set to the packet count;
// every other field comes from head.
QVector<QByteArray> buildFrame(const packageInfo &head, const SampleFunction &sample);

// Gaussian echoes over a constant floor, clipped to 0..65535.
SampleFunction echoSamples(const QVector<Echo> &echoes, quint16 floor = 0);

// Reads sample (bin, beam) back out of a frame's concatenated payloads, as the host's echo
// processing does (16-bit little-endian, numPerRow interleaved).
quint16 frameSample(const QByteArray &frameData, const packageInfo &head, quint32 bin, int beam);

} // namespace SimSonar
