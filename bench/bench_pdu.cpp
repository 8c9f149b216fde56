// Figures for the SMS PDU codec: 100,000 mixed messages (GSM short and long,
// Devanagari, mixed scripts) encoded as SUBMIT and DELIVER and decoded back.
// Prints what it measures; asserts nothing.
#include "SmsPdu.h"

#include <QElapsedTimer>

#include <cstdio>
#include <ctime>

using namespace tavsms;

namespace {

constexpr int kMessages = 100000;

// Process CPU seconds: on a shared machine the wall time also counts other work.
double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

} // namespace

int main()
{
    const QList<QString> texts = {
        QStringLiteral("Your OTP is 482913. It is valid for 10 minutes. Do not share it."),
        QStringLiteral("Dear customer, your statement for the month is ready. {Ref: 2024/05} Pay by the 15th to avoid "
                       "a late fee of 250 rupees. For help call 1800 123 4567 between 9 am and 6 pm, Monday to Saturday. "
                       "Reply STOP to opt out of these messages; standard rates apply [T&C]."),
        QStringLiteral("प्रिय ग्राहक, आपका खाता विवरण तैयार है। कृपया समय पर भुगतान करें।"),
        QStringLiteral("Offer ✓ 20% off today only — visit the store 😀 नमस्ते"),
    };
    // A service-centre stamp carries its own offset; a local time would add
    // the C library's time-zone lookups to every message.
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime stamp = now.toOffsetFromUtc(now.offsetFromUtc());

    QList<QList<SmsPdu::SubmitPdu>> submits;
    QList<QList<QByteArray>> delivers;
    submits.reserve(kMessages);
    delivers.reserve(kMessages);
    int parts = 0;

    QElapsedTimer timer;
    timer.start();
    double cpu = cpuSeconds();
    for (int i = 0; i < kMessages; ++i) {
        const QString &text = texts[i % texts.size()];
        submits.append(SmsPdu::encodeSubmit(QStringLiteral("9876543210"), text, quint8(i)));
        delivers.append(SmsPdu::encodeDeliver(QStringLiteral("+919876543210"), text, stamp, quint8(i)));
        parts += int(submits.last().size());
    }
    const double encodeSecs = timer.nsecsElapsed() / 1e9;
    const double encodeCpu = cpuSeconds() - cpu;

    timer.restart();
    cpu = cpuSeconds();
    qsizetype characters = 0;
    for (int i = 0; i < kMessages; ++i) {
        for (const auto &s : submits[i])
            if (const auto m = SmsPdu::decodeSubmit(s.hex))
                characters += m->text.size();
        for (const auto &d : delivers[i])
            if (const auto m = SmsPdu::decodeDeliver(d))
                characters += m->text.size();
    }
    const double decodeSecs = timer.nsecsElapsed() / 1e9;
    const double decodeCpu = cpuSeconds() - cpu;

    std::printf("PDU codec, %d mixed messages (%d parts each way, %lld characters read back):\n", kMessages, parts,
                static_cast<long long>(characters));
    std::printf("  encode SUBMIT and DELIVER %.3f s (CPU %.3f s), decode both %.3f s (CPU %.3f s)\n", encodeSecs,
                encodeCpu, decodeSecs, decodeCpu);
    std::printf("  total %.3f s (CPU %.3f s; goal <= 1 s)\n", encodeSecs + decodeSecs, encodeCpu + decodeCpu);
    return 0;
}
