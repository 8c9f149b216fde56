#pragma once

#include "MessageBoxPrompter.h"

#include <QWidget>

class QTableWidget;

namespace tavsms {

class Database;

// frmIncomingSMS, "Incoming SMS": the stored received messages, newest
// first, filled once when the screen opens; "Print" shows the printable
// report (preview, print, save as PDF).
class IncomingSmsWindow : public QWidget
{
    Q_OBJECT
public:
    explicit IncomingSmsWindow(Database &db, QWidget *parent = nullptr);

    QTableWidget *grid() const { return m_grid; }

    // rptIncomingSMS as HTML, from a fresh read of the table.
    QString reportHtml();
    // Writes the report to a PDF file; false (and a message) when it cannot.
    bool saveReportPdf(const QString &path);
    void showPrintPreview();
    void chooseAndSavePdf();

private:
    void fill();

    Database &m_db;
    MessageBoxPrompter m_prompter{this};
    QTableWidget *m_grid;
};

} // namespace tavsms
