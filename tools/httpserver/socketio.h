#pragma once

#include <httplib.h>

#include <string>

// The few socket calls the server makes itself around the library, one
// implementation per platform (socketio_posix.cpp). Waits take milliseconds;
// a negative timeout waits without limit.
namespace SocketIo {

enum class Wait { Ready, TimedOut, Failed };

Wait waitReadable(socket_t socket, int timeoutMs);
Wait waitWritable(socket_t socket, int timeoutMs);
// True once the peer has closed the connection or the socket was shut down
// here, false when timeoutMs passed first. Data the peer sends meanwhile is
// left unread.
bool waitForHangup(socket_t socket, int timeoutMs);

// Bytes read, 0 at the end of the stream, -1 on failure.
long long receive(socket_t socket, char *data, size_t size);
// Bytes written, -1 on failure; never raises a signal.
long long send(socket_t socket, const char *data, size_t size);

// Ends both directions: a thread waiting on the socket wakes up.
void shutdown(socket_t socket);
void close(socket_t socket);

// The listening socket's port is not shared with other servers.
void setListenOptions(socket_t socket);
// Small pieces (trickles, the bytes before a stall) leave at once.
void setConnectionOptions(socket_t socket);

// Text of the last failure of a socket call, for messages.
std::string lastErrorText();

} // namespace SocketIo
