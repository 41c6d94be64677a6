#include "connectionthreads.h"

ConnectionThreads::~ConnectionThreads()
{
    shutdown();
}

void ConnectionThreads::enqueue(std::function<void()> task)
{
    joinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([task = std::move(task), done] {
        task();
        *done = true;
    });
    std::lock_guard<std::mutex> locker(mMutex);
    mWorkers.push_back({ std::move(thread), done });
}

void ConnectionThreads::shutdown()
{
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> locker(mMutex);
        workers.swap(mWorkers);
    }
    for (Worker &worker : workers)
        worker.thread.join();
}

void ConnectionThreads::joinFinished()
{
    std::lock_guard<std::mutex> locker(mMutex);
    for (auto it = mWorkers.begin(); it != mWorkers.end();) {
        if (*it->done) {
            it->thread.join();
            it = mWorkers.erase(it);
        } else {
            ++it;
        }
    }
}
