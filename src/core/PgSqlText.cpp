#include "PgSqlText.h"

#include <QRegularExpression>

namespace tavsms {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

QString rewriteWords(QString sql)
{
    static const QRegularExpression failOrAbort(
        QStringLiteral("\\bINSERT\\s+OR\\s+(FAIL|ABORT|ROLLBACK)\\s+INTO\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression ignore(QStringLiteral("\\bINSERT\\s+OR\\s+IGNORE\\s+INTO\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression indexedBy(QStringLiteral("\\s+INDEXED\\s+BY\\s+\\w+"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression immediate(QStringLiteral("\\bBEGIN\\s+IMMEDIATE\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
    sql.replace(failOrAbort, QStringLiteral("INSERT INTO"));
    if (sql.contains(ignore)) {
        sql.replace(ignore, QStringLiteral("INSERT INTO"));
        sql += QStringLiteral(" ON CONFLICT DO NOTHING");
    }
    sql.replace(indexedBy, QString());
    // SQLite's "a IS ?" compares NULLs as equal values.
    static const QRegularExpression isParameter(QStringLiteral("\\bIS\\s+(?=[?:])"),
                                                QRegularExpression::CaseInsensitiveOption);
    sql.replace(isParameter, QStringLiteral("IS NOT DISTINCT FROM "));
    sql.replace(immediate, QStringLiteral("BEGIN"));
    return sql;
}

} // namespace

PgSqlText PgSqlText::translate(const QString &sqliteText)
{
    const QString in = rewriteWords(sqliteText);
    PgSqlText out;
    out.sql.reserve(in.size() + 8);
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = in.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // A quoted text or name, copied as it stands; a doubled quote stays inside.
            qsizetype end = i + 1;
            while (end < n) {
                if (in.at(end) == c) {
                    if (end + 1 < n && in.at(end + 1) == c) {
                        end += 2;
                        continue;
                    }
                    break;
                }
                ++end;
            }
            out.sql += in.mid(i, end - i + 1);
            i = end;
        } else if (c == QLatin1Char('-') && i + 1 < n && in.at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = in.indexOf(QLatin1Char('\n'), i);
            out.sql += in.mid(i, end < 0 ? -1 : end - i);
            i = end < 0 ? n : end - 1;
        } else if (c == QLatin1Char('?')) {
            out.parameterNames << QString();
            out.sql += QLatin1Char('$') + QString::number(++out.parameterCount);
        } else if (c == QLatin1Char(':') && i + 1 < n && (in.at(i + 1).isLetter() || in.at(i + 1) == QLatin1Char('_'))
                   && (i == 0 || in.at(i - 1) != QLatin1Char(':'))) {
            qsizetype end = i + 1;
            while (end < n && isNameChar(in.at(end)))
                ++end;
            const QString name = in.mid(i, end - i);
            qsizetype index = out.parameterNames.indexOf(name);
            if (index < 0) {
                out.parameterNames << name;
                index = ++out.parameterCount - 1;
            }
            out.sql += QLatin1Char('$') + QString::number(index + 1);
            i = end - 1;
        } else {
            out.sql += c;
        }
    }
    return out;
}

} // namespace tavsms
