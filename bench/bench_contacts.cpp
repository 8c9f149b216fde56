// Figures for the contacts screens: a 50,000-member spreadsheet imported into
// a group through the import screen's logic, and a backup of 100,000
// members. Prints what it measures.
#include "BenchReporting.h"
#include "Database.h"
#include "GroupBackup.h"
#include "MemberImport.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

namespace {

void importSpreadsheet(Store &store, bench::PrintingPrompter &prompter)
{
    const QString file = QStringLiteral(TAVSMS_SOURCE_DIR "/../shared/fixtures/members-50000.xls");
    if (!QFileInfo::exists(file)) {
        std::printf("import: %s is missing; no figure.\n", qPrintable(file));
        return;
    }
    store.db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', 'Imported')"));
    bench::CountingProgress progress;
    MemberImport import(store.db(), prompter, progress);
    QElapsedTimer t;
    t.start();
    const MemberImport::SaveOutcome outcome = QCoro::waitFor(import.save(file, QStringLiteral("Imported")));
    std::printf("import: %lld of %lld members from members-50000.xls saved in %lld ms (goal 1000, at most 3000)\n",
                outcome.saved, outcome.total, t.elapsed());
}

void backup(Store &store, bench::PrintingPrompter &prompter, const QString &dir)
{
    constexpr int kMembers = 100000;
    store.db().exec(QStringLiteral("DELETE FROM groups_mem"));
    {
        Transaction tx(store.db());
        store.db().exec(QStringLiteral("INSERT INTO groups (dated, group_name) VALUES ('2026-01-01 00:00:00', 'All')"));
        const qint64 group = store.db().lastInsertId();
        Statement st = store.db().prepare(QStringLiteral(
            "INSERT INTO groups_mem (group_name, group_mem_name, group_mem_mobile, group_mem_email, "
            "group_mem_subs_start) VALUES (?, ?, ?, ?, ?)"));
        for (int i = 0; i < kMembers; ++i) {
            st.bind(1, group)
                .bind(2, i % 10 ? QStringLiteral("Member %1").arg(i) : QStringLiteral("Member, %1").arg(i))
                .bind(3, QStringLiteral("9%1").arg(i, 9, 10, QLatin1Char('0')))
                .bind(4, QStringLiteral("m%1@example.com").arg(i))
                .bind(5, QStringLiteral("2026-03-01 09:05:00"));
            st.exec();
        }
        tx.commit();
    }
    GroupBackup backup(store.db(), prompter, {[dir] { return dir; }, [] { return QDateTime::currentDateTime(); }});
    QElapsedTimer t;
    t.start();
    QCoro::waitFor(backup.run());
    const qint64 ms = t.elapsed();
    const QString file = dir + QLatin1Char('/') + GroupBackup::fileName(QDate::currentDate());
    std::printf("backup: %d members, %lld bytes written in %lld ms (at most 1000)\n", kMembers,
                QFileInfo(file).size(), ms);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("bench.mdb")));
    bench::PrintingPrompter prompter;
    importSpreadsheet(store, prompter);
    backup(store, prompter, dir.path());
    return 0;
}
