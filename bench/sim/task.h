// A story told as a coroutine: it starts at once, each co_await is a wait on
// time or on the bus, and the frame lives as long as the Task that owns it.
#pragma once

#include <coroutine>
#include <exception>
#include <memory>
#include <utility>

namespace bench {

class Task {
public:
    struct promise_type {
        std::exception_ptr failure;
        Task get_return_object() { return Task{std::coroutine_handle<promise_type>::from_promise(*this)}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        void return_void() {}
        void unhandled_exception() { failure = std::current_exception(); }
    };

    Task() = default;
    explicit Task(std::coroutine_handle<promise_type> handle) : handle_(handle) {}
    Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
    Task& operator=(Task&& other) noexcept
    {
        if (this != &other) {
            if (handle_) handle_.destroy();
            handle_ = std::exchange(other.handle_, {});
        }
        return *this;
    }
    ~Task()
    {
        if (handle_) handle_.destroy();
    }

    bool done() const { return !handle_ || handle_.done(); }
    // A story that ended by an exception hands it on here.
    void rethrow() const
    {
        if (handle_ && handle_.promise().failure) std::rethrow_exception(handle_.promise().failure);
    }

private:
    std::coroutine_handle<promise_type> handle_;
};

// Resumes a coroutine only while its owner lives: events may outlast a story.
class Life {
public:
    Life() : token_(std::make_shared<char>()) {}
    auto resumer(std::coroutine_handle<> h) const
    {
        return [h, alive = std::weak_ptr<char>(token_)] {
            if (!alive.expired()) h.resume();
        };
    }

    std::weak_ptr<char> alive() const { return token_; }

private:
    std::shared_ptr<char> token_;
};

}  // namespace bench
