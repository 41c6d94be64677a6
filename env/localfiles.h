#pragma once

#include <QString>
#include <QtGlobal>

// File-system facts and steps that Qt does not offer: which volume holds a
// path, who owns a folder, a folder only its user may enter. One
// implementation per platform.
namespace LocalFiles {

// The device (volume) that holds path, links followed; false when path
// cannot be read.
bool deviceOf(const QString &path, quint64 &device);

// Makes path a folder that only this user may enter (created with its
// parents when missing) and checks that it is one: a folder, not a link,
// owned by this user. False, with the reason, otherwise.
bool makePrivateFolder(const QString &path, QString &problem);

} // namespace LocalFiles
