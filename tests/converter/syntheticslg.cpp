#include "syntheticslg.h"

#include <QtEndian>

#include <cstring>

namespace {

void appendU16(QByteArray &out, uint16_t value)
{
    uchar bytes[2];
    qToLittleEndian(value, bytes);
    out.append(reinterpret_cast<const char *>(bytes), 2);
}

void appendU32(QByteArray &out, uint32_t value)
{
    uchar bytes[4];
    qToLittleEndian(value, bytes);
    out.append(reinterpret_cast<const char *>(bytes), 4);
}

void appendF32(QByteArray &out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    appendU32(out, bits);
}

} // namespace

QByteArray SyntheticSlg::fileHeader(uint16_t blockSize, uint16_t formatWord)
{
    QByteArray header;
    appendU16(header, formatWord);
    appendU16(header, 0);
    appendU16(header, blockSize);
    appendU16(header, 0);
    appendU16(header, 0);
    return header;
}

int SyntheticSlg::recordHeaderLength(uint16_t flags)
{
    int length = 2 + 4 + 4 + 2;
    const struct { uint16_t bit; int size; } optional[] = {
        { 0x0008, 4 }, { 0x0010, 4 }, { 0x0080, 4 }, { 0x0100, 8 }, { 0x0400, 4 }, { 0x0800, 4 },
        { 0x0020, 4 }, { 0x0040, 4 }, { 0x0001, 4 }, { 0x0002, 8 }, { 0x2000, 4 }, { 0x4000, 8 }, { 0x0004, 4 },
    };
    for (const auto &field : optional) {
        if (flags & field.bit)
            length += field.size;
    }
    return length;
}

QByteArray SyntheticSlg::record(const Record &r, uint16_t blockSize)
{
    QByteArray out;
    appendU16(out, r.flags);
    appendF32(out, r.lowerLimit);
    appendF32(out, r.depth);
    if (r.flags & 0x0008)
        appendF32(out, r.upperLimit);
    if (r.flags & 0x0010)
        appendF32(out, r.waterTemp);
    if (r.flags & 0x0080)
        appendF32(out, r.waterSpeed);
    if (r.flags & 0x0100) {
        appendU32(out, static_cast<uint32_t>(r.positionY));
        appendU32(out, static_cast<uint32_t>(r.positionX));
    }
    if (r.flags & 0x0400)
        appendF32(out, r.surfaceDepth);
    if (r.flags & 0x0800)
        appendF32(out, r.topOfBottomDepth);
    if (r.flags & 0x0020)
        appendF32(out, r.temp2);
    if (r.flags & 0x0040)
        appendF32(out, r.temp3);
    if (r.flags & 0x0001)
        appendU32(out, r.unknownA);
    if (r.flags & 0x0002) {
        appendU32(out, r.unknownB1);
        appendU32(out, r.unknownB2);
    }
    if (r.flags & 0x2000)
        appendU32(out, r.timeOffset);
    if (r.flags & 0x4000) {
        appendF32(out, r.speed);
        appendF32(out, r.track);
    }
    if (r.flags & 0x0004)
        appendF32(out, r.altitude);
    const int samples = blockSize - (out.size() + 2);
    appendU16(out, static_cast<uint16_t>(samples + r.sampleCountError));
    for (int i = 0; out.size() < blockSize; ++i)
        out.append(static_cast<char>(i * 7));
    out.truncate(blockSize);
    return out;
}

QByteArray SyntheticSlg::log(const QVector<Record> &records, uint16_t blockSize)
{
    QByteArray out = fileHeader(blockSize);
    for (const Record &r : records)
        out += record(r, blockSize);
    return out;
}

SyntheticSlg::Record SyntheticSlg::typical(int index)
{
    Record r;
    r.flags = 0x6D14;
    r.lowerLimit = 40.0f;
    r.depth = 10.5f + 0.25f * index;
    r.waterTemp = 14.5f;
    r.positionX = 1113195 + 17 * index;
    r.positionY = 6446276 - 11 * index;
    r.surfaceDepth = 1.5f;
    r.topOfBottomDepth = 10.0f + 0.25f * index;
    r.timeOffset = 1000u + 250u * static_cast<uint32_t>(index);
    r.speed = 4.2f;
    r.track = 1.25f;
    r.altitude = 120.0f;
    return r;
}
