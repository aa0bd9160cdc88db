#pragma once
#include <string>

namespace bakkesmod::host {
class PlayerControllerService;
}

class PlayerControllerWrapper {
public:
    explicit PlayerControllerWrapper(bakkesmod::host::PlayerControllerService* controller = nullptr)
        : controller(controller)
    {
    }

    bool IsNull() const { return controller == nullptr; }
    explicit operator bool() const { return !IsNull(); }
    void ServerSay_TA(std::string message, unsigned char chatChannel, bool preset);

private:
    bakkesmod::host::PlayerControllerService* controller;
};
