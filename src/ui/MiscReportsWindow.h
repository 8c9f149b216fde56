#pragma once

#include "MessageBoxPrompter.h"
#include "ReportWindow.h"
#include "MiscReports.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QDateEdit;

namespace tavsms {

class Database;

// "Generate Reports" (frmRptGroups, from Reports › Misc Reports): three
// frames, each with its choices and a "Show Report" button that opens the
// report window.
class MiscReportsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MiscReportsWindow(Database &db, QWidget *parent = nullptr);

    // The report window opened last, while it is open.
    ReportWindow *lastReport() const { return m_lastReport; }

private:
    void show(std::optional<Report> report);
    void showConfirmations();

    MessageBoxPrompter m_prompter{this};
    MiscReports m_reports;
    QComboBox *m_group, *m_connection, *m_day, *m_month, *m_year;
    QDateEdit *m_confirmedFrom = nullptr;
    QDateEdit *m_confirmedTo = nullptr;
    QPointer<ReportWindow> m_lastReport;
};

} // namespace tavsms
