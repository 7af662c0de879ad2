#include "FarSonar.h"

#include "NetworkIsolation.h"

#include <QFile>
#include <QTest>

#include <functional>

#include <unistd.h>

FarSonar::FarSonar(const QString &tool, const QString &nearLink, const QString &subnet,
                   const QString &name)
    : m_tool(tool), m_near(nearLink), m_subnet(subnet), m_name(name)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

void FarSonar::reportCommands()
{
    m_reportCommands = true;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

QList<FarSonar::Command> FarSonar::commands()
{
    m_output += m_process.readAllStandardOutput();
    QList<Command> found;
    QList<QByteArray> lines = m_output.split('\n');
    lines.removeLast(); // a line not yet ended
    for (const QByteArray &line : lines) {
        const QList<QByteArray> words = line.split(' ');
        bool ok = false;
        const int connection = words.size() == 3 && words[0] == "command" ? words[1].toInt(&ok) : 0;
        if (ok)
            found.append(Command{connection, QByteArray::fromHex(words[2])});
    }
    return found;
}

FarSonar::~FarSonar()
{
    kill();
}

bool FarSonar::start()
{
    if (!QFile::exists(m_tool))
        return false;
    // The namespace waits for its end of the pair, which this one moves in by the process id.
    QStringList arguments{"-n",
                          "sh",
                          "-c",
                          "ip link set lo up; n=0; while ! ip link show $1 >/dev/null 2>&1; do "
                          "n=$((n+1)); [ $n -gt 200 ] && exit 3; sleep 0.05; done; "
                          "ip addr add $2/24 dev $1 && ip link set $1 up && "
                          "a=$2 && d=$3 && shift 3 && exec \"$0\" --serve $a --name $d \"$@\"",
                          m_tool,
                          farLink(),
                          sonarAddress(),
                          m_name};
    if (m_reportCommands)
        arguments << "--report-commands"
                  << "yes";
    m_process.start(QStringLiteral("unshare"), arguments);
    if (!m_process.waitForStarted(5000))
        return false;
    // Started is not yet in the new namespace: moved in before unshare(2) has run, the
    // sonar's end would stay here.
    const QString pid = QString::number(m_process.processId());
    const auto namespaceOf = [](const QString &process) {
        const QByteArray link = QStringLiteral("/proc/%1/ns/net").arg(process).toLatin1();
        char target[64];
        const ssize_t n = ::readlink(link.constData(), target, sizeof target);
        return n > 0 ? QByteArray(target, int(n)) : QByteArray();
    };
    const QByteArray ours = namespaceOf(QStringLiteral("self"));
    if (!QTest::qWaitFor(
            [&] {
                const QByteArray theirs = namespaceOf(pid);
                return m_process.state() != QProcess::Running
                       || (!theirs.isEmpty() && theirs != ours);
            },
            10000)
        || m_process.state() != QProcess::Running)
        return false;
    return ipCommand(
               {"link", "add", m_near, "type", "veth", "peer", "name", farLink(), "netns", pid})
           && ipCommand({"addr", "add", hostAddress() + QStringLiteral("/24"), "dev", m_near})
           && ipCommand({"link", "set", m_near, "up"});
}

void FarSonar::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool FarSonar::inSonarNamespace(const QStringList &command, const QByteArray &input)
{
    return runCommand(QStringLiteral("nsenter"),
                      QStringList{"-t", QString::number(m_process.processId()), "-n"} + command,
                      input);
}

bool FarSonar::setSonarLink(bool up)
{
    if (m_process.state() != QProcess::Running)
        return false;
    if (!inSonarNamespace({"ip", "link", "set", farLink(), up ? "up" : "down"}))
        return false;
    if (!up)
        return true;
    // The carrier shows at once; the link passes traffic only once the kernel has taken note
    // of it, which the operational state tells. /sys shows the namespace it was mounted in,
    // not this one: ip(8) tells.
    return QTest::qWaitFor(
        [this] {
            QProcess ip;
            ip.start(QStringLiteral("ip"), {"-o", "link", "show", m_near});
            return ip.waitForFinished(10000) && ip.readAllStandardOutput().contains(" state UP ");
        },
        10000);
}

namespace {

// An nftables table that drops, at the input of link, what comes in and matches condition.
QString dropTable(const QString &table, const QString &link, const QString &condition = {})
{
    return QStringLiteral("table inet %1 {\nchain in {\ntype filter hook input priority 0;\n"
                          "iifname \"%2\" %3 drop\n}\n}\n")
        .arg(table, link, condition);
}

} // namespace

bool FarSonar::nftOnBothSides(const std::function<QString(const QString &link)> &script)
{
    // Here for what comes from the sonar, in its namespace for what comes to it.
    return runCommand(QStringLiteral("nft"), {"-f", "-"}, script(m_near).toUtf8())
           && inSonarNamespace({"nft", "-f", "-"}, script(farLink()).toUtf8());
}

bool FarSonar::setPassing(bool passing)
{
    if (m_process.state() != QProcess::Running)
        return false;
    // A table of this sonar's own on either side.
    const QString table = QStringLiteral("kvcut_") + m_near;
    return nftOnBothSides([&table, passing](const QString &link) {
        return passing ? QStringLiteral("delete table inet %1\n").arg(table)
                       : dropTable(table, link);
    });
}

bool FarSonar::setLoss(int percent)
{
    if (m_process.state() != QProcess::Running)
        return false;
    // Tables of their own, so that a cut and a loss can stand together. Each script first
    // makes sure the table exists, so that its removal never fails.
    const QString table = QStringLiteral("kvloss_") + m_near;
    return nftOnBothSides([&table, percent](const QString &link) {
        QString script = QStringLiteral("table inet %1\ndelete table inet %1\n").arg(table);
        if (percent > 0)
            script +=
                dropTable(table, link, QStringLiteral("numgen random mod 100 < %1").arg(percent));
        return script;
    });
}
