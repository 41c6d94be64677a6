#pragma once

#include <httplib.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

// The library's task queue with one thread per connection. Its default pool
// has a handful of threads, and every open connection holds one: a few idle
// keep-alive connections or one stalled answer would leave the next client
// waiting for a free thread.
class ConnectionThreads : public httplib::TaskQueue
{
public:
    ConnectionThreads() = default;
    ~ConnectionThreads() override;

    void enqueue(std::function<void()> task) override;
    // Waits for every task to end.
    void shutdown() override;

private:
    struct Worker
    {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };

    void joinFinished();

    std::mutex mMutex;
    std::list<Worker> mWorkers;
};
