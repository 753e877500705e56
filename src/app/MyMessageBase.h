#pragma once
// The two message bases: messages to worker threads and messages to the main window. Each concrete
// message names its type number as kType and sets `type` to it in its constructor; the receiver switches
// on `type`, takes the message with MessageAs and deletes it after handling it.

#include <cstdint>
#include <type_traits>

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

// `message` as the concrete message T, or null when it is not one: its type number is another, or it is
// a message of another receiver that happens to carry T's number. A receiver never reads one message as
// another, whatever it is sent.
template <typename T, typename Base>
std::conditional_t<std::is_const_v<Base>, const T, T>* MessageAs(Base& message) {
    using Out = std::conditional_t<std::is_const_v<Base>, const T, T>;
    return message.type == T::kType ? dynamic_cast<Out*>(&message) : nullptr;
}
