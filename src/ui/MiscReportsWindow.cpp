#include "MiscReportsWindow.h"

#include "ReportWindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavsms {

namespace {

QComboBox *listOf(const char *name, const QStringList &items, int selected, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->addItems(items);
    box->setCurrentIndex(items.isEmpty() ? -1 : selected);
    return box;
}

QPushButton *showButton(const char *name, QWidget *parent)
{
    auto *button = new QPushButton(QStringLiteral("Show Report"), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

MiscReportsWindow::MiscReportsWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_reports(db, m_prompter)
{
    setObjectName(QStringLiteral("frmRptGroups"));
    setWindowTitle(QStringLiteral("Generate Reports"));
    const MiscReports::State state = m_reports.load().value_or(MiscReports::State{});

    auto *groups = new QGroupBox(QStringLiteral("Group Members"), this);
    m_group = listOf("cboGroups", state.groups, 0, groups);
    auto *showGroup = showButton("cmdShowGroups", groups);
    auto *groupRow = new QHBoxLayout(groups);
    groupRow->addWidget(m_group, 1);
    groupRow->addWidget(showGroup);

    auto *connections = new QGroupBox(QStringLiteral("Sent Messages By Connection"), this);
    m_connection = listOf("cboConnection", state.connections, 0, connections);
    auto *showConnection = showButton("cmdShowConnection", connections);
    auto *connectionRow = new QHBoxLayout(connections);
    connectionRow->addWidget(m_connection, 1);
    connectionRow->addWidget(showConnection);

    auto *dates = new QGroupBox(QStringLiteral("Sent Messages By Date"), this);
    m_day = listOf("cboDay", state.days, 0, dates);
    m_month = listOf("cboMonth", state.months, 0, dates);
    m_year = listOf("cboYear", state.years, state.yearIndex, dates);
    auto *showDate = showButton("cmdShowDate", dates);
    auto *dateRow = new QGridLayout(dates);
    dateRow->addWidget(new QLabel(QStringLiteral("Day"), dates), 0, 0);
    dateRow->addWidget(new QLabel(QStringLiteral("Month"), dates), 0, 1);
    dateRow->addWidget(new QLabel(QStringLiteral("Year"), dates), 0, 2);
    dateRow->addWidget(m_day, 1, 0);
    dateRow->addWidget(m_month, 1, 1);
    dateRow->addWidget(m_year, 1, 2);
    dateRow->addWidget(showDate, 1, 3);

    auto *handsets = new QGroupBox(QStringLiteral("Handset Confirmations"), this);
    const auto dateBox = [handsets](const char *name) {
        auto *box = new QDateEdit(QDate::currentDate(), handsets);
        box->setObjectName(QString::fromLatin1(name));
        box->setCalendarPopup(true);
        box->setDisplayFormat(QStringLiteral("M/d/yyyy"));
        return box;
    };
    m_confirmedFrom = dateBox("dtpConfirmedFrom");
    m_confirmedTo = dateBox("dtpConfirmedTo");
    auto *showConfirmed = showButton("cmdShowConfirmed", handsets);
    auto *handsetRow = new QGridLayout(handsets);
    handsetRow->addWidget(new QLabel(QStringLiteral("From"), handsets), 0, 0);
    handsetRow->addWidget(new QLabel(QStringLiteral("To"), handsets), 0, 1);
    handsetRow->addWidget(m_confirmedFrom, 1, 0);
    handsetRow->addWidget(m_confirmedTo, 1, 1);
    handsetRow->addWidget(showConfirmed, 1, 3);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(groups);
    layout->addWidget(connections);
    layout->addWidget(dates);
    layout->addWidget(handsets);
    layout->addStretch();

    connect(showGroup, &QPushButton::clicked, this, [this] {
        const int index = m_group->currentIndex();
        if (index < 0)
            return;
        show(m_reports.groupMembers(index == 0 ? std::nullopt : std::optional<QString>(m_group->currentText())));
    });
    connect(showConnection, &QPushButton::clicked, this,
            [this] { show(m_reports.sentByConnection(m_connection->currentText())); });
    connect(showDate, &QPushButton::clicked, this, [this] {
        show(m_reports.sentSince(m_day->currentText().toInt(), m_month->currentText().toInt(),
                                 m_year->currentText().toInt()));
    });
    connect(showConfirmed, &QPushButton::clicked, this, &MiscReportsWindow::showConfirmations);
}

void MiscReportsWindow::showConfirmations()
{
    show(m_reports.confirmations(m_confirmedFrom->date(), m_confirmedTo->date()));
}

void MiscReportsWindow::show(std::optional<Report> report)
{
    if (!report)
        return;
    m_lastReport = new ReportWindow(std::move(*report), this);
    m_lastReport->show();
}

} // namespace tavsms
