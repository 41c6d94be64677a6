#include "socketstream.h"

#include "socketio.h"

#include <algorithm>
#include <cstring>

namespace {
// The library reads request heads byte by byte: serve those from here.
constexpr size_t kBufferSize = 64 * 1024;
} // namespace

SocketStream::SocketStream(socket_t socket, int readTimeoutMs, int writeTimeoutMs)
    : mSocket(socket)
    , mReadTimeoutMs(readTimeoutMs)
    , mWriteTimeoutMs(writeTimeoutMs)
    , mBuffer(kBufferSize)
{
}

bool SocketStream::waitForRequest(int idleTimeoutMs)
{
    return mBegin < mEnd || SocketIo::waitReadable(mSocket, idleTimeoutMs) == SocketIo::Wait::Ready;
}

bool SocketStream::stayOpenFor(int timeoutMs)
{
    return !SocketIo::waitForHangup(mSocket, timeoutMs);
}

bool SocketStream::is_readable() const
{
    return mBegin < mEnd || SocketIo::waitReadable(mSocket, mReadTimeoutMs) == SocketIo::Wait::Ready;
}

bool SocketStream::is_writable() const
{
    return !SocketIo::waitForHangup(mSocket, 0);
}

ssize_t SocketStream::read(char *data, size_t size)
{
    if (mBegin == mEnd) {
        if (SocketIo::waitReadable(mSocket, mReadTimeoutMs) != SocketIo::Wait::Ready)
            return -1;
        // Large reads (request bodies) go straight to the caller.
        if (size >= mBuffer.size())
            return ssize_t(SocketIo::receive(mSocket, data, size));
        const long long count = SocketIo::receive(mSocket, mBuffer.data(), mBuffer.size());
        if (count <= 0)
            return ssize_t(count);
        mBegin = 0;
        mEnd = size_t(count);
    }
    const size_t count = std::min(size, mEnd - mBegin);
    std::memcpy(data, mBuffer.data() + mBegin, count);
    mBegin += count;
    return ssize_t(count);
}

ssize_t SocketStream::write(const char *data, size_t size)
{
    if (SocketIo::waitWritable(mSocket, mWriteTimeoutMs) != SocketIo::Wait::Ready)
        return -1;
    return ssize_t(SocketIo::send(mSocket, data, size));
}

// The record keeps no addresses: every client is on 127.0.0.1.
void SocketStream::get_remote_ip_and_port(std::string &ip, int &port) const
{
    ip.clear();
    port = -1;
}

void SocketStream::get_local_ip_and_port(std::string &ip, int &port) const
{
    ip.clear();
    port = -1;
}

socket_t SocketStream::socket() const
{
    return mSocket;
}
