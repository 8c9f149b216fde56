#pragma once

class QLineEdit;
class QWidget;

namespace tavsms {

// "Browse": a file dialog over `screen` for a spreadsheet (*.xls) or a
// comma-separated text file (*.txt); the chosen path goes into `pathBox`.
// It does not block: the dialog answers when the operator has chosen.
void browseForDataFile(QWidget *screen, QLineEdit *pathBox);

} // namespace tavsms
