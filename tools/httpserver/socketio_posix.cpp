#include "socketio.h"

#include <cerrno>
#include <cstring>

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace SocketIo {

namespace {

Wait waitFor(socket_t socket, short events, int timeoutMs)
{
    pollfd entry { socket, events, 0 };
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMs);
    } while (result < 0 && errno == EINTR);
    if (result == 0)
        return Wait::TimedOut;
    if (result < 0 || (entry.revents & POLLNVAL))
        return Wait::Failed;
    // Errors and hang-ups count as ready: the following call reports them.
    return Wait::Ready;
}

} // namespace

Wait waitReadable(socket_t socket, int timeoutMs)
{
    return waitFor(socket, POLLIN, timeoutMs);
}

Wait waitWritable(socket_t socket, int timeoutMs)
{
    return waitFor(socket, POLLOUT, timeoutMs);
}

bool waitForHangup(socket_t socket, int timeoutMs)
{
    // Hang-ups and errors are reported whatever the events asked for.
    return waitFor(socket, POLLRDHUP, timeoutMs) != Wait::TimedOut;
}

long long receive(socket_t socket, char *data, size_t size)
{
    ssize_t count;
    do {
        count = ::recv(socket, data, size, 0);
    } while (count < 0 && errno == EINTR);
    return count;
}

long long send(socket_t socket, const char *data, size_t size)
{
    ssize_t count;
    do {
        count = ::send(socket, data, size, MSG_NOSIGNAL);
    } while (count < 0 && errno == EINTR);
    return count;
}

void shutdown(socket_t socket)
{
    ::shutdown(socket, SHUT_RDWR);
}

void close(socket_t socket)
{
    ::close(socket);
}

void setListenOptions(socket_t socket)
{
    const int yes = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
}

void setConnectionOptions(socket_t socket)
{
    const int yes = 1;
    ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
}

std::string lastErrorText()
{
    return std::strerror(errno);
}

} // namespace SocketIo
