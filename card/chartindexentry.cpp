#include "chartindexentry.h"

bool ChartIndexEntry::isComplete() const
{
    return !directory.isEmpty() && !type.isEmpty() && !chart.isEmpty() && !version.isEmpty()
        && !editionDate.isEmpty();
}

bool ChartIndexEntry::isPewter() const
{
    return type.compare(QLatin1String("Pewter"), Qt::CaseInsensitive) == 0;
}
