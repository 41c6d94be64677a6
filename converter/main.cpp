#include "sondrak.h"

int main(int argc, char **argv)
{
    return sondrakMain(argc, argv);
}
