#pragma once

#include <QCoroTask>
#include <QString>

#include <optional>

class QWidget;

namespace tavsms {

// A one-line input box over `screen`, shown without blocking the event loop.
// Resumes with the text on OK and nothing on Cancel; never resumes when
// the screen closes first.
QCoro::Task<std::optional<QString>> askText(QWidget *screen, const QString &title, const QString &label,
                                            const QString &preset);

} // namespace tavsms
