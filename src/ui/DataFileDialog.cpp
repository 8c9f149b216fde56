#include "DataFileDialog.h"

#include <QFileDialog>
#include <QLineEdit>

namespace tavsms {

void browseForDataFile(QWidget *screen, QLineEdit *pathBox)
{
    auto *dialog = new QFileDialog(screen, QStringLiteral("Open"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setNameFilters({QStringLiteral("Excel Docs (*.xls)"), QStringLiteral("Text Files (*.txt)")});
    QObject::connect(dialog, &QFileDialog::fileSelected, pathBox, &QLineEdit::setText);
    dialog->open();
}

} // namespace tavsms
