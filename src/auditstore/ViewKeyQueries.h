#pragma once

#include <QString>

// The Jet texts a view reads its keys with, made from its record source:
//
// - forward: the keys in the record source's order;
// - reverse: the same keys from the last row back, the ORDER BY with every
//   direction turned round; only where the order ends in AutoIndex, so that no
//   two rows tie and the reverse order is exactly the forward one backwards;
// - count: how many rows the record source selects, without its order.
//
// reverse and count are empty for a record source of another shape (not
// "SELECT Audit.* FROM ...", no ORDER BY, or one that does not end in AutoIndex):
// its keys are read from the front only.
struct ViewKeyQueries
{
    QString forward;
    QString reverse;
    QString count;

    static ViewKeyQueries of(const QString& recordSource);
};
