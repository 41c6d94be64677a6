#pragma once

#include <QString>
#include <QStringList>

// Name patterns of the sonar logs to look for on a card, from
// "acceptedTrackFormats.xml"; "*.slg", "*.dat" and "*.fsh" when the file is
// missing or holds no usable entry.
void readAcceptedTrackFormats(const QString &path, QStringList &patterns);

// Files under root matching patterns (any letter case), depth first, names
// sorted ignoring case with folders and files mixed; links are not followed.
QStringList findTrackFiles(const QString &root, const QStringList &patterns);
