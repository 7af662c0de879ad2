// Standalone simulated sonar: streams data frames over UDP to a loopback address.
//   sonar-sim --to 127.0.0.1:5008 --fps 50 --bins 4000
// With --record FILE it writes the frames as a recording (".DB") instead, as the program's
// recorder would have written them, for replays without a sonar.
// With --serve it is a whole sonar at that address: it answers discovery on UDP 9001 and
// takes commands on TCP 5007, streaming only after the host has set the destination and
// started a scan; a firmware upgrade it takes (and, when asked, every command frame) is
// reported on standard output. It never broadcasts. Only in a network namespace of its own
// does it serve at an address outside loopback, answer discovery from outside it, or stream
// anywhere but 127.0.0.0/8 (to the host across its link).
// Options are a table: each entry names its option and how it changes the streamer, so a
// new capability adds one entry.

#include "support/NetworkIsolation.h"
#include "support/SimRecording.h"
#include "support/SimulatedSonar.h"
#include "support/SonarFrameBuilder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QTextStream>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

std::atomic<bool> interrupted{false};

void onSignal(int)
{
    interrupted.store(true);
}

struct Settings
{
    SonarStreamer *streamer = nullptr;
    SonarStreamer::Faults faults;
    QVector<SimSonar::Echo> echoes;
    quint64 frames = 0;
    QString serve;
    quint16 commandPort = 5007;
    quint16 discoveryPort = 9001;
    SimSonarDiscovery::Config discovery;
    QByteArray version = "KX-SIM V1.0";
    QString record;
    float speed = 0.1f;
    float gamma = 1.4f;
    SimSonarCommandServer::UpgradeFault upgradeFault = SimSonarCommandServer::UpgradeFault::None;
    int upgradeFaultAt = 0;
    bool reportCommands = false;
};

using Apply = std::function<bool(const QStringList &values, Settings &s, QString *error)>;

struct OptionEntry
{
    QCommandLineOption option;
    Apply apply;
};

bool toNumber(const QString &text, double min, double max, double *out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < min || v > max)
        return false;
    *out = v;
    return true;
}

// An option taking one number in [min, max], handed to set.
Apply number(double min, double max, const std::function<void(double, Settings &)> &set)
{
    return [=](const QStringList &values, Settings &s, QString *error) {
        double v = 0;
        if (!toNumber(values.last(), min, max, &v)) {
            *error = QStringLiteral("%1 is not a number from %2 to %3")
                         .arg(values.last())
                         .arg(min)
                         .arg(max);
            return false;
        }
        set(v, s);
        return true;
    };
}

Apply headerNumber(double min, double max, const std::function<void(packageInfo &, double)> &set)
{
    return number(min, max, [set](double v, Settings &s) {
        s.streamer->updateHeader([&](packageInfo &h) { set(h, v); });
    });
}

bool applyDestination(const QStringList &values, Settings &s, QString *error)
{
    const QString text = values.last();
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    Ipv4Endpoint to;
    bool portOk = false;
    const uint port = colon > 0 ? text.mid(colon + 1).toUInt(&portOk) : 0;
    if (colon <= 0 || !portOk || port == 0 || port > 65535
        || !Ipv4Endpoint::parseAddress(text.left(colon), &to.address)) {
        *error = QStringLiteral("--to wants ADDRESS:PORT, got %1").arg(text);
        return false;
    }
    to.port = quint16(port);
    if (!s.streamer->setDestination(to)) {
        *error = QStringLiteral("refusing %1: only 127.0.0.0/8 destinations are allowed").arg(text);
        return false;
    }
    return true;
}

bool applyEchoes(const QStringList &values, Settings &s, QString *error)
{
    for (const QString &v : values) {
        const QStringList parts = v.split(QLatin1Char(':'));
        double beam = 0, bin = 0, amp = 0, width = 3;
        if ((parts.size() != 3 && parts.size() != 4) || !toNumber(parts[0], 0, 1, &beam)
            || !toNumber(parts[1], 0, 4294967295.0, &bin) || !toNumber(parts[2], 0, 65535, &amp)
            || (parts.size() == 4 && !toNumber(parts[3], 0.01, 1e6, &width))) {
            *error = QStringLiteral("--echo wants BEAM:BIN:AMPLITUDE[:WIDTH], got %1").arg(v);
            return false;
        }
        s.echoes.append(SimSonar::Echo{int(beam), bin, amp, width});
    }
    return true;
}

