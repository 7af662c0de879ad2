#pragma once

#include "SonarFrameBuilder.h"

#include <QString>

#include <vector>

// Recordings as the recorder writes them, made without the recorder: the frames of a simulated
// scan, each packet padded to packetSize, with the operator's speed and gamma stamped in. And
// a reader of the records of a recording file, for checks.
namespace SimSonar {

struct ScanPlan
{
    packageInfo header = defaultHeader(); // layout and everything else of every frame
    int frames = 0;
    float firstDirection = 0; // degrees; wrapped into [0, 360)
    float step = 1;           // degrees per frame (negative: reverse rotation)
    float speed = 0;          // stamped at offset 100
    float gamma = 1;          // stamped at offset 168
    quint32 firstSerial = 0;
};

// The direction of frame k of a plan, in [0, 360).
float planDirection(const ScanPlan &plan, int k);

// Appends the records of plan's frames to path (created when missing). A plan's payloads are
// built once, so large recordings are quick to make. Returns the bytes written, -1 on failure.
qint64 appendRecording(const QString &path, const ScanPlan &plan, const SampleFunction &sample);
// The same records in memory.
QByteArray recordingBytes(const ScanPlan &plan, const SampleFunction &sample);

// A crafted recording: one record per frame, each claiming a frame of claimedPackets packets
// (the plan's layout gives the rest) and starting the next frame, so that it ends the previous
// one, which is handed over with the size its header claims and the one slice it delivered.
// Record k delivers the slice at packSerialNum (k * serialStep) mod the slices that fit in a
// frame buffer, filled from sample.
qint64 appendClaimingRecording(const QString &path, const ScanPlan &plan, quint16 claimedPackets,
                               int serialStep, const SampleFunction &sample);
QByteArray claimingRecordingBytes(const ScanPlan &plan, quint16 claimedPackets, int serialStep,
                                  const SampleFunction &sample);

// A part that mixes whole frames with crafted records, as a hostile recording or sender can:
// one-packet frames of 190 bins, records that claim 65535-packet frames of 127000 bins and
// each end the previous one, and such frames of two packets from the two ends of the frame
// buffer; echoes far out, 10 degree steps, speed 3 and gamma 1.5 stamped, work cycle 0.02 s.
QByteArray claimingMixBytes();

// The frames of a part as the frame assembler finishes them, each with its header and the
// whole of its data as the flat copy gives it (zeros where no packet delivered).
struct WholeFrame
{
    packageInfo head;
    QByteArray data;
};
std::vector<WholeFrame> wholeFrames(const QByteArray &part);

// What a check needs of one record.
struct RecordView
{
    quint32 frameSerial = 0;
    quint16 packSerial = 0;
    quint16 packNumPerFrame = 0;
    float speed = 0;
    float gamma = 0;
    float direction = 0;
};

// The whole records of a recording part, in file order (a cut-off tail is left out).
std::vector<RecordView> readRecords(const QString &path);

} // namespace SimSonar
