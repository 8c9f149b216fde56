// Figure for the group screen: a message to a group of 100,000 members,
// queued through the screen's logic in chunks. Prints what it measures.
#include "GroupSendTiming.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>

using namespace tavsms;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Store store(dir.filePath(QStringLiteral("bench.mdb")));
    constexpr int kMembers = 100000;
    const bench::GroupSendTiming t = bench::timeGroupSend(store, kMembers);
    std::printf("group send: %lld of %d members queued from the group screen in %.3f s, %d chunks "
                "(goal 0.5 s, at most 2 s)\n",
                t.queued, kMembers, t.seconds, t.chunks);
    return t.queued == kMembers ? 0 : 1;
}
