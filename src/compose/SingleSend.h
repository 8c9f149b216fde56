#pragma once

#include "MessageComposer.h"

namespace tavsms {

// "Send Single Message": one message to one number.
class SingleSend : public MessageComposer
{
public:
    using MessageComposer::MessageComposer;

    // The number box's drop-down for a group ("9876543210 -- Name"; members
    // without a name are "N/A", members without a number are left out) and
    // the length limit after the choice.
    struct GroupChoice
    {
        QStringList numbers;
        LengthLimit limit = LengthLimit::ofCharacters(ConnectionChoice::kGsmLimit);
    };
    GroupChoice chooseGroup(const QString &group, const QString &modemEntry, const LengthLimit &currentLimit);

    // Queues the message; returns where the cursor goes (Field::None when it was queued).
    Field send(const QString &numberBox, const QString &message, const QString &modemEntry);

    // The number in the number box: a drop-down entry gives the part before " -- ".
    static QString numberOf(const QString &numberBox);
};

} // namespace tavsms
