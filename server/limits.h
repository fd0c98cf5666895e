// Limits on what clients may ask, set once at start-up: rates per address and per
// player (token buckets), the places one address group may hold in a queue, and the
// bounded queues of work waiting for a thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tolvane::server {

// Allows `perSecond` on average and bursts of `burst`, per key (an address, a player).
class RateLimiter {
  public:
    RateLimiter(double perSecond, double burst) : rate_(perSecond), burst_(burst) {}
    // True when the key may go on now; otherwise false, with the whole seconds after
    // which it may try again.
    bool take(const std::string& key, double now, int* retryAfter);

  private:
    struct Bucket {
        double tokens, last;
    };
    double rate_, burst_;
    std::mutex m_;
    std::unordered_map<std::string, Bucket> buckets_;
    double lastSweep_ = 0;
};

// At most `perGroup` jobs of one key (an address group) at once, waiting or running; a
// Hold gives its place back when released or destroyed, whichever comes first.
class GroupBudget {
  public:
    explicit GroupBudget(std::size_t perGroup) : perGroup_(std::max<std::size_t>(1, perGroup)) {}
    class Hold;
    // A place for the key, or null when it holds all its places already.
    std::shared_ptr<Hold> take(const std::string& key);
    std::size_t held(const std::string& key);
    std::size_t perGroup() const { return perGroup_; }

  private:
    void give(const std::string& key);
    std::size_t perGroup_;
    std::mutex m_;
    std::unordered_map<std::string, std::size_t> held_;
};

class GroupBudget::Hold {
  public:
    Hold(GroupBudget& budget, std::string key) : budget_(budget), key_(std::move(key)) {}
    ~Hold() { release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    void release() {
        if (!released_.exchange(true)) budget_.give(key_);
    }

  private:
    GroupBudget& budget_;
    std::string key_;
    std::atomic<bool> released_{false};
};

// Jobs run on a fixed pool of threads; at most `capacity` wait for one.
class WorkQueue {
  public:
    WorkQueue(unsigned threads, std::size_t capacity);
    ~WorkQueue() { stop(); }
    // Refuses new jobs, finishes every job already taken, and returns when it has.
    void stop();
    // False (the job is dropped) when the queue is full.
    bool offer(std::function<void()> job);
    // Waits for room, then queues the job.
    void put(std::function<void()> job);
    std::size_t waiting();
    std::size_t capacity() const { return capacity_; }
    unsigned threads() const { return static_cast<unsigned>(threads_.size()); }

  private:
    void work();
    std::size_t capacity_;
    std::mutex m_;
    std::condition_variable cv_, room_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace tolvane::server
