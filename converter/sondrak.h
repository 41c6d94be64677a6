#pragma once

// The whole Sondrak program; returns its exit status (0 done, 1 usage,
// 2 too few points, 100 any other failure).
int sondrakMain(int argc, const char *const *argv);
