#pragma once

#include "MessageBoxPrompter.h"
#include "ProgressBox.h"
#include "Report.h"
#include "ReportPage.h"

#include <QCoroTask>
#include <QImage>
#include <QWidget>

class QLabel;
class QPrinter;
class QPushButton;

namespace tavsms {

// The report window: a preview of a report a page at a time (each page is
// laid out when it is first shown, so the first page of a long report shows
// at once), "Print" through the printer dialog and "Save as PDF" through a
// file dialog; both render the whole report in chunks with a progress bar
// and Cancel while the program keeps running.
class ReportWindow : public QWidget
{
    Q_OBJECT
public:
    ReportWindow(Report report, QWidget *parent);
    ~ReportWindow() override;

    int pageShown() const { return m_shown + 1; }
    const QImage &pageImage() const { return m_pages.at(m_shown); }

    // Opens the file dialog; the chosen file gets the report.
    void choosePdf();
    // Saves the report as `path`; tells the operator how it went.
    QCoro::Task<bool> savePdf(QString path);
    void print();

private:
    void showPage(int index);
    bool renderNextPage();
    QCoro::Task<void> printTo(QPrinter *printer);
    void setBusy(bool busy);

    MessageBoxPrompter m_prompter{this};
    ProgressBox m_progress{this};
    Report m_report;
    QObject m_guard;
    // The preview reads the rows as far as it has been paged.
    std::unique_ptr<ReportRows> m_rows;
    std::unique_ptr<ReportPage> m_layout;
    QList<QImage> m_pages;
    bool m_lastLaidOut = false;
    int m_shown = 0;
    QLabel *m_image;
    QLabel *m_pageLabel;
    QPushButton *m_previous, *m_next, *m_print, *m_pdf;
    std::unique_ptr<QPrinter> m_printer;
    // The file being written while a save runs: a window closed meanwhile
    // stops the save and takes the half-written file with it.
    QString m_partFile;
};

} // namespace tavsms
