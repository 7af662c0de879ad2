#include "NetworkIsolation.h"

#include <QByteArray>
#include <QNetworkInterface>
#include <QProcess>

#include <unistd.h>

namespace {

// "net:[inode]" of the process, empty when it cannot be read.
QByteArray networkNamespaceOf(const QByteArray &process)
{
    char target[128] = {};
    const QByteArray link = "/proc/" + process + "/ns/net";
    const ssize_t length = ::readlink(link.constData(), target, sizeof(target) - 1);
    return length > 0 ? QByteArray(target, length) : QByteArray();
}

} // namespace

bool inOwnNetworkNamespace()
{
    const QByteArray own = networkNamespaceOf("self");
    const QByteArray parent = networkNamespaceOf(QByteArray::number(getppid()));
    if (own.isEmpty() || parent.isEmpty() || own == parent)
        return false;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &i : interfaces) {
        if (i.name() != QLatin1String("lo") && !i.name().startsWith(QLatin1String("kv")))
            return false;
    }
    return true;
}

bool runCommand(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForStarted(10000))
        return false;
    p.write(input);
    p.closeWriteChannel();
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool ipCommand(const QStringList &arguments)
{
    return runCommand(QStringLiteral("ip"), arguments);
}

QString freeLoopbackPort(BsdSocket probe)
{
    probe.bind(Ipv4Endpoint{0x7f000001, 0});
    Ipv4Endpoint at;
    probe.localEndpoint(&at);
    return QString::number(at.port);
}
