// Makes the items of a sequence ahead of the one being worked on, on a
// thread of its own: while the consumer works on item i, items i + 1 and
// i + 2 are made, so that neither side waits for the other's slower items.
// Items are made strictly in order, each once, into three places in turn;
// an item taken stays untouched until the next one is taken. Without a
// thread every item is made on the consumer's thread when it is taken, so
// both ways give the same items.
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

template <typename Item> class CReadAhead {
public:
    using Make = std::function<void(std::int32_t index, Item& item)>;

    CReadAhead() = default;
    ~CReadAhead() { Stop(); }
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // Begins making items 0 .. count - 1; with threaded, on a new thread.
    void Start(std::int32_t count, Make make, bool threaded) {
        Stop();
        count_ = count;
        make_ = std::move(make);
        made_ = 0;
        taken_ = -1;
        stop_ = false;
        threaded_ = threaded;
        if (threaded_) {
            thread_ = std::thread([this] { Run(); });
        }
    }

    // Item index (taken in order, from 0), once it is made. Gives the
    // previous item back to be made over.
    Item& Take(std::int32_t index) {
        Item& item = items_[static_cast<std::size_t>(index) % items_.size()];
        if (!threaded_) {
            make_(index, item);
            return item;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        taken_ = index;
        changed_.notify_all();
        changed_.wait(lock, [&] { return made_ > index; });
        return item;
    }

    // Ends the thread once the item it is making is done; the items stay.
    void Stop() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // Stops and frees the items.
    void Clear() {
        Stop();
        items_ = {};
    }

private:
    void Run() {
        for (std::int32_t i = 0; i < count_; ++i) {
            {
                // Item i goes where item i - kPlaces was: wait until the
                // consumer has moved on past it.
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || taken_ + kPlaces - 1 >= i; });
                if (stop_) {
                    return;
                }
            }
            make_(i, items_[static_cast<std::size_t>(i) % items_.size()]);
            std::lock_guard<std::mutex> lock(mutex_);
            made_ = i + 1;
            changed_.notify_all();
        }
    }

    static constexpr std::int32_t kPlaces = 3;
    std::array<Item, kPlaces> items_{};
    Make make_;
    std::int32_t count_ = 0;
    bool threaded_ = false;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::int32_t made_ = 0;   // items 0 .. made_ - 1 are made
    std::int32_t taken_ = -1; // the item the consumer holds
    bool stop_ = false;
    std::thread thread_;
};
