// The Linux-only exports through which applications receive notifications: library-owned
// message queues whose handles stand where Windows applications pass a window.
#include "OstrelSdk.h"
#include "platform/messages.h"

extern "C" {

OstrelWindow OSTREL_CALL Ostrel_CreateMessageQueue(void) noexcept {
    try {
        return ostrel::platform::createMessageQueue();
    } catch (...) {
        return 0;
    }
}

int OSTREL_CALL Ostrel_WaitMessage(OstrelWindow queue, OstrelMessage *message,
                                   int timeoutMs) noexcept {
    if (message == nullptr) {
        return 0;
    }
    try {
        ostrel::platform::Message taken;
        if (!ostrel::platform::waitMessage(queue, taken, timeoutMs)) {
            return 0;
        }
        message->message = taken.message;
        message->wParam = taken.wParam;
        message->lParam = taken.lParam;
        return 1;
    } catch (...) {
        return 0;
    }
}

int OSTREL_CALL Ostrel_DestroyMessageQueue(OstrelWindow queue) noexcept {
    try {
        return ostrel::platform::destroyMessageQueue(queue) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

}  // extern "C"
