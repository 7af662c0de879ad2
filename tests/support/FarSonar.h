#pragma once

#include <QProcess>
#include <QString>

// The standalone simulated sonar in a network namespace of its own, reached from this one
// over a veth pair: nearLink here with subnet.1/24, the far end in the sonar's namespace with
// subnet.2/24, where it serves. Only for a test that runs in a namespace of its own. The
// sonar's program is killed when the object goes, and the pair goes with its namespace.
class FarSonar
{
public:
    // tool: the standalone sonar's path; subnet: the first three octets and a dot, "10.9.1.".
    FarSonar(const QString &tool, const QString &nearLink, const QString &subnet,
             const QString &name);
    ~FarSonar();
    FarSonar(const FarSonar &) = delete;
    FarSonar &operator=(const FarSonar &) = delete;

    // Starts the sonar and makes the link; false when any step failed.
    bool start();
    // Ends the sonar's program at once (SIGKILL), as a crash does.
    void kill();

    QString hostAddress() const { return m_subnet + QLatin1Char('1'); }
    QString sonarAddress() const { return m_subnet + QLatin1Char('2'); }
    QString nearLink() const { return m_near; }

private:
    QString m_tool;
    QString m_near;
    QString m_subnet;
    QString m_name;
    QProcess m_process;
};
