#pragma once

#include <QString>
#include <QtGlobal>

// The log of one run: the file "log" in the application folder, written by a
// process-wide message handler.

// Deletes any log of an earlier run at path and opens a fresh one.
// False when it cannot be opened; the handler then writes nothing.
bool openLogFile(const QString &path);
void closeLogFile();
bool isLogOpen();

// Writes one line per message, prefixed by type ("Warning: ", "Critical: ",
// "Fatal: "), flushed at once; a fatal message aborts after it is written.
void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message);
