#include "ReportWindow.h"

#include "PdfExport.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tavsms {

namespace {
constexpr int kPreviewDpi = 90;
const QString kErrorTitle = QStringLiteral("Error Occured");
} // namespace

ReportWindow::ReportWindow(Report report, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_report(std::move(report))
    , m_image(new QLabel)
    , m_pageLabel(new QLabel(this))
    , m_previous(new QPushButton(QStringLiteral("< Previous"), this))
    , m_next(new QPushButton(QStringLiteral("Next >"), this))
    , m_print(new QPushButton(QStringLiteral("Print"), this))
    , m_pdf(new QPushButton(QStringLiteral("Save as PDF"), this))
{
    setObjectName(QStringLiteral("reportWindow"));
    setWindowTitle(m_report.caption);
    setAttribute(Qt::WA_DeleteOnClose);
    m_previous->setObjectName(QStringLiteral("cmdPrevious"));
    m_next->setObjectName(QStringLiteral("cmdNext"));
    m_print->setObjectName(QStringLiteral("cmdPrint"));
    m_pdf->setObjectName(QStringLiteral("cmdPdf"));
    m_pageLabel->setObjectName(QStringLiteral("lblPage"));
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));

    auto *scroll = new QScrollArea(this);
    scroll->setWidget(m_image);
    scroll->setAlignment(Qt::AlignHCenter);
    scroll->setBackgroundRole(QPalette::Dark);
    auto *bar = new QHBoxLayout;
    bar->addWidget(m_previous);
    bar->addWidget(m_pageLabel);
    bar->addWidget(m_next);
    bar->addStretch();
    bar->addWidget(m_print);
    bar->addWidget(m_pdf);
    bar->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(scroll);
    // As large as a page wants, but wholly on the screen, title bar included.
    const QRect room = screen()->availableGeometry();
    resize(QSize(1100, 760).boundedTo(room.size() - QSize(40, 80)));
    move(room.center() - QPoint(width() / 2, height() / 2));

    connect(m_previous, &QPushButton::clicked, this, [this] { showPage(m_shown - 1); });
    connect(m_next, &QPushButton::clicked, this, [this] { showPage(m_shown + 1); });
    connect(m_print, &QPushButton::clicked, this, &ReportWindow::print);
    connect(m_pdf, &QPushButton::clicked, this, &ReportWindow::choosePdf);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    m_layout = std::make_unique<ReportPage>(m_report.layout, ReportPage::a4Landscape());
    try {
        m_rows = m_report.open();
    } catch (const DbError &e) {
        m_prompter.critical(kErrorTitle, e.message());
        m_rows = std::make_unique<ListRows>(QList<QStringList>{});
    }
    if (renderNextPage())
        showPage(0);
}

ReportWindow::~ReportWindow()
{
    if (!m_partFile.isEmpty())
        QFile::remove(m_partFile);
}

bool ReportWindow::renderNextPage()
{
    const QSizeF points = ReportPage::a4Landscape();
    QImage page((points * kPreviewDpi / 72.0).toSize(), QImage::Format_RGB32);
    page.setDotsPerMeterX(qRound(kPreviewDpi / 0.0254));
    page.setDotsPerMeterY(qRound(kPreviewDpi / 0.0254));
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::Antialiasing);
    try {
        m_lastLaidOut = m_layout->paint(painter, int(m_pages.size()) + 1, *m_rows).finished;
    } catch (const DbError &e) {
        m_prompter.critical(kErrorTitle, e.message());
        m_lastLaidOut = true;
    }
    painter.end();
    m_pages << page;
    return true;
}

void ReportWindow::showPage(int index)
{
    if (index < 0)
        return;
    while (index >= m_pages.size() && !m_lastLaidOut)
        renderNextPage();
    index = std::min(index, int(m_pages.size()) - 1);
    m_shown = index;
    m_image->setPixmap(QPixmap::fromImage(m_pages.at(index)));
    m_image->adjustSize();
    m_pageLabel->setText(QStringLiteral("Page %1").arg(index + 1));
    m_previous->setEnabled(index > 0);
    m_next->setEnabled(index + 1 < m_pages.size() || !m_lastLaidOut);
}

void ReportWindow::setBusy(bool busy)
{
    m_print->setEnabled(!busy);
    m_pdf->setEnabled(!busy);
}

void ReportWindow::choosePdf()
{
    auto *dialog = new QFileDialog(this, QStringLiteral("Save as PDF"),
                                   m_report.caption + QStringLiteral(".pdf"), QStringLiteral("PDF files (*.pdf)"));
    dialog->setObjectName(QStringLiteral("pdfDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("pdf"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString &path) { savePdf(path); });
    dialog->open();
}

QCoro::Task<bool> ReportWindow::savePdf(QString path)
{
    QPointer<ReportWindow> self(this);
    setBusy(true);
    m_partFile = PdfExport::partPath(path);
    const PdfExport::Outcome outcome = co_await PdfExport::save(m_report, path, m_progress, m_guard);
    if (!self)
        co_return false;
    m_partFile.clear();
    setBusy(false);
    if (outcome.saved())
        m_prompter.information(QStringLiteral("Success"), QStringLiteral("The report was saved to ") + path);
    else if (outcome.render.cancelled)
        m_prompter.information(QStringLiteral("Cancelled"),
                               QStringLiteral("Saving was cancelled; no file was written."));
    else
        m_prompter.critical(kErrorTitle, outcome.error);
    co_return outcome.saved();
}

void ReportWindow::print()
{
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        m_prompter.critical(QStringLiteral("Print"),
                            QStringLiteral("No printer is installed. Use \"Save as PDF\" to keep the report."));
        return;
    }
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_printer->setPageOrientation(QPageLayout::Landscape);
    m_printer->setDocName(m_report.caption);
    auto *dialog = new QPrintDialog(m_printer.get(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, qOverload<QPrinter *>(&QPrintDialog::accepted), this,
            [this](QPrinter *printer) { printTo(printer); });
    dialog->open();
}

QCoro::Task<void> ReportWindow::printTo(QPrinter *printer)
{
    QPointer<ReportWindow> self(this);
    setBusy(true);
    const RenderOutcome outcome = co_await ReportRenderer::render(*printer, m_report, m_progress, m_guard,
                                                                   ReportRenderer::kPagesPerTurn,
                                                                   [printer] { printer->abort(); });
    if (!self)
        co_return;
    setBusy(false);
    if (!outcome.cancelled && !outcome.error.isEmpty())
        m_prompter.critical(kErrorTitle, QStringLiteral("The report could not be printed: ") + outcome.error);
}

} // namespace tavsms
