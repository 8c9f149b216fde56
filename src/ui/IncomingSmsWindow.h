#pragma once

#include "MessageBoxPrompter.h"

#include <QWidget>

class QTableView;

namespace tavsms {

class Database;
class QueryTableModel;

// frmIncomingSMS, "Incoming SMS": the stored received messages, newest
// first, read when the screen opens, a page at a time as the list is
// scrolled; "Print" shows the printable report (preview, print, save as PDF).
class IncomingSmsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit IncomingSmsWindow(Database &db, QWidget *parent = nullptr);

    QTableView *grid() const { return m_grid; }

    // rptIncomingSMS as HTML, from a fresh read of the table.
    QString reportHtml();
    // Writes the report to a PDF file; false (and a message) when it cannot.
    bool saveReportPdf(const QString &path);
    void showPrintPreview();
    void chooseAndSavePdf();

private:
    Database &m_db;
    MessageBoxPrompter m_prompter{this};
    QueryTableModel *m_model;
    QTableView *m_grid;
};

} // namespace tavsms
