// A part of a story that the story awaits: it starts when awaited, and hands
// its result (or its exception) back to the awaiting coroutine.
#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace bench {

template <typename T = void>
class Step;

namespace detail {

// At its end a step hands control straight back to the coroutine awaiting it.
struct ResumeAwaiting {
    bool await_ready() noexcept { return false; }
    template <typename P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept
    {
        auto next = h.promise().continuation;
        return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
};

struct StepPromiseBase {
    std::coroutine_handle<> continuation;
    std::exception_ptr failure;

    std::suspend_always initial_suspend() noexcept { return {}; }
    ResumeAwaiting final_suspend() noexcept { return {}; }
    void unhandled_exception() { failure = std::current_exception(); }
};

}  // namespace detail

// The handle, its ownership and the awaiting common to every kind of step.
template <typename Promise>
class StepHandle {
public:
    explicit StepHandle(std::coroutine_handle<Promise> h) : handle_(h) {}
    StepHandle(StepHandle&& o) noexcept : handle_(std::exchange(o.handle_, {})) {}
    StepHandle(const StepHandle&) = delete;
    ~StepHandle()
    {
        if (handle_) handle_.destroy();
    }

    bool await_ready() const noexcept { return false; }
    std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiting) noexcept
    {
        handle_.promise().continuation = awaiting;
        return handle_;
    }

protected:
    Promise& promise()
    {
        if (handle_.promise().failure) std::rethrow_exception(handle_.promise().failure);
        return handle_.promise();
    }

private:
    std::coroutine_handle<Promise> handle_;
};

template <typename T>
struct StepPromise : detail::StepPromiseBase {
    std::optional<T> value;
    Step<T> get_return_object();
    void return_value(T v) { value = std::move(v); }
};

template <>
struct StepPromise<void> : detail::StepPromiseBase {
    Step<void> get_return_object();
    void return_void() {}
};

template <typename T>
class Step : public StepHandle<StepPromise<T>> {
public:
    using promise_type = StepPromise<T>;
    using StepHandle<promise_type>::StepHandle;
    T await_resume()
    {
        if constexpr (std::is_void_v<T>) {
            this->promise();
        } else {
            return std::move(*this->promise().value);
        }
    }
};

template <typename T>
Step<T> StepPromise<T>::get_return_object()
{
    return Step<T>{std::coroutine_handle<StepPromise<T>>::from_promise(*this)};
}

inline Step<void> StepPromise<void>::get_return_object()
{
    return Step<void>{std::coroutine_handle<StepPromise<void>>::from_promise(*this)};
}

}  // namespace bench
