#pragma once

#include "DeliveryLog.h"
#include "Report.h"

#include <QDate>
#include <QStringList>

#include <optional>

namespace tavsms {

class Database;
class Prompter;

// "Generate Reports": the choices of its three frames and the reports they
// show.
class MiscReports
{
public:
    // `today` decides the last year offered.
    MiscReports(Database &db, Prompter &prompter, QDate today = QDate::currentDate());

    struct State
    {
        QStringList groups;       // "All", then every group name A to Z
        QStringList connections;  // "Software Port 1" … "Software Port 5", "WEBGATEWAY"
        QStringList days, months, years;
        int yearIndex = 0;        // the current year; every other list starts at its first entry
    };
    std::optional<State> load();

    // "Show Report" of each frame: the report to preview, or nothing (and a
    // message) when it cannot be read. `group` empty means "All".
    std::optional<Report> groupMembers(const std::optional<QString> &group);
    std::optional<Report> sentByConnection(const QString &choice);
    std::optional<Report> sentSince(int day, int month, int year);
    // Messages sent with delivery reports asked for on the days from `from`
    // to `to`, and what their handsets said.
    std::optional<Report> confirmations(const QDate &from, const QDate &to);

    static constexpr int kFirstYear = 2007;

private:
    QString footer();

    Database &m_db;
    DeliveryLog m_log;
    Prompter &m_prompter;
    QDate m_today;
};

} // namespace tavsms
