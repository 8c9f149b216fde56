#include "MiscReports.h"

#include "Database.h"
#include "DeliveryLog.h"
#include "DateTimeText.h"
#include "DeliveryConfirmations.h"
#include "Groups.h"
#include "MessageQueue.h"
#include "NetworkSettings.h"
#include "Prompter.h"
#include "TextRules.h"

namespace tavsms {

namespace {

const QString kAll = QStringLiteral("All");
const QString kError = QStringLiteral("Error");
const QString kReportFailed = QStringLiteral("An error has been occured!!");

ReportLayout sentLayout(const QString &footer)
{
    return {QStringLiteral("Messages Sent by Connection"),
            {QStringLiteral("Date Sent"), QStringLiteral("Delivered At"), QStringLiteral("Mobile No"),
             QStringLiteral("Message"), QStringLiteral("Status"), QStringLiteral("Handset")},
            {3, 3, 2, 6, 2, 3},
            footer};
}

} // namespace

MiscReports::MiscReports(Database &db, Prompter &prompter, QDate today)
    : m_db(db)
    , m_log(db)
    , m_prompter(prompter)
    , m_today(today)
{
}

std::optional<MiscReports::State> MiscReports::load()
{
    State state;
    try {
        state.groups = QStringList{kAll} + Groups(m_db).names();
    } catch (const DbError &e) {
        m_prompter.critical(kError, e.message());
        return std::nullopt;
    }
    for (int port = 1; port <= 5; ++port)
        state.connections << QStringLiteral("Software Port %1").arg(port);
    state.connections << kRouteGateway;
    state.days = numberTexts(1, 31);
    state.months = numberTexts(1, 12);
    state.years = numberTexts(kFirstYear, std::max(kFirstYear, m_today.year()));
    state.yearIndex = int(state.years.size()) - 1;
    return state;
}

QString MiscReports::footer()
{
    try {
        return ReportLayout::footerFor(NetworkSettings::load(m_db).productSite);
    } catch (const DbError &) {
        return ReportLayout::footerFor(QString());
    }
}

std::optional<Report> MiscReports::groupMembers(const std::optional<QString> &group)
{
    Report report;
    report.caption = QStringLiteral("Group Members");
    report.layout = {QStringLiteral("Group Members"),
                     {QStringLiteral("Group Name"), QStringLiteral("Member Name"), QStringLiteral("Mobile Number"),
                      QStringLiteral("Email"), QStringLiteral("Subs Start"), QStringLiteral("Subs End")},
                     {3, 3, 2, 4, 2, 2},
                     footer()};
    try {
        report.total = Groups(m_db).memberReportCount(group);
    } catch (const DbError &e) {
        m_prompter.critical(kError, e.message() + QStringLiteral(" : Database : ") + QString::number(e.code()));
        return std::nullopt;
    }
    Database *db = &m_db;
    report.open = [db, group]() -> std::unique_ptr<ReportRows> {
        return std::make_unique<StatementRows>(Groups(*db).memberReport(group), 6);
    };
    return report;
}

std::optional<Report> MiscReports::sentByConnection(const QString &choice)
{
    QString connection = choice;
    if (choice.startsWith(QStringLiteral("Software Port ")))
        connection = QStringLiteral("COM") + choice.mid(14);
    Report report;
    report.caption = QStringLiteral("Messages Sent By Connection ") + choice;
    report.layout = sentLayout(footer());
    try {
        report.total = m_log.sentThroughCount(connection);
    } catch (const DbError &) {
        m_prompter.critical(kError, kReportFailed);
        return std::nullopt;
    }
    Database *db = &m_db;
    report.open = [db, connection]() -> std::unique_ptr<ReportRows> {
        return std::make_unique<StatementRows>(DeliveryLog(*db).sentThrough(connection), 6,
                                               QList<StatementRows::Formatter>{DateTimeText::displayStored, DateTimeText::displayStored});
    };
    return report;
}

std::optional<Report> MiscReports::sentSince(int day, int month, int year)
{
    const QDate date(year, month, day);
    if (!date.isValid()) {
        m_prompter.critical(kError, kReportFailed);
        return std::nullopt;
    }
    const QDateTime from(date, QTime(0, 0));
    Report report;
    report.caption = QStringLiteral("Messages Sent On and After Date %1/%2/%3").arg(month).arg(day).arg(year);
    report.layout = sentLayout(footer());
    try {
        report.total = m_log.queuedSinceCount(from);
    } catch (const DbError &) {
        m_prompter.critical(kError, kReportFailed);
        return std::nullopt;
    }
    Database *db = &m_db;
    report.open = [db, from]() -> std::unique_ptr<ReportRows> {
        return std::make_unique<StatementRows>(DeliveryLog(*db).queuedSince(from), 6,
                                               QList<StatementRows::Formatter>{DateTimeText::displayStored, DateTimeText::displayStored});
    };
    return report;
}

std::optional<Report> MiscReports::confirmations(const QDate &from, const QDate &to)
{
    if (!from.isValid() || !to.isValid() || to < from) {
        m_prompter.critical(kError, kReportFailed);
        return std::nullopt;
    }
    const QDateTime start(from, QTime(0, 0));
    const QDateTime end(to.addDays(1), QTime(0, 0));
    Report report;
    report.caption = QStringLiteral("Handset Confirmations %1 to %2")
                         .arg(from.toString(QStringLiteral("M/d/yyyy")), to.toString(QStringLiteral("M/d/yyyy")));
    report.layout = {QStringLiteral("Handset Confirmations"),
                     {QStringLiteral("Sent At"), QStringLiteral("Mobile No"), QStringLiteral("Message"),
                      QStringLiteral("Port"), QStringLiteral("Handset"), QStringLiteral("Settled At")},
                     {3, 2, 6, 1, 3, 3},
                     footer()};
    try {
        report.total = DeliveryConfirmations(m_db).confirmationsBetweenCount(start, end);
    } catch (const DbError &) {
        m_prompter.critical(kError, kReportFailed);
        return std::nullopt;
    }
    Database *db = &m_db;
    report.open = [db, start, end]() -> std::unique_ptr<ReportRows> {
        const auto time = DateTimeText::displayStored;
        return std::make_unique<StatementRows>(DeliveryConfirmations(*db).confirmationsBetween(start, end), 6,
                                               QList<StatementRows::Formatter>{time, {}, {}, {}, {}, time});
    };
    return report;
}

} // namespace tavsms
