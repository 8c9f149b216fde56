#pragma once

#include "Prompter.h"

#include <cstdio>

namespace tavsms {

class DebugLog;

// How the program speaks when it runs as a service, with no one at a screen:
// each notice is one line on standard output and, once the debug log is
// open, one line in debug.txt. Nobody can answer a question there, so it is
// answered Cancel (and the line says so).
class ServicePrompter : public Prompter
{
public:
    explicit ServicePrompter(std::FILE *out = stdout);
    void setLog(DebugLog *log) { m_log = log; }

    void notify(Icon icon, const QString &title, const QString &text) override;
    QCoro::Task<bool> question(const QString &title, const QString &text, Icon icon, Default preset) override;

private:
    // "[title] text" on one line: line breaks become " / ".
    static QString line(const QString &title, const QString &text);
    void write(const QString &title, const QString &text);

    std::FILE *m_out;
    DebugLog *m_log = nullptr;
};

} // namespace tavsms
