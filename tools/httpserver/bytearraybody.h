#pragma once

#include "httpbody.h"

#include <QByteArray>

// A body held in memory.
class ByteArrayBody : public HttpBody
{
public:
    explicit ByteArrayBody(const QByteArray &data);

    qint64 size() const override;
    bool seek(qint64 offset) override;
    qint64 read(char *data, qint64 maxSize) override;

private:
    QByteArray mData;
    qint64 mOffset = 0;
};
