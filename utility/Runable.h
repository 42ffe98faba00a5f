#pragma once
// A task handed between threads. Whoever receives a task owns it and calls release() exactly once,
// never delete.

#include <utility>

namespace utility {

class Runable {
public:
    virtual void release() { delete this; }
    virtual ~Runable() = default;
    virtual void run() = 0;
};

// Runs a callable (usually a lambda capturing the window or the model) without arguments.
template <typename F>
class FunctionRunable : public Runable {
public:
    explicit FunctionRunable(F function) : function_(std::move(function)) {}
    void run() override { function_(); }

private:
    F function_;
};

template <typename F>
Runable* makeRunable(F function) {
    return new FunctionRunable<F>(std::move(function));
}

// Runs object->*member(); how the window and the model start their worker threads.
template <typename T>
class MemberFuncRunable : public Runable {
public:
    using Member = void (T::*)();
    MemberFuncRunable(T* object, Member member) : object_(object), member_(member) {}
    void run() override { (object_->*member_)(); }

private:
    T* object_;
    Member member_;
};

}  // namespace utility
