#pragma once

// Turns SIGTERM, SIGINT and SIGHUP into an orderly quit of the event loop, so
// that the program leaves as it does when its window is closed.
void installTerminationHandler();
