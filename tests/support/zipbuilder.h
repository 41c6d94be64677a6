#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// Writes real zip archives for tests (through QuaZip, deflated).
namespace ZipBuilder {
using Entries = QList<QPair<QString, QByteArray>>;

// Entry names are written as given, "../x" and "/abs" included.
bool write(const QString &archivePath, const Entries &entries);
} // namespace ZipBuilder
