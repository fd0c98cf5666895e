// Token buckets, the places of address groups, and the pools of threads with their queues.
#include "server/limits.h"

#include <cmath>

namespace tolvane::server {

bool RateLimiter::take(const std::string& key, double now, int* retryAfter) {
    std::lock_guard lock(m_);
    // Buckets that have filled up again say nothing; dropping them keeps the map small
    // however many addresses pass by.
    if (now - lastSweep_ > 60) {
        for (auto it = buckets_.begin(); it != buckets_.end();) {
            if (it->second.tokens + (now - it->second.last) * rate_ >= burst_)
                it = buckets_.erase(it);
            else
                ++it;
        }
        lastSweep_ = now;
    }
    auto [it, fresh] = buckets_.try_emplace(key, Bucket{burst_, now});
    Bucket& b = it->second;
    if (!fresh) {
        b.tokens = std::min(burst_, b.tokens + (now - b.last) * rate_);
        b.last = now;
    }
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return true;
    }
    if (retryAfter) *retryAfter = std::max(1, static_cast<int>(std::ceil((1 - b.tokens) / rate_)));
    return false;
}

std::shared_ptr<GroupBudget::Hold> GroupBudget::take(const std::string& key) {
    std::lock_guard lock(m_);
    std::size_t& n = held_[key];
    if (n >= perGroup_) return nullptr;
    ++n;
    return std::make_shared<Hold>(*this, key);
}

void GroupBudget::give(const std::string& key) {
    std::lock_guard lock(m_);
    auto it = held_.find(key);
    if (it == held_.end()) return;
    if (--it->second == 0) held_.erase(it); // the map holds only the groups with work in hand
}

std::size_t GroupBudget::held(const std::string& key) {
    std::lock_guard lock(m_);
    auto it = held_.find(key);
    return it == held_.end() ? 0 : it->second;
}

WorkQueue::WorkQueue(unsigned threads, std::size_t capacity) : capacity_(capacity) {
    for (unsigned i = 0; i < std::max(1u, threads); ++i) threads_.emplace_back([this] { work(); });
}

void WorkQueue::stop() {
    {
        std::lock_guard lock(m_);
        stopping_ = true;
    }
    cv_.notify_all();
    for (auto& t : threads_)
        if (t.joinable()) t.join();
}

bool WorkQueue::offer(std::function<void()> job) {
    {
        std::lock_guard lock(m_);
        if (jobs_.size() >= capacity_ || stopping_) return false;
        jobs_.push_back(std::move(job));
    }
    cv_.notify_one();
    return true;
}

void WorkQueue::put(std::function<void()> job) {
    {
        std::unique_lock lock(m_);
        room_.wait(lock, [&] { return jobs_.size() < capacity_ || stopping_; });
        if (stopping_) return;
        jobs_.push_back(std::move(job));
    }
    cv_.notify_one();
}

std::size_t WorkQueue::waiting() {
    std::lock_guard lock(m_);
    return jobs_.size();
}

void WorkQueue::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(m_);
            cv_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return; // stopping, and nothing left to do
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        room_.notify_one();
        job();
    }
}

} // namespace tolvane::server
