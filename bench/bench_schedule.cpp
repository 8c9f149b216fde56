// Figures for the scheduler: a year of deliveries every 15 minutes to one
// number, saved as the screen saves it. Prints what it measures; asserts nothing.
#include "AppState.h"
#include "BenchReporting.h"
#include "Scheduler.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

using namespace tavsms;

namespace {

// Prints the boxes the save shows.
QCoro::Task<void> yearOfQuarterHours(Store &store)
{
    AppState state;
    const QDateTime now(QDate(2026, 1, 1), QTime(8, 0));
    state.setClock([now] { return now; });
    bench::PrintingPrompter prompter;
    Scheduler scheduler(store.db(), store.queue(), state, prompter);

    ScheduleForm form = scheduler.chooseRecipient(scheduler.load().form, Recipient::SingleNumber);
    form.frequency = QStringLiteral("Every 15 Minutes");
    form.start = ScheduleTime::of(QDateTime(QDate(2026, 1, 2), QTime(0, 0)));
    form.end = ScheduleTime::of(QDateTime(QDate(2027, 1, 2), QTime(0, 0)));
    form.number = QStringLiteral("9876543210");
    form.message = QStringLiteral("Reminder: your monthly statement is ready. Reply STOP to opt out of reminders.");

    bench::CountingProgress progress;
    QElapsedTimer timer;
    timer.start();
    const Scheduler::SaveOutcome outcome = co_await scheduler.save(form, progress);
    const double secs = timer.nsecsElapsed() / 1e9;
    const qint64 rows = outcome.queued ? outcome.queued->queued : 0;
    std::printf("schedule \"Every 15 Minutes\" for a year to one number: %lld rows in %.3f s (%.0f rows/s, %d chunks; "
                "goal <= 1 s)\n",
                static_cast<long long>(rows), secs, rows / secs, progress.turns);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("schedule.mdb")));
    QTimer::singleShot(0, &app, [&] {
        [](Store &s) -> QCoro::Task<void> {
            co_await yearOfQuarterHours(s);
            QCoreApplication::quit();
        }(store);
    });
    return app.exec();
}
