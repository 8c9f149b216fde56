#include "TemplatesWindow.h"

#include "TemplateTableModel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tavsms {

namespace {

const QString kHelp = QStringLiteral(
    "Creating templates in TAVSMS 2.x is a breeze. First column ask the template title and second colum needs your "
    "template text of upto 130 characters. To move in a row press TAB and to move in columns press UP and DOWN keys. "
    "To delete a template select the row by mouse and press DELETE. To INSERT a new template press * or move to last "
    "row by the arrow keys.");

} // namespace

TemplatesWindow::TemplatesWindow(Database &db, QWidget *parent)
    : QWidget(parent)
    , m_model(new TemplateTableModel(db, m_prompter, this))
    , m_grid(new QTableView(this))
{
    setObjectName(QStringLiteral("frmTemplate"));
    setWindowTitle(QStringLiteral("Manage Templates"));

    m_grid->setObjectName(QStringLiteral("DataGrid1"));
    m_grid->setModel(m_model);
    m_grid->setWordWrap(true);
    m_grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    // One row at a time is chosen (by its header, or any of its cells): the
    // row DELETE removes.
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(TemplateTableModel::TitleColumn, 180);
    m_grid->installEventFilter(this);

    auto *scrollUp = new QPushButton(QStringLiteral("Scroll Up"), this);
    scrollUp->setObjectName(QStringLiteral("cmdScrollUp"));
    auto *scrollDown = new QPushButton(QStringLiteral("Scroll Down"), this);
    scrollDown->setObjectName(QStringLiteral("cmdScrollDown"));
    connect(scrollUp, &QPushButton::clicked, this,
            [this] { m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub); });
    connect(scrollDown, &QPushButton::clicked, this,
            [this] { m_grid->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd); });

    auto *help = new QGroupBox(QStringLiteral("Help"), this);
    auto *helpText = new QLabel(kHelp, help);
    helpText->setObjectName(QStringLiteral("lblHelp"));
    helpText->setWordWrap(true);
    auto *helpLayout = new QVBoxLayout(help);
    helpLayout->addWidget(helpText);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(scrollUp);
    buttons->addWidget(scrollDown);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid, 1);
    layout->addLayout(buttons);
    layout->addWidget(help);
    resize(640, 460);

    m_model->reload();
}

bool TemplatesWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Keys reach the grid here only while no cell is being edited.
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete) {
            deleteCurrentRow();
            return true;
        }
        if (key->text() == QLatin1String("*")) {
            goToNewRow();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TemplatesWindow::deleteCurrentRow()
{
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid() && !m_model->isNewRow(current.row()))
        m_model->removeTemplate(current.row()); // the model updates the grid when it is answered
}

void TemplatesWindow::goToNewRow()
{
    const QModelIndex target = m_model->index(m_model->newRow(), TemplateTableModel::TitleColumn);
    m_grid->setCurrentIndex(target);
    m_grid->scrollTo(target);
}

} // namespace tavsms
