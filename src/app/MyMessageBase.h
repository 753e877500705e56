#pragma once
// The two message bases: messages to worker threads and messages to the main window. Each concrete
// message sets `type` in its constructor; the receiver switches on it and deletes the message after
// handling it.

#include <cstdint>

class MyMessageBase {
public:
    explicit MyMessageBase(std::int32_t type) : type(type) {}
    virtual ~MyMessageBase() = default;
    MyMessageBase(const MyMessageBase&) = delete;
    MyMessageBase& operator=(const MyMessageBase&) = delete;

    std::int32_t type;
};

class MyOwnerWindowMessageBase {
public:
    explicit MyOwnerWindowMessageBase(std::int32_t type) : type(type) {}
    virtual ~MyOwnerWindowMessageBase() = default;
    MyOwnerWindowMessageBase(const MyOwnerWindowMessageBase&) = delete;
    MyOwnerWindowMessageBase& operator=(const MyOwnerWindowMessageBase&) = delete;

    std::int32_t type;
};
