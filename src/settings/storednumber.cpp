#include "settings/storednumber.h"

#include <QVariant>

#include <limits>

int storedNumber(const QVariant &value)
{
    // Read through the text: the store hands back text once a value has been
    // to disk, and the type it was written with before that.
    bool ok = false;
    const qlonglong number = value.toString().toLongLong(&ok, 10);
    if (!ok)
        return 0;
    return int(qBound(qlonglong(std::numeric_limits<int>::min()), number,
                      qlonglong(std::numeric_limits<int>::max())));
}
