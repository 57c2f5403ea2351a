#include "bridge/call_lock.h"

#include "bridge/sent_messages.h"

namespace bridge {

CallLock::CallLock() : released(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

CallLock::~CallLock()
{
    if (released != nullptr) CloseHandle(released);
}

bool CallLock::TryTake(DWORD thread)
{
    DWORD free = 0;
    return owner.compare_exchange_strong(free, thread);
}

void CallLock::Enter()
{
    const DWORD thread = GetCurrentThreadId();
    if (owner.load() == thread) {
        ++entries;
        return;
    }
    if (!TryTake(thread)) {
        ++waiting;
        // Taken again after counting in, so that a holder letting go between
        // the two sees a waiter and sets the event.
        while (!TryTake(thread)) {
            // Without an event (no system resources), a short sleep in its place.
            const DWORD handles = released != nullptr ? 1 : 0;
            if (WaitOrSentMessage(handles, &released, handles != 0 ? INFINITE : 1) == WAIT_OBJECT_0 + handles)
                ServeSentMessages();
        }
        --waiting;
    }
    entries = 1;
}

void CallLock::Leave()
{
    if (--entries != 0) return;
    owner.store(0);
    if (waiting.load() != 0 && released != nullptr) SetEvent(released);
}

}  // namespace bridge
