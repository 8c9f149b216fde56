#include "MessageFlowWindow.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QGraphicsLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValueAxis>

namespace tavsms {

namespace {

QLineEdit *countBox(const QString &name, QWidget *parent)
{
    auto *box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(true);
    box->setAlignment(Qt::AlignRight);
    box->setMaximumWidth(110);
    return box;
}

} // namespace

MessageFlowWindow::MessageFlowWindow(Database &db, const AppState &state, QWidget *parent)
    : QWidget(parent)
    , m_flow(db, m_prompter, state)
    , m_period(new QComboBox(this))
    , m_total(countBox(QStringLiteral("txtTotal"), this))
    , m_confirmedTotal(countBox(QStringLiteral("txtTotalConfirmed"), this))
    , m_bars(new QBarSet(QStringLiteral("Delivered")))
    , m_confirmedBars(new QBarSet(QStringLiteral("Confirmed")))
    , m_axis(new QValueAxis)
{
    setObjectName(QStringLiteral("frmMsgFlow"));
    setWindowTitle(QStringLiteral("Message Flow"));
    m_period->setObjectName(QStringLiteral("cboInterval"));

    auto *form = new QGridLayout;
    form->addWidget(new QLabel(QStringLiteral("Interval"), this), 0, 0);
    const QStringList names = {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"),
                               QStringLiteral("COM4"), QStringLiteral("COM5"), QStringLiteral("Internet")};
    form->addWidget(m_period, 0, 1, 1, 2);
    // Delivered: the phone or gateway took it; confirmed: the handset's status report said it arrived.
    form->addWidget(new QLabel(QStringLiteral("Delivered"), this), 1, 1, Qt::AlignRight);
    form->addWidget(new QLabel(QStringLiteral("Confirmed"), this), 1, 2, Qt::AlignRight);
    for (int i = 0; i < 6; ++i) {
        m_labels[size_t(i)] = new QLabel(i < 5 ? QStringLiteral("COM %1").arg(i + 1) : QString(), this);
        m_labels[size_t(i)]->setObjectName(QStringLiteral("lbl") + names.at(i));
        m_counts[size_t(i)] = countBox(QStringLiteral("txt") + names.at(i), this);
        m_confirmed[size_t(i)] = countBox(QStringLiteral("txt") + names.at(i) + QStringLiteral("Confirmed"), this);
        form->addWidget(m_labels[size_t(i)], i + 2, 0);
        form->addWidget(m_counts[size_t(i)], i + 2, 1);
        form->addWidget(m_confirmed[size_t(i)], i + 2, 2);
    }
    form->addWidget(new QLabel(QStringLiteral("Total"), this), 8, 0);
    form->addWidget(m_total, 8, 1);
    form->addWidget(m_confirmedTotal, 8, 2);
    auto *show = new QPushButton(QStringLiteral("Show Stats"), this);
    show->setObjectName(QStringLiteral("cmdShowStats"));
    form->addWidget(show, 9, 0, 1, 3);
    form->setRowStretch(10, 1);

    // The six counts as bars; the axes stay, the bars are redrawn.
    auto *series = new QBarSeries;
    for (int i = 0; i < 6; ++i) {
        m_bars->append(0);
        m_confirmedBars->append(0);
    }
    series->append(m_bars);
    series->append(m_confirmedBars);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->legend()->setAlignment(Qt::AlignTop);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    auto *categories = new QBarCategoryAxis;
    categories->append(names);
    // Six narrow bars: a smaller type keeps their names whole.
    QFont small = categories->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    categories->setLabelsFont(small);
    chart->addAxis(categories, Qt::AlignBottom);
    series->attachAxis(categories);
    m_axis->setLabelFormat(QStringLiteral("%.0f"));
    m_axis->setRange(0, 4);
    m_axis->setTickCount(5);
    chart->addAxis(m_axis, Qt::AlignLeft);
    series->attachAxis(m_axis);
    auto *view = new QChartView(chart, this);
    view->setObjectName(QStringLiteral("chartFlow"));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(360, 260);

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(view, 1);
    resize(820, 360);

    connect(show, &QPushButton::clicked, this, &MessageFlowWindow::showStats);

    if (const auto loaded = m_flow.load()) {
        m_period->addItems(loaded->periods);
        for (int i = 0; i < 5; ++i)
            m_labels[size_t(i)]->setText(loaded->portLabels[size_t(i)]);
        m_labels[5]->setText(loaded->internetLabel);
    }
    m_period->setCurrentIndex(-1);
}

void MessageFlowWindow::showStats()
{
    const auto stats = m_flow.showStats(m_period->currentText());
    if (!stats)
        return;
    qint64 highest = 0;
    for (int i = 0; i < 6; ++i) {
        const qint64 count = stats->counts[size_t(i)];
        m_counts[size_t(i)]->setText(QString::number(count));
        m_bars->replace(i, qreal(count));
        highest = std::max(highest, count);
        m_confirmed[size_t(i)]->setText(QString::number(stats->confirmed[size_t(i)]));
        m_confirmedBars->replace(i, qreal(stats->confirmed[size_t(i)]));
    }
    m_total->setText(QString::number(stats->total));
    m_confirmedTotal->setText(QString::number(stats->confirmedTotal));
    if (highest <= 4) {
        m_axis->setRange(0, 4);
        m_axis->setTickCount(5);
    } else {
        m_axis->setRange(0, qreal(highest));
        m_axis->applyNiceNumbers();
    }
}

} // namespace tavsms
