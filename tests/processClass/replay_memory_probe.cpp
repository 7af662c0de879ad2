// Replays a recording with the address space limited from the start of its second part on, as
// a machine short of memory would, and tells on standard output how the replay ended: each tip
// ("tip TEXT"), the parts begun ("parts N") and, with the limit lifted again, the parts a
// second replay of the same recording begins ("again N"). Run by tst_fileread, in a process
// of its own so that the limit holds for nothing else.
//
//   replay_memory_probe RECORDING HEADROOM_MIB
#include "app/InformationCenter.h"
#include "processClass/FileRead.h"
#include "processClass/Processing.h"
#include "support/ReplayWiring.h"

#include <QFile>
#include <QGuiApplication>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cstdio>

#include <sys/resource.h>

namespace {

qint64 addressSpace()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong() * 1024;
    return -1;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: replay_memory_probe RECORDING HEADROOM_MIB\n");
        return 2;
    }
    const QString recording = QString::fromLocal8Bit(argv[1]);
    const qint64 headroom = QByteArray(argv[2]).toLongLong() << 20;
    qRegisterMetaType<packageInfo>("packageInfo");

    PacketRing *ring = nullptr;
    InformationCenter *center = new InformationCenter(&app);
    Processing processing(&ring, &center);
    Processing *processingPtr = &processing;
    FileRead reader(&processingPtr, &center);
    wireReplay(reader, processing, center);

    rlimit unlimited{};
    getrlimit(RLIMIT_AS, &unlimited);
    std::atomic<int> parts{0};
    std::atomic<bool> limit{true};
    QObject::connect(
        &processing, &Processing::sigProgressInit, &processing,
        [&] {
            if (++parts == 2 && limit.load()) {
                rlimit low = unlimited;
                low.rlim_cur = rlim_t(addressSpace() + headroom);
                setrlimit(RLIMIT_AS, &low);
            }
        },
        Qt::DirectConnection);
    QObject::connect(center, &InformationCenter::sigTipsCMD, &app,
                     [](const QString &tip) { std::printf("tip %s\n", tip.toUtf8().constData()); });
    std::atomic<int> ends{0};
    QObject::connect(
        center, &InformationCenter::sigStopReadFile, &app,
        [&] {
            if (QThread::currentThread() != center->thread())
                ++ends;
        },
        Qt::DirectConnection);
    const auto replay = [&] {
        ends = 0;
        parts = 0;
        emit center->sigReadFile(QUrl::fromLocalFile(recording).toString());
        return QTest::qWaitFor(
            [&] {
                return ends.load() > 0
                       && center->m_fileStatus() == InformationCenter::FileStatus::None;
            },
            60000);
    };

    if (!replay())
        return 3;
    setrlimit(RLIMIT_AS, &unlimited);
    limit = false;
    // Tips still queued for this thread.
    QCoreApplication::processEvents();
    std::printf("parts %d\n", parts.load());
    if (!replay())
        return 4;
    std::printf("again %d\n", parts.load());
    return 0;
}
