#include "IncomingSmsWindow.h"

#include "Database.h"
#include "IncomingLog.h"
#include "IncomingSmsReport.h"
#include "Prompter.h"
#include "QueryTableModel.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

namespace tavsms {

namespace {

QString reportErrorText(const QString &source, const QString &description)
{
    return QStringLiteral("Error Occured: File is not accessiable; ") + source + QStringLiteral(" - ") + description;
}

} // namespace

IncomingSmsWindow::IncomingSmsWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_db(db)
    , m_model(new QueryTableModel(db, IncomingLog::newestFirstQuery(), QueryTableModel::kDefaultPageSize, this))
    , m_grid(new QTableView(this))
{
    setObjectName(QStringLiteral("frmIncomingSMS"));
    setWindowTitle(QStringLiteral("Incoming SMS"));
    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setModel(m_model);
    // A failed page leaves the rows already shown; say why the rest is missing.
    connect(m_model, &QueryTableModel::fetchFailed, this,
            [this](const QString &message) { m_prompter.critical(QStringLiteral("Error Occured"), message); });

    auto *print = new QPushButton(QStringLiteral("Print"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    auto *pdf = new QPushButton(QStringLiteral("Save as PDF"), this);
    pdf->setObjectName(QStringLiteral("cmdPdf"));
    connect(print, &QPushButton::clicked, this, &IncomingSmsWindow::showPrintPreview);
    connect(pdf, &QPushButton::clicked, this, &IncomingSmsWindow::chooseAndSavePdf);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(pdf);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    resize(760, 420);
    m_model->reload();
    m_grid->resizeColumnsToContents();
}

QString IncomingSmsWindow::reportHtml()
{
    return IncomingSmsReport::html(IncomingLog(m_db).newestFirst(), QDateTime::currentDateTime());
}

bool IncomingSmsWindow::saveReportPdf(const QString &path)
{
    QString html;
    try {
        html = reportHtml();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error Occured"), reportErrorText(QStringLiteral("Database"), e.message()));
        return false;
    }
    // The printer says nothing when it cannot write; find out first.
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        m_prompter.critical(QStringLiteral("Error Occured"), reportErrorText(path, target.errorString()));
        return false;
    }
    target.close();
    QTextDocument document;
    document.setHtml(html);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    document.print(&printer);
    return true;
}

void IncomingSmsWindow::showPrintPreview()
{
    QString html;
    try {
        html = reportHtml();
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error Occured"), reportErrorText(QStringLiteral("Database"), e.message()));
        return;
    }
    auto *printer = new QPrinter(QPrinter::HighResolution);
    auto *preview = new QPrintPreviewDialog(printer, this);
    preview->setObjectName(QStringLiteral("rptIncomingSMS"));
    preview->setWindowTitle(QStringLiteral("Incoming SMS"));
    preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(preview, &QPrintPreviewDialog::paintRequested, preview, [html](QPrinter *target) {
        QTextDocument document;
        document.setHtml(html);
        document.print(target);
    });
    connect(preview, &QObject::destroyed, [printer] { delete printer; });
    preview->open();
}

void IncomingSmsWindow::chooseAndSavePdf()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Save as PDF"),
                                   QStringLiteral("Incoming SMS %1.pdf")
                                       .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd"))),
                                   QStringLiteral("PDF files (*.pdf)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) {
        if (saveReportPdf(path))
            m_prompter.information(QStringLiteral("Success"), QStringLiteral("The report was saved to ") + path);
    });
    dialog->open();
}

} // namespace tavsms
