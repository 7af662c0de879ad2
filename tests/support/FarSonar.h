#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>

#include <functional>

// The standalone simulated sonar in a network namespace of its own, reached from this one
// over a veth pair: nearLink here with subnet.1/24, the far end in the sonar's namespace with
// subnet.2/24, where it serves and from where it streams to the host. Only for a test that
// runs in a namespace of its own. The sonar's program is killed when the object goes, and the
// pair goes with its namespace.
class FarSonar
{
public:
    // tool: the standalone sonar's path; subnet: the first three octets and a dot, "10.9.1.".
    FarSonar(const QString &tool, const QString &nearLink, const QString &subnet,
             const QString &name);
    ~FarSonar();
    FarSonar(const FarSonar &) = delete;
    FarSonar &operator=(const FarSonar &) = delete;

    // Before start(): the sonar reports every command frame it takes, read by commands().
    void reportCommands();
    struct Command
    {
        int connection = 0; // 1 for the first connection the sonar took
        QByteArray frame;
    };
    // The command frames reported so far, in the order the sonar took them; what has not
    // reached this process's event loop yet is not among them.
    QList<Command> commands();

    // Starts the sonar and makes the link; false when any step failed.
    bool start();
    // Ends the sonar's program at once (SIGKILL), as a crash does.
    void kill();
    // Takes the sonar's end of the pair down or up again, as a switch that restarts: the sonar
    // runs on, and nothing passes meanwhile. This side's end loses its carrier, so what it
    // sends meanwhile fails here already. Up again, it returns once this end passes traffic.
    bool setSonarLink(bool up);
    // Lets nothing pass between the two ends while both keep their links, as a cable pulled
    // between two switches: what either side sends is lost on the way, unknown to the sender.
    bool setPassing(bool passing);
    // Drops this share of the packets, in percent and at random, on their way either way, as
    // a link that works but loses much; 0 lets everything through again. Beside setPassing.
    bool setLoss(int percent);

    QString hostAddress() const { return m_subnet + QLatin1Char('1'); }
    QString sonarAddress() const { return m_subnet + QLatin1Char('2'); }
    QString nearLink() const { return m_near; }
    QString farLink() const { return m_near + QLatin1Char('p'); }

private:
    // Runs a command in the sonar's namespace; true when it succeeded.
    bool inSonarNamespace(const QStringList &command, const QByteArray &input = {});
    // Runs an nftables script here and one in the sonar's namespace, each made for the link
    // on that side; true when both succeeded.
    bool nftOnBothSides(const std::function<QString(const QString &link)> &script);

    QString m_tool;
    QString m_near;
    QString m_subnet;
    QString m_name;
    QProcess m_process;
    bool m_reportCommands = false;
    QByteArray m_output;
};
