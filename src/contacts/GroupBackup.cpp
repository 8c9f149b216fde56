#include "GroupBackup.h"

#include "DataDirectory.h"
#include "Database.h"
#include "DateTimeText.h"
#include "Groups.h"
#include "Prompter.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>

namespace tavsms {

namespace {

const QString kErrorTitle = QStringLiteral("Error");
constexpr int kSubsStart = 5; // the two subscription dates are the last values

// The stored form "2026-03-01 09:05:00" as the display text "3/1/2026
// 9:05:00 AM" (DateTimeText::display), written from its digits: going
// through QDateTime costs some eight microseconds a value, most of a
// large backup's time. Empty when the text is not in the stored form.
QString displayOfStored(const QString &text)
{
    static const QRegularExpression stored(QStringLiteral("^(\\d{4})-(\\d\\d)-(\\d\\d) (\\d\\d):(\\d\\d):(\\d\\d)$"));
    const QRegularExpressionMatch m = stored.match(text);
    if (!m.hasMatch())
        return {};
    auto number = [&](int group) { return m.capturedView(group).toInt(); };
    const int hour = number(4);
    if (!QDate::isValid(number(1), number(2), number(3)) || hour > 23 || number(5) > 59 || number(6) > 59)
        return {};
    return QStringLiteral("%1/%2/%3 %4:%5:%6 %7")
        .arg(number(2))
        .arg(number(3))
        .arg(m.capturedView(1))
        .arg(hour % 12 == 0 ? 12 : hour % 12)
        .arg(m.capturedView(5))
        .arg(m.capturedView(6))
        .arg(hour < 12 ? QLatin1String("AM") : QLatin1String("PM"));
}

QString valueText(int index, const QVariant &value)
{
    if (value.isNull())
        return {};
    const QString text = value.toString();
    if (index >= kSubsStart) {
        if (QString shown = displayOfStored(text); !shown.isEmpty())
            return shown;
        if (const QDateTime when = DateTimeText::parse(text); when.isValid())
            return DateTimeText::display(when);
    }
    return text;
}

} // namespace

GroupBackup::GroupBackup(Database &db, Prompter &prompter, Hooks hooks)
    : m_db(db)
    , m_prompter(prompter)
    , m_hooks(std::move(hooks))
{
    if (!m_hooks.directory)
        m_hooks.directory = [] { return DataDirectory::path(); };
    if (!m_hooks.now)
        m_hooks.now = [] { return QDateTime::currentDateTime(); };
}

QString GroupBackup::fileName(const QDate &day)
{
    return QStringLiteral("backup-") + QLocale::c().toString(day, QStringLiteral("M/d/yyyy")).remove(QLatin1Char('/'))
           + QStringLiteral(".txt");
}

QString GroupBackup::field(const QString &value)
{
    static const QString special = QStringLiteral(",\"\r\n");
    if (std::none_of(value.begin(), value.end(), [](QChar c) { return special.contains(c); }))
        return value;
    QString quoted = value;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString GroupBackup::line(const QVariantList &values)
{
    QStringList fields;
    for (int i = 0; i < values.size(); ++i)
        fields << field(valueText(i, values.at(i)));
    return fields.join(QLatin1Char(','));
}

QCoro::Task<bool> GroupBackup::run()
{
    const bool ok = co_await m_prompter.question(QStringLiteral("Create Backup?"),
                                                 QStringLiteral("Do you want to create a backup of all your group "
                                                                "members?"),
                                                 Prompter::Icon::Exclamation);
    if (!ok)
        co_return false;
    const QString path = QDir(m_hooks.directory()).filePath(fileName(m_hooks.now().date()));
    if (!write(path))
        co_return false;
    m_prompter.plain(applicationTitle(), QStringLiteral("Backup Created"));
    co_return true;
}

QCoro::Task<bool> GroupBackup::start(std::shared_ptr<GroupBackup> backup)
{
    co_return co_await backup->run();
}

bool GroupBackup::write(const QString &path)
{
    // Written beside the old backup and put in its place only when whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_prompter.critical(kErrorTitle,
                            QStringLiteral("The backup file %1 could not be written: %2").arg(path, file.errorString()));
        return false;
    }
    // The members' names and numbers are the user's alone, wherever the file
    // goes; a backup replaced keeps no wider mode than this either.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray buffer;
    try {
        Groups(m_db).forEachMemberWithGroup([&](const QVariantList &values) {
            buffer += line(values).toUtf8();
            buffer += "\r\n";
            if (buffer.size() > (1 << 16)) {
                file.write(buffer);
                buffer.clear();
            }
        });
    } catch (const DbError &e) {
        file.cancelWriting();
        m_prompter.critical(kErrorTitle, QStringLiteral("The group members could not be read: %1").arg(e.message()));
        return false;
    }
    file.write(buffer);
    if (!file.commit()) {
        m_prompter.critical(kErrorTitle,
                            QStringLiteral("The backup file %1 could not be written: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

} // namespace tavsms
