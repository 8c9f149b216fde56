#pragma once

#include "ReportLayout.h"
#include "ReportRows.h"

#include <QFont>
#include <QSizeF>

class QPainter;

namespace tavsms {

// Lays out and paints one page of a report at a time, in points (1/72 inch)
// on any device: the report heading on the first page, the column headings
// and a rule on every page, as many rows as fit, and the footer with the
// page number; after the last row, "End of Report" (on a page of its own
// when the last page is full). A row that does not fit waits for the next
// page, so a page costs only its own rows however long the report is.
class ReportPage
{
public:
    ReportPage(const ReportLayout &layout, QSizeF pagePoints);

    struct Result
    {
        qint64 rows = 0;       // rows painted on this page
        bool finished = false; // "End of Report" is on this page
    };

    // Paints page `number` (from 1) with the rows that come next. The
    // painter is scaled here from the device's resolution to points.
    Result paint(QPainter &painter, int number, ReportRows &rows);

    // A page of A4 in landscape, in points.
    static QSizeF a4Landscape() { return {842, 595}; }

private:
    qreal rowHeight(const QStringList &cells) const;
    void paintCells(QPainter &painter, const QStringList &cells, qreal top, qreal height) const;

    ReportLayout m_layout;
    QSizeF m_page;
    QList<qreal> m_left;     // left edge of each column
    QList<qreal> m_width;    // width of each column
    QFont m_titleFont, m_headingFont, m_cellFont, m_footerFont;
    std::optional<QStringList> m_waiting; // read but not yet painted
    bool m_exhausted = false;             // the last row has been read
};

} // namespace tavsms
