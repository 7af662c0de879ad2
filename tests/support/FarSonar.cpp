#include "FarSonar.h"

#include "NetworkIsolation.h"

#include <QFile>

FarSonar::FarSonar(const QString &tool, const QString &nearLink, const QString &subnet,
                   const QString &name)
    : m_tool(tool), m_near(nearLink), m_subnet(subnet), m_name(name)
{
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

FarSonar::~FarSonar()
{
    kill();
}

bool FarSonar::start()
{
    if (!QFile::exists(m_tool))
        return false;
    const QString farLink = m_near + QLatin1Char('p');
    // The namespace waits for its end of the pair, which this one moves in by the process id.
    m_process.start(QStringLiteral("unshare"),
                    {"-n", "sh", "-c",
                     "ip link set lo up; n=0; while ! ip link show $1 >/dev/null 2>&1; do "
                     "n=$((n+1)); [ $n -gt 200 ] && exit 3; sleep 0.05; done; "
                     "ip addr add $2/24 dev $1 && ip link set $1 up && "
                     "exec \"$0\" --serve $2 --name $3",
                     m_tool, farLink, sonarAddress(), m_name});
    if (!m_process.waitForStarted(5000))
        return false;
    const QString pid = QString::number(m_process.processId());
    return ipCommand({"link", "add", m_near, "type", "veth", "peer", "name", farLink, "netns", pid})
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
