#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace tavsms {

class Database;

// One stored message text with its title.
struct Template
{
    qint64 id = 0;
    QString title;
    QString text;
};

// The message templates: every statement on `templates`. Titles need not be
// unique; a lookup by title takes the first row. Each function throws DbError.
class Templates
{
public:
    explicit Templates(Database &db);

    // Every template, in the order they were added.
    QList<Template> all();
    // The text of the first template with this title; nothing when none.
    std::optional<QString> textOf(const QString &title);

    // Adds a template and returns its id.
    qint64 add(const QString &title, const QString &text);
    // False when the row has gone.
    bool update(const Template &changed);
    // False when the row had gone already.
    bool remove(qint64 id);

private:
    Database &m_db;
};

} // namespace tavsms
