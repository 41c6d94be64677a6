#pragma once

#include "httpbody.h"

#include <QFile>
#include <QString>

// A body read from a file on disk as it is sent.
class FileBody : public HttpBody
{
public:
    explicit FileBody(const QString &path);

    bool isOpen() const;
    qint64 size() const override;
    bool seek(qint64 offset) override;
    qint64 read(char *data, qint64 maxSize) override;

private:
    QFile mFile;
    qint64 mSize = 0;
};
