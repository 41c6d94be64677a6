#pragma once

#include <QString>

// What one card update is asked to do, fixed when the worker is made.
struct CardUpdateOptions
{
    QString manifestUrl;
    // The download area; the card's tree is mirrored below it.
    QString downloadDirPath;
    QString cardRootPath;
    // A folder the removal step deletes with the card's index (the replaced
    // Pewter edition); empty when nothing is replaced.
    QString additionalPath;
    QString userId;
    bool newtideEnabled = false;
    bool communityEnabled = false;
    bool sonarEnabled = false;
    // After the copies, every file is read back from the card itself (past
    // the system's cache) and compared with what was written.
    bool readBack = true;
};
