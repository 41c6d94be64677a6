#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Writes data to path, creating the parent folders. False on failure.
bool writeFile(const QString &path, const QByteArray &data);
QByteArray readFile(const QString &path);
QStringList readLines(const QString &path);

// Folder of the product's programs (build/bin).
QString binDir();
// Folder of the test programs and their helpers (build/tests/bin).
QString testBinDir();
QString sourceDir();

// True when the process can bypass file permissions (root), so that a
// read-only folder does not make a write fail.
bool permissionsAreIgnored();

} // namespace TestSupport
