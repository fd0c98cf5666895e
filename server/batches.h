// Items handed over by many threads and worked through by one, a batch at a time: all
// that waited when the last batch was done, up to a limit. The server stores verified
// runs this way, so that one commit (one flush to the disk) stores all of them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tolvane::server {

template <typename T> class Batches {
  public:
    using Work = std::function<void(std::vector<T>&)>;
    // At most `capacity` items wait: put() then waits for room, which holds back the
    // threads that hand them over while the work lags behind.
    Batches(std::size_t capacity, std::size_t batch, Work work)
        : capacity_(capacity), batch_(batch), work_(std::move(work)), thread_([this] { run(); }) {}
    ~Batches() { stop(); }
    Batches(const Batches&) = delete;
    Batches& operator=(const Batches&) = delete;

    void put(T item) {
        {
            std::unique_lock lock(m_);
            room_.wait(lock, [&] { return items_.size() < capacity_ || stopping_; });
            if (!stopping_) {
                items_.push_back(std::move(item));
                ready_.notify_one();
                return;
            }
        }
        // Stopped: the work is done here, so that nothing handed over is lost.
        std::vector<T> one;
        one.push_back(std::move(item));
        work_(one);
    }

    // Works through everything handed over so far, then returns.
    void stop() {
        {
            std::lock_guard lock(m_);
            stopping_ = true;
        }
        ready_.notify_all();
        room_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::size_t waiting() {
        std::lock_guard lock(m_);
        return items_.size();
    }

  private:
    void run() {
        for (;;) {
            std::vector<T> batch;
            {
                std::unique_lock lock(m_);
                ready_.wait(lock, [&] { return stopping_ || !items_.empty(); });
                if (items_.empty()) return; // stopping, and nothing left
                while (!items_.empty() && batch.size() < batch_) {
                    batch.push_back(std::move(items_.front()));
                    items_.pop_front();
                }
            }
            room_.notify_all();
            work_(batch);
        }
    }

    std::size_t capacity_, batch_;
    Work work_;
    std::mutex m_;
    std::condition_variable ready_, room_;
    std::deque<T> items_;
    bool stopping_ = false;
    std::thread thread_; // last: started once everything above is there
};

} // namespace tolvane::server
