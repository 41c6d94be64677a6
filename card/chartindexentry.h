#pragma once

#include <QString>

// One record of the card's chart index ("Velamari/Index.txt").
class ChartIndexEntry
{
public:
    QString directory;
    QString type;
    QString chart;
    QString version;
    QString editionDate;
    QString description;

    // Every field but the description is present.
    bool isComplete() const;
    bool isPewter() const;
};
