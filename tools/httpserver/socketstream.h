#pragma once

#include <httplib.h>

#include <vector>

// The library's stream over one accepted socket, kept for the whole
// connection so that bytes of a following (pipelined) request that arrive
// with the current one are not lost between requests.
class SocketStream : public httplib::Stream
{
public:
    SocketStream(socket_t socket, int readTimeoutMs, int writeTimeoutMs);

    // Waits up to idleTimeoutMs for the next request to begin; false when
    // the connection ended or stayed idle.
    bool waitForRequest(int idleTimeoutMs);
    // Waits up to timeoutMs (negative: no limit) while the connection stays
    // open; false when it ended meanwhile.
    bool stayOpenFor(int timeoutMs);

    bool is_readable() const override;
    // False once the client is gone, so that an answer stops early.
    bool is_writable() const override;
    ssize_t read(char *data, size_t size) override;
    ssize_t write(const char *data, size_t size) override;
    void get_remote_ip_and_port(std::string &ip, int &port) const override;
    void get_local_ip_and_port(std::string &ip, int &port) const override;
    socket_t socket() const override;

private:
    socket_t mSocket;
    int mReadTimeoutMs;
    int mWriteTimeoutMs;
    std::vector<char> mBuffer;
    size_t mBegin = 0;
    size_t mEnd = 0;
};
