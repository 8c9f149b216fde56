#include "StoreLocation.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace tavsms {

namespace {

QString optionValue(const QStringList &arguments, const QString &option)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments.at(i) == option && i + 1 < arguments.size())
            return arguments.at(i + 1);
        if (arguments.at(i).startsWith(option + QLatin1Char('=')))
            return arguments.at(i).mid(option.size() + 1);
    }
    return {};
}

// "key = value" lines; '#' starts a comment line.
QString confValue(const QString &text, const QString &key)
{
    for (const QString &raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(eq + 1).trimmed();
    }
    return {};
}

} // namespace

QString StoreLocation::configPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("tavsms.conf"));
}

StoreLocation StoreLocation::choose(const QStringList &arguments)
{
    StoreLocation where;
    QString conf;
    QFile file(configPath());
    if (file.exists()) {
        if (file.open(QIODevice::ReadOnly))
            conf = QString::fromUtf8(file.readAll());
        else
            where.error = QStringLiteral("%1 cannot be read: %2").arg(file.fileName(), file.errorString());
    }
    const auto first = [&](const QString &option, const char *variable, const QString &key) {
        QString value = optionValue(arguments, option);
        if (value.isEmpty())
            value = qEnvironmentVariable(variable);
        if (value.isEmpty())
            value = confValue(conf, key);
        return value.trimmed();
    };
    where.url = first(QStringLiteral("--store"), "TAVSMS_STORE", QStringLiteral("store"));
    where.workstation = first(QStringLiteral("--workstation"), "TAVSMS_WORKSTATION", QStringLiteral("workstation"));
    if (where.workstation.isEmpty())
        where.workstation = QSysInfo::machineHostName();
    if (const QString lease = confValue(conf, QStringLiteral("lease")); !lease.isEmpty()) {
        bool ok = false;
        const int seconds = lease.toInt(&ok);
        if (!ok || seconds < 1)
            where.error = QStringLiteral("\"lease = %1\" in %2 is not a number of seconds.").arg(lease, configPath());
        else
            where.timeouts.lease = std::chrono::seconds(seconds);
        where.timeouts.leaseCheck = std::min(where.timeouts.leaseCheck, where.timeouts.lease / 4);
    }
    if (where.isShared() && !where.url.startsWith(QLatin1String("postgresql://"))
        && !where.url.startsWith(QLatin1String("postgres://")))
        where.error = QStringLiteral("The store \"%1\" is not a PostgreSQL URL (postgresql://user@host/dbname).")
                          .arg(withoutPassword(where.url));
    return where;
}

QString StoreLocation::withoutPassword(const QString &url)
{
    // user:password@host, and password=... among the options.
    static const QRegularExpression inAuthority(QStringLiteral("^([a-z]+://[^:/@?]*):[^@/?]*@"));
    static const QRegularExpression inQuery(QStringLiteral("([?&]password=)[^&]*"),
                                            QRegularExpression::CaseInsensitiveOption);
    QString out = url;
    out.replace(inAuthority, QStringLiteral("\\1:***@"));
    out.replace(inQuery, QStringLiteral("\\1***"));
    return out;
}

QString StoreLocation::describe() const
{
    if (!isShared())
        return QStringLiteral("the local file");
    const QUrl parsed(url);
    QString host = parsed.host();
    const QString query = parsed.query();
    if (host.isEmpty()) {
        static const QRegularExpression hostOption(QStringLiteral("(?:^|&)host=([^&]*)"));
        const auto m = hostOption.match(query);
        host = m.hasMatch() ? QUrl::fromPercentEncoding(m.captured(1).toUtf8()) : QStringLiteral("localhost");
    }
    const QString database = parsed.path().mid(1);
    return QStringLiteral("PostgreSQL %1 on %2").arg(database.isEmpty() ? QStringLiteral("(default)") : database, host);
}

} // namespace tavsms
