// tavsms-modemsim: a simulated GSM modem or CDMA phone on a pseudo-terminal.
//
//   tavsms-modemsim --link /tmp/ttyGSM1 [--kind gsm|cdma] [--inbox "SENDER|yy/MM/dd hh:mm:ss|TEXT"]...
//                   [--error CMD]... [--silent CMD]... [--vanish CMD]... [--slow CMD=MS]... [--delay MS]
//                   [--ident LINE]... [--no-echo] [--quiet]
//                   [--pdu] [--inbox-pdu HEX]... [--refuse-part N[=TIMES]]...
//
// Point a port's system port at the link path (Configure Modem) and the
// program talks to it as to a real device. Commands and sent messages are
// printed as they arrive; lines typed on standard input make messages arrive
// (type "help"); SIGINT, SIGTERM or "quit" removes the link and ends it.
#include "ModemSimulator.h"
#include "OperatorConsole.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using tavsms::sim::ModemSimulator;
using tavsms::sim::OperatorConsole;

namespace {
int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void out(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// Started with standard input, output or error closed, the terminal opened
// later would take that number, and this program would read the modem's
// commands as typed ones or print into the modem line.
void occupyClosedStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}
} // namespace

int main(int argc, char *argv[])
{
    occupyClosedStandardDescriptors();
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated GSM modem or CDMA phone on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption link(QStringLiteral("link"), QStringLiteral("Path of the device link to create."),
                                  QStringLiteral("path"));
    const QCommandLineOption kind(QStringLiteral("kind"), QStringLiteral("gsm (default) or cdma."),
                                  QStringLiteral("kind"), QStringLiteral("gsm"));
    const QCommandLineOption inbox(QStringLiteral("inbox"),
                                   QStringLiteral("A received message: SENDER|yy/MM/dd hh:mm:ss|TEXT (repeatable)."),
                                   QStringLiteral("message"));
    const QCommandLineOption error(QStringLiteral("error"), QStringLiteral("Answer ERROR to this command."),
                                   QStringLiteral("command"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Answer nothing to this command."),
                                    QStringLiteral("command"));
    const QCommandLineOption vanish(QStringLiteral("vanish"), QStringLiteral("Disappear when this command arrives."),
                                    QStringLiteral("command"));
    const QCommandLineOption slow(QStringLiteral("slow"), QStringLiteral("Answer this command after MS milliseconds."),
                                  QStringLiteral("command=ms"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Hold back every answer."),
                                   QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption ident(QStringLiteral("ident"), QStringLiteral("A line of the ATI answer (repeatable)."),
                                   QStringLiteral("line"));
    const QCommandLineOption noEcho(QStringLiteral("no-echo"), QStringLiteral("Do not echo commands."));
    const QCommandLineOption pdu(QStringLiteral("pdu"),
                                 QStringLiteral("Speak PDU mode after AT+CMGF=0 (Unicode and long messages)."));
    const QCommandLineOption inboxPdu(QStringLiteral("inbox-pdu"),
                                      QStringLiteral("A received message stored as exactly this PDU hex (repeatable; "
                                                     "needs --pdu)."),
                                      QStringLiteral("hex"));
    const QCommandLineOption refusePart(QStringLiteral("refuse-part"),
                                        QStringLiteral("Refuse part N of every message sent in PDU mode; with =TIMES "
                                                       "only its next TIMES attempts (repeatable)."),
                                        QStringLiteral("n[=times]"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("Print nothing but errors and the answers to typed commands."));
    parser.addOptions({link, kind, inbox, error, silent, vanish, slow, delay, ident, noEcho, quiet, pdu, inboxPdu,
                       refusePart});
    parser.process(app);

    if (!parser.isSet(link)) {
        std::fprintf(stderr, "tavsms-modemsim: --link is required\n");
        return 2;
    }
    const QString kindText = parser.value(kind).toLower();
    if (kindText != QLatin1String("gsm") && kindText != QLatin1String("cdma")) {
        std::fprintf(stderr, "tavsms-modemsim: --kind must be gsm or cdma\n");
        return 2;
    }
    ModemSimulator sim(kindText == QLatin1String("cdma") ? ModemSimulator::Kind::Cdma : ModemSimulator::Kind::Gsm);
    sim.setEcho(!parser.isSet(noEcho));
    sim.setReplyDelay(parser.value(delay).toInt());
    if (parser.isSet(ident))
        sim.setIdentification(parser.values(ident));
    for (const QString &c : parser.values(error))
        sim.setFault(c, ModemSimulator::Fault::Error);
    for (const QString &c : parser.values(silent))
        sim.setFault(c, ModemSimulator::Fault::Silence);
    for (const QString &c : parser.values(vanish))
        sim.setFault(c, ModemSimulator::Fault::Vanish);
    for (const QString &c : parser.values(slow)) {
        const qsizetype eq = c.lastIndexOf(QLatin1Char('='));
        sim.setFault(c.left(eq), ModemSimulator::Fault::Slow, c.mid(eq + 1).toInt());
    }
    if (parser.isSet(pdu) && kindText != QLatin1String("gsm")) {
        std::fprintf(stderr, "tavsms-modemsim: --pdu needs --kind gsm\n");
        return 2;
    }
    sim.setPduSupport(parser.isSet(pdu));
    for (const QString &r : parser.values(refusePart)) {
        const QStringList fields = r.split(QLatin1Char('='));
        bool partOk = false, timesOk = true;
        const int part = fields.value(0).toInt(&partOk);
        const int times = fields.size() > 1 ? fields.at(1).toInt(&timesOk) : -1;
        if (!partOk || !timesOk || part < 1 || fields.size() > 2 || (fields.size() > 1 && times < 1)) {
            std::fprintf(stderr, "tavsms-modemsim: bad --refuse-part %s\n", qPrintable(r));
            return 2;
        }
        sim.refusePart(part, times);
    }
    for (const QString &m : parser.values(inbox)) {
        const QStringList parts = m.split(QLatin1Char('|'));
        const QDateTime stamp = QDateTime::fromString(parts.value(1), QStringLiteral("yy/MM/dd HH:mm:ss")).addYears(100);
        if (parts.size() < 3 || !stamp.isValid()) {
            std::fprintf(stderr, "tavsms-modemsim: bad --inbox %s\n", qPrintable(m));
            return 2;
        }
        sim.addInbox(parts.at(0), stamp, parts.mid(2).join(QLatin1Char('|')));
    }

    for (const QString &hex : parser.values(inboxPdu)) {
        if (!parser.isSet(pdu)) {
            std::fprintf(stderr, "tavsms-modemsim: --inbox-pdu needs --pdu\n");
            return 2;
        }
        sim.addInboxPdu(hex.trimmed().toLatin1());
    }

    if (!sim.start(parser.value(link))) {
        std::fprintf(stderr, "tavsms-modemsim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    const bool talk = !parser.isSet(quiet);
    if (talk) {
        out(QStringLiteral("%1%2 on %3 -> %4")
                .arg(kindText.toUpper(), sim.pduSupport() ? QStringLiteral(" (PDU mode)") : QString(), sim.linkPath(),
                     sim.devicePath()));
        out(QStringLiteral("type help for commands"));
        QObject::connect(&sim, &ModemSimulator::commandReceived, [](const QString &c) { out(QStringLiteral("<< ") + c); });
        QObject::connect(&sim, &ModemSimulator::messageSent, [](const QString &number, const QString &text) {
            out(QStringLiteral("SENT to %1: %2").arg(number, text));
        });
    }
    QObject::connect(&sim, &ModemSimulator::vanished, &app, [] { QCoreApplication::exit(0); });

    // Run in the background of a shell, a read from the terminal would stop
    // the process; ignored, the read fails instead and commands are off.
    std::signal(SIGTTIN, SIG_IGN);
    OperatorConsole console(sim, out);
    QObject::connect(&console, &OperatorConsole::quitRequested, &app, [] { QCoreApplication::exit(0); });
    console.listen(STDIN_FILENO);

    if (::pipe(g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::exit(0); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    const int rc = app.exec();
    sim.stop();
    return rc;
}