bool applyUpgradeFault(const QStringList &values, Settings &s, QString *error)
{
    using F = SimSonarCommandServer::UpgradeFault;
    static const QMap<QString, F> kinds = {{"withhold", F::Withhold},    {"wrong", F::Wrong},
                                           {"four-bytes", F::FourBytes}, {"split", F::Split},
                                           {"close", F::Close},          {"reset", F::Reset}};
    const QStringList parts = values.last().split(QLatin1Char(':'));
    double nth = 0;
    if (parts.size() != 2 || !kinds.contains(parts[0]) || !toNumber(parts[1], 1, 65536, &nth)) {
        *error = QStringLiteral("--upgrade-fault wants KIND:N with KIND one of %1, got %2")
                     .arg(QStringList(kinds.keys()).join(QLatin1Char('|')), values.last());
        return false;
    }
    s.upgradeFault = kinds.value(parts[0]);
    s.upgradeFaultAt = int(nth);
    return true;
}

QList<OptionEntry> optionTable()
{
    using H = packageInfo;
    const QString n = QStringLiteral("n");
    return {
        {{"to", "Destination ADDRESS:PORT (127.0.0.0/8 only).", "address:port", "127.0.0.1:5008"},
         applyDestination},
        {{"fps", "Frames per second.", "rate", "20"},
         number(0.001, 1e6, [](double v, Settings &s) { s.streamer->setFrameRate(v); })},
        {{"bins", "Range bins per beam (dataHeight).", n, "4000"},
         headerNumber(1, 4294967295.0, [](H &h, double v) { h.dataHeight = quint32(v); })},
        {{"rows", "Rows per packet (rowNumPerPack).", n, "190"},
         headerNumber(1, 65535, [](H &h, double v) { h.rowNumPerPack = quint16(v); })},
        {{"step", "Scan step in degrees.", "degrees", "0.9"},
         headerNumber(-360, 360, [](H &h, double v) { h.vez25EDirectionAngle = float(v); })},
        {{"max-dist", "Range at the image radius in metres (maxDist).", "metres", "40"},
         headerNumber(0, 1e6, [](H &h, double v) { h.maxDist = float(v); })},
        {{"dist-reso", "Metres per range bin (distReso).", "metres", "0.01"},
         headerNumber(0, 1e6, [](H &h, double v) { h.distReso = float(v); })},
        {{"work-cycle", "Seconds per frame in the header (workCycle).", "seconds", "0.05"},
         headerNumber(0, 1e6, [](H &h, double v) { h.workCycle = float(v); })},
        {{"name", "Device name (at most 15 bytes).", "text", "SIM-SONAR"},
         [](const QStringList &v, Settings &s, QString *) {
             s.streamer->updateHeader(
                 [&](H &h) { SimSonar::setDeviceName(&h, v.last().toUtf8()); });
             s.discovery.name = v.last().toUtf8();
             return true;
         }},
        {{"echo", "Echo BEAM:BIN:AMPLITUDE[:WIDTH] (repeatable; beam 0 = A, 1 = B).", "echo"},
         applyEchoes},
        {{"frames", "Stop after this many frames (0: run until interrupted).", n, "0"},
         number(0, 1e15, [](double v, Settings &s) { s.frames = quint64(v); })},
        {{"record",
          "Write the frames (--frames, default 720) to this recording file instead of sending "
          "them.",
          "file"},
         [](const QStringList &v, Settings &s, QString *) {
             s.record = v.last();
             return true;
         }},
        {{"speed", "Along-track speed stamped into a recording.", "value", "0.1"},
         number(-1e6, 1e6, [](double v, Settings &s) { s.speed = float(v); })},
        {{"gamma", "Gamma stamped into a recording.", "value", "1.4"},
         number(0.01, 100, [](double v, Settings &s) { s.gamma = float(v); })},
        {{"lose", "Do not send every n-th packet.", n},
         number(1, 4e9, [](double v, Settings &s) { s.faults.loseEvery = quint32(v); })},
        {{"duplicate", "Send every n-th packet twice.", n},
         number(1, 4e9, [](double v, Settings &s) { s.faults.duplicateEvery = quint32(v); })},
        {{"reorder", "Send every n-th packet after the next one.", n},
         number(1, 4e9, [](double v, Settings &s) { s.faults.reorderEvery = quint32(v); })},
        {{"oversize", "Pad every n-th datagram to 1100 bytes.", n},
         number(1, 4e9, [](double v, Settings &s) { s.faults.oversizeEvery = quint32(v); })},
        {{"short", "Cut every n-th datagram to 300 bytes.", n},
         number(1, 4e9, [](double v, Settings &s) { s.faults.shortEvery = quint32(v); })},
        {{"bad-width", "Stamp this dataWidth code on every packet.", "code"},
         number(0, 255, [](double v, Settings &s) { s.faults.dataWidth = int(v); })},
        {{"stamp-height", "Stamp this dataHeight on every packet (e.g. a huge one).", n},
         number(0, 4294967295.0, [](double v, Settings &s) { s.faults.dataHeight = qint64(v); })},
        {{"serve", "Be a whole sonar at this address: discovery and the command channel.",
          "address"},
         [](const QStringList &v, Settings &s, QString *error) {
             quint32 a = 0;
             if (!Ipv4Endpoint::parseAddress(v.last(), &a)) {
                 *error = QStringLiteral("--serve wants an IPv4 address, got %1").arg(v.last());
                 return false;
             }
             // On the host's network a listener elsewhere would answer whoever reaches it.
             if ((a >> 24) != 127 && !inOwnNetworkNamespace()) {
                 *error = QStringLiteral("refusing --serve %1: outside 127.0.0.0/8 only in a "
                                         "network namespace of its own")
                              .arg(v.last());
                 return false;
             }
             s.serve = v.last();
             return true;
         }},
        {{"command-port", "TCP port of the command channel.", "port", "5007"},
         number(1, 65535, [](double v, Settings &s) { s.commandPort = quint16(v); })},
        {{"discovery-port", "UDP port of discovery.", "port", "9001"},
         number(1, 65535, [](double v, Settings &s) { s.discoveryPort = quint16(v); })},
        {{"version-text", "Answer to the version query.", "text"},
         [](const QStringList &v, Settings &s, QString *) {
             s.version = v.last().toUtf8();
             return true;
         }},
        {{"reply-length", "Bytes of the discovery reply.", n, "896"},
         number(0, 1400, [](double v, Settings &s) { s.discovery.replyLength = int(v); })},
        {{"reply-delay", "Answer discovery this many milliseconds late.", "ms", "0"},
         number(0, 60000, [](double v, Settings &s) { s.discovery.delayMs = int(v); })},
        {{"modes", "Number of work modes in the discovery reply.", n, "1"},
         number(0, 8, [](double v, Settings &s) { s.discovery.modeCount = quint8(v); })},
        {{"upgrade-fault",
          "Misbehave at the n-th acknowledgement of each firmware upgrade: "
          "withhold, wrong, four-bytes, split, close or reset.",
          "kind:n"},
         applyUpgradeFault},
        {{"silent", "Do not answer discovery.", "yes|no", "no"},
         [](const QStringList &v, Settings &s, QString *) {
             s.discovery.silent = v.last() == QLatin1String("yes");
             return true;
         }},
        {{"report-commands",
          "Print every command frame taken on standard output: "
          "\"command CONNECTION HEX\", connections counted from 1.",
          "yes|no", "no"},
         [](const QStringList &v, Settings &s, QString *) {
             s.reportCommands = v.last() == QLatin1String("yes");
             return true;
         }},
    };
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("sonar-sim");
    QTextStream out(stdout);
    QTextStream err(stderr);

    QCommandLineParser parser;
    parser.setApplicationDescription("Simulated sonar: streams data frames to a loopback address.");
    parser.addHelpOption();
    const QList<OptionEntry> table = optionTable();
    for (const OptionEntry &e : table)
        parser.addOption(e.option);
    parser.process(app);

    // The whole sonar; without --serve only its streamer runs.
    SimulatedSonar sonar;
    SonarStreamer &streamer = sonar.streamer();
    Settings settings;
    settings.streamer = &streamer;
    // Defaults first, then what was given, so every option goes through the same check.
    for (const OptionEntry &e : table) {
        QStringList values = parser.values(e.option);
        if (values.isEmpty())
            values = e.option.defaultValues();
        QString error;
        if (!values.isEmpty() && !e.apply(values, settings, &error)) {
            err << "sonar-sim: " << error << Qt::endl;
            return 2;
        }
    }
    if (settings.echoes.isEmpty()) {
        const quint32 bins = streamer.header().dataHeight;
        settings.echoes = {{0, bins * 0.3, 20000, 4}, {1, bins * 0.6, 12000, 6}};
    }
    streamer.setEchoes(settings.echoes, 200);
    streamer.setFaults(settings.faults);
    streamer.setFrameLimit(settings.frames);

    if (!settings.record.isEmpty()) {
        SimSonar::ScanPlan plan;
        plan.header = streamer.header();
        plan.frames = int(settings.frames ? std::min<quint64>(settings.frames, 10000000) : 720);
        plan.step = plan.header.vez25EDirectionAngle;
        plan.speed = settings.speed;
        plan.gamma = settings.gamma;
        QFile::remove(settings.record);
        const qint64 bytes = SimSonar::appendRecording(settings.record, plan,
                                                       SimSonar::echoSamples(settings.echoes, 200));
        if (bytes < 0) {
            err << "sonar-sim: cannot write " << settings.record << Qt::endl;
            return 2;
        }
        out << "wrote " << plan.frames << " frames, " << bytes << " bytes to " << settings.record
            << Qt::endl;
        return 0;
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    if (!settings.serve.isEmpty()) {
        // A sonar behind a link of its own streams to the host at the link's other end.
        streamer.allowLinkDestinations();
        sonar.commands().setVersionText(settings.version);
        sonar.commands().setUpgradeFault(settings.upgradeFault, settings.upgradeFaultAt);
        sonar.commands().m_onUpgraded = [](const QByteArray &file) {
            const int packets = int((file.size() + 767) / 768);
            std::printf(
                "upgrade: %lld bytes in %d packets, sha256 %s\n", qlonglong(file.size()), packets,
                QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex().constData());
            std::fflush(stdout);
        };
        if (settings.reportCommands) {
            sonar.commands().m_onFrame = [](const SimSonarCommandServer::Received &r) {
                std::printf("command %d %s\n", r.connection, r.frame.toHex().constData());
                std::fflush(stdout);
            };
        }
        sonar.discovery().setConfig(settings.discovery);
        if (!sonar.start(settings.serve, settings.commandPort, settings.discoveryPort,
                         !inOwnNetworkNamespace())) {
            err << "sonar-sim: cannot serve at " << settings.serve << Qt::endl;
            return 2;
        }
        out << "serving at " << settings.serve << ": commands on " << sonar.commands().port()
            << ", discovery on " << settings.discoveryPort << Qt::endl;
        while (!interrupted.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sonar.stop();
        return 0;
    }

    const Ipv4Endpoint to = streamer.destination();
    out << "streaming to " << to.addressText() << ":" << to.port << " at " << streamer.frameRate()
        << " frames/s, " << SimSonar::packetsPerFrame(streamer.header()) << " packets per frame"
        << Qt::endl;
    streamer.start();
    auto lastReport = std::chrono::steady_clock::now();
    while (!interrupted.load()
           && (settings.frames == 0 || streamer.framesSent() < settings.frames)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (std::chrono::steady_clock::now() - lastReport >= std::chrono::seconds(1)) {
            lastReport = std::chrono::steady_clock::now();
            out << "frames " << streamer.framesSent() << ", datagrams " << streamer.datagramsSent()
                << ", send errors " << streamer.sendErrors() << Qt::endl;
        }
    }
    streamer.stop();
    out << "sent " << streamer.framesSent() << " frames, " << streamer.datagramsSent()
        << " datagrams" << Qt::endl;
    return 0;
}
