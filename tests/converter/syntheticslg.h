#pragma once

#include <QByteArray>
#include <QVector>

#include <cstdint>

// Builds synthetic Lowrance .slg logs, made up at test time by the published
// record layout (no real recording is available): a 10-byte file header,
// then records of one block size, each with its flag word, the fields the
// flags announce, a sample count and echo bytes.
class SyntheticSlg
{
public:
    struct Record
    {
        uint16_t flags = 0x6D14;
        float lowerLimit = 0;
        float depth = 0;
        float upperLimit = 0;
        float waterTemp = 0;
        float waterSpeed = 0;
        int32_t positionY = 0;
        int32_t positionX = 0;
        float surfaceDepth = 0;
        float topOfBottomDepth = 0;
        float temp2 = 0;
        float temp3 = 0;
        uint32_t unknownA = 0;
        uint32_t unknownB1 = 0;
        uint32_t unknownB2 = 0;
        uint32_t timeOffset = 0;
        float speed = 0;
        float track = 0;
        float altitude = 0;
        // Added to the sample count, to break the record's self-check.
        int sampleCountError = 0;
    };

    static QByteArray fileHeader(uint16_t blockSize, uint16_t formatWord = 1);
    // Bytes from the flag word up to and including the sample count.
    static int recordHeaderLength(uint16_t flags);
    static QByteArray record(const Record &record, uint16_t blockSize);
    static QByteArray log(const QVector<Record> &records, uint16_t blockSize);

    // A plausible record: depth, water temperature, position, surface and
    // bottom depths, time, speed, track and altitude (flag word 0x6D14).
    static Record typical(int index);
};
