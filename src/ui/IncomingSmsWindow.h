#pragma once

#include "MessageBoxPrompter.h"
#include "ReportWindow.h"

#include <QPointer>
#include <QWidget>

class QTableView;

namespace tavsms {

class Database;
class QueryTableModel;


// frmIncomingSMS, "Incoming SMS": the stored received messages, newest
// first, read when the screen opens, a page at a time as the list is
// scrolled; "Print" opens the printable report (rptIncomingSMS) in the
// report window, "Save as PDF" opens it there and asks for the file.
class IncomingSmsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit IncomingSmsWindow(Database &db, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }
    // The report window opened last, while it is open.
    ReportWindow *report() const { return m_report; }

    // Opens the report window on a fresh read of the table; null (and a
    // message) when the table cannot be read.
    ReportWindow *showReport();

private:
    Database &m_db;
    MessageBoxPrompter m_prompter{this};
    QueryTableModel *m_model;
    QTableView *m_grid;
    QPointer<ReportWindow> m_report;
};

} // namespace tavsms
