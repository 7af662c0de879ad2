#pragma once

#include "RecordingWriter.h"
#include "WhileThread.h"
#include "app/OperatorPrompt.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class InformationCenter;
class PacketRing;

// Records the raw packet stream of a connected sonar. While a recording runs, its thread reads
// the packet ring as reader B from the next packet pushed, stamps every record with the
// operator's speedMove and targetGamma and has RecordingWriter write whole frames into the
// parts of the recording. The frame still in progress when the recording stops is dropped.
//
// The thread sleeps only when the ring holds nothing for it. Should the ring overrun reader B
// all the same, the operator is told once per recording how many packets were lost so far.
// A part that cannot be opened, or a write that fails (a full disk), ends the recording: the
// operator is told what failed, the file status goes back to None, and the stop that follows
// does not claim that the data was saved.
//
// Handlers run on the GUI thread (connected to InformationCenter::sigSaveFile and
// sigStopSaveFile by the constructor); run() on the recorder thread.
class FileSave : public QObject, public WhileThread
{
    Q_OBJECT

public:
    FileSave(PacketRing **ring, InformationCenter **infoCenter, QObject *parent = nullptr);
    ~FileSave() override;

    // Where the recorder asks the operator (OperatorPrompt::boxes() unless set otherwise).
    void setPrompt(OperatorPrompt prompt) { m_prompt = std::move(prompt); }

    // Starts a recording into the file of a local-file URL (or a plain path); true when it
    // started. When files stand under the recording's later part names (an earlier recording's
    // under this name, or another recording's, "dive_1" beside "dive"), the operator is asked
    // once whether this one may replace those it reaches, and on No nothing starts and nothing
    // on disk changes.
    bool onSaveFile(const QString &inFileName);
    // Opens the first part of a recording; the file status becomes Saving. replaceable: the
    // later parts the operator agreed to replace (RecordingWriter::open).
    bool openFile(const QString &name, const QList<int> &replaceable = {});
    // Ends the recording: the thread closes the part, then "The data is saved" is shown,
    // unless the recording had already failed.
    void onStopSaveFile();

    // The program keeps RecordingFile::partBytes; tests lower it. Only while no recording runs.
    void setPartSizeLimit(quint64 bytes) { m_writer.setPartLimit(bytes); }

protected:
    void run() override;

private:
    void init();
    // GUI thread: whether the recording into name may replace the later parts left there.
    bool mayReplace(const QString &name, const QList<int> &leftovers);
    InformationCenter *hub() const { return m_infoCenter ? *m_infoCenter : nullptr; }
    // GUI thread: a recording whose thread gave up is ended for the whole program.
    void endFailedRecording(quint64 generation);

    const quint16 m_packetLength;
    PacketRing **m_ring;
    InformationCenter **m_infoCenter;
    RecordingWriter m_writer;
    OperatorPrompt m_prompt = OperatorPrompt::boxes();

    bool m_recording = false;  // GUI thread: a recording thread was started and not yet stopped
    bool m_asking = false;     // GUI thread: the operator's answer is awaited
    quint64 m_generation = 0;  // GUI thread: counts the recordings started
    quint64 m_lostAtStart = 0; // reader B's loss count when the recording began
    std::atomic<bool> m_failed{false}; // set by the thread when it gave up
};
