#pragma once

#include "WhileThread.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <atomic>

class InformationCenter;
class Processing;

// Replays a recording. Given the file the operator chose, its thread lists the recording's
// parts (base.DB, then base_1.DB, base_2.DB, ... while they exist and belong to it, see
// RecordingFile::continuesRecording) and hands each to Processing::processFile, which rebuilds
// frames, sweep images and points on this same thread from the records a PartReader reads in
// chunks. Names are the file system's bytes throughout. After the last part (or a part that
// cannot be opened or read, or a replay that ran out of memory, which the operator is told) it
// emits InformationCenter::sigStopReadFile, which ends the replay everywhere.
//
// A stop asks Processing to end the part at its next packet, and no further part is read. The
// operator's stop returns at once; the thread's own end signal, which follows within a packet,
// joins it, unless another replay has begun by then. The owner's stop at shutdown waits for the packet in hand. Handlers run on the GUI
// thread; run() on the reader thread.
class FileRead : public QObject, public WhileThread
{
    Q_OBJECT

public:
    FileRead(Processing **processing, InformationCenter **infoCenter, QObject *parent = nullptr);
    ~FileRead() override;

    // Starts a replay of the file of a local-file URL (or a plain path).
    void onReadFile(const QString &inFileName);
    // Ends the replay: stop request to Processing, file status None; joins the thread once it
    // has finished (this handler runs again, queued, on the thread's end signal).
    void onStopReadFile();
    // Also ends a replay in progress: Processing is asked to stop before the thread is joined.
    void stop() override;

    // The names of the regular files in a directory (links followed), in the file system's
    // bytes. A missing path or one that is no directory gives an empty list and a line on
    // standard error.
    static QList<QByteArray> listFileNames(const QByteArray &directory);

signals:
    void sigReadingFile();
    void sigStopReadFile();

protected:
    void run() override;

private:
    void init();
    void replayParts(Processing *proc, InformationCenter *center);
    void tellFailure(InformationCenter *center, const QByteArray &path, const QString &reason);
    bool stopAsked() const;
    // GUI thread: the reader thread of replay number serial has sent its end.
    void onReplayEnded(quint64 serial);
    InformationCenter *hub() const { return m_infoCenter ? *m_infoCenter : nullptr; }
    Processing *worker() const { return m_processing ? *m_processing : nullptr; }

    QByteArray m_fileName; // the chosen file, in the file system's bytes
    InformationCenter **m_infoCenter;
    Processing **m_processing;
    std::atomic<bool> m_finished{true}; // the thread has left its part loop (or never ran)
    quint64 m_replaySerial = 0;         // counts the replays started
};
