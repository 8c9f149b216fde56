#include "IncomingSmsWindow.h"

#include "Database.h"
#include "IncomingReport.h"
#include "LogGrid.h"
#include "Prompter.h"
#include "QueryTableModel.h"
#include "ReportWindow.h"

#include <QHBoxLayout>
#include <QPushButton>
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
    , m_model(new QueryTableModel(db, incomingSmsList(), QueryTableModel::kDefaultPageSize, this))
    , m_grid(logGrid(m_model, m_prompter, QStringLiteral("Error Occured"), this))
{
    setObjectName(QStringLiteral("frmIncomingSMS"));
    setWindowTitle(QStringLiteral("Incoming SMS"));

    auto *print = new QPushButton(QStringLiteral("Print"), this);
    print->setObjectName(QStringLiteral("cmdPrint"));
    auto *pdf = new QPushButton(QStringLiteral("Save as PDF"), this);
    pdf->setObjectName(QStringLiteral("cmdPdf"));
    connect(print, &QPushButton::clicked, this, &IncomingSmsWindow::showReport);
    connect(pdf, &QPushButton::clicked, this, [this] {
        if (ReportWindow *report = showReport())
            report->choosePdf();
    });

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

ReportWindow *IncomingSmsWindow::showReport()
{
    try {
        m_report = new ReportWindow(incomingSmsReport(m_db), this);
    } catch (const DbError &e) {
        m_prompter.critical(QStringLiteral("Error Occured"), reportErrorText(QStringLiteral("Database"), e.message()));
        return nullptr;
    }
    m_report->setObjectName(QStringLiteral("rptIncomingSMS"));
    m_report->show();
    return m_report;
}

} // namespace tavsms
