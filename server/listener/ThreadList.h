#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

// A list of object references with its own lock. The objects are not owned.
template <class T> class TThreadList {
public:
    // Holds the lock for as long as it lives.
    class Locked {
    public:
        explicit Locked(TThreadList& list)
            : lock_(list.mutex_)
            , items_(list.items_)
        {
        }
        std::vector<T*>& Items() { return items_; }

    private:
        std::unique_lock<std::mutex> lock_;
        std::vector<T*>& items_;
    };

    Locked LockList() { return Locked(*this); }

    void Add(T* item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        items_.push_back(item);
    }

    // True when the item was listed.
    bool Remove(T* item)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto it = std::find(items_.begin(), items_.end(), item);
        if (it == items_.end())
            return false;
        items_.erase(it);
        return true;
    }

    int Count()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(items_.size());
    }

private:
    std::mutex mutex_;
    std::vector<T*> items_;
};
