#pragma once

#include <QString>

#include <stdexcept>

namespace tavsms {

// A failure that keeps the program from running: which component, and why.
class StartupError : public std::runtime_error
{
public:
    StartupError(QString component, QString reason)
        : std::runtime_error((component + QStringLiteral(": ") + reason).toStdString())
        , m_component(std::move(component))
        , m_reason(std::move(reason))
    {
    }
    QString component() const { return m_component; }
    QString reason() const { return m_reason; }
    // The box text: component and reason on two lines.
    QString boxText() const { return m_component + QStringLiteral("\r\n") + m_reason; }

private:
    QString m_component;
    QString m_reason;
};

} // namespace tavsms
