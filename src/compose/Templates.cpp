#include "Templates.h"

#include "Database.h"

namespace tavsms {

Templates::Templates(Database &db)
    : m_db(db)
{
}

QList<Template> Templates::all()
{
    QList<Template> out;
    Statement st = m_db.prepare(QStringLiteral("SELECT id, template_title, template_text FROM templates ORDER BY id"));
    while (st.next())
        out.append({st.integer(QStringLiteral("id")), st.text(QStringLiteral("template_title")),
                    st.text(QStringLiteral("template_text"))});
    return out;
}

std::optional<QString> Templates::textOf(const QString &title)
{
    Statement st =
        m_db.prepare(QStringLiteral("SELECT template_text FROM templates WHERE template_title = ? ORDER BY id LIMIT 1"));
    st.bind(1, title);
    if (!st.next())
        return std::nullopt;
    return st.text(QStringLiteral("template_text"));
}

qint64 Templates::add(const QString &title, const QString &text)
{
    m_db.exec(QStringLiteral("INSERT INTO templates (template_title, template_text) VALUES (?, ?)"), {title, text});
    return m_db.lastInsertId();
}

bool Templates::update(const Template &changed)
{
    return m_db.exec(QStringLiteral("UPDATE templates SET template_title = ?, template_text = ? WHERE id = ?"),
                     {changed.title, changed.text, changed.id})
        > 0;
}

bool Templates::remove(qint64 id)
{
    return m_db.exec(QStringLiteral("DELETE FROM templates WHERE id = ?"), {id}) > 0;
}

} // namespace tavsms
