// Writes a Sondump-style dump of a made-up track: a boat drifting along a
// coast, one sounding every 50 ms, with depths, temperatures and speeds
// that change a little from line to line.
#include <cstdio>
#include <cstdlib>
#include <random>

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fputs("Usage: bench_makedump <soundings> <output>\n", stderr);
        return 1;
    }
    const long count = std::atol(argv[1]);
    FILE *out = std::fopen(argv[2], "wb");
    if (!out || count < 0)
        return 2;
    std::fputs("UpperLimit,LowerLimit,DepthValid,Depth,WaterTempValid,WaterTemp,Temp2Valid,Temp2,Temp3Valid,Temp3,"
               "WaterSpeedValid,WaterSpeed,PositionValid,PositionX,PositionY,SurfaceDepth,SurfaceValid,"
               "TopOfBottomDepth,TopOfBottomValid,ColumnIs50kHz,TimeValid,TimeOffset[ms],SpeedTrackValid,Speed,"
               "Track,AltitudeValid,Altitude\n",
               out);
    std::mt19937 random(42);
    std::uniform_real_distribution<double> jitter(-1.0, 1.0);
    double depth = 30.0;
    double x = 1113195;
    double y = 6446276;
    for (long i = 0; i < count; ++i) {
        depth = depth + jitter(random) * 0.4;
        if (depth < 2)
            depth = 2;
        x += 0.9 + jitter(random) * 0.2;
        y += 0.3 + jitter(random) * 0.2;
        const bool fix = i % 997 != 0;
        std::fprintf(out, "0,%.1f,%c,%.2f,T,%.2f,F,0,F,0,F,0,%c,%ld,%ld,1.5,T,%.2f,T,F,T,%ld,T,%.2f,%.4f,T,%.1f\n",
                     depth * 1.5, depth > 2.5 ? 'T' : 'F', depth, 14.0 + jitter(random) * 0.05, fix ? 'T' : 'F',
                     long(x), long(y), depth - 0.3, 1000 + 50 * i, 4.2 + jitter(random) * 0.1,
                     1.25 + jitter(random) * 0.01, 120.0 + jitter(random));
    }
    return std::fclose(out) == 0 ? 0 : 2;
}
