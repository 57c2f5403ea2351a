#pragma once

// One call at a time on the player: a lock that the thread holding it may
// take again (a call nested in its own, from a window procedure the thread
// serves while it waits), and whose waiters serve the messages sent to their
// windows while they wait, as a thread waiting for the helper does. Free of
// system calls while no other thread holds it.

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace bridge {

class CallLock {
public:
    CallLock();
    CallLock(const CallLock&) = delete;
    CallLock& operator=(const CallLock&) = delete;
    ~CallLock();

    void Enter();
    void Leave();
    // How often the holding thread has entered: 1 for a call of its own, more
    // for calls nested in it. Only the holder may ask.
    uint32_t Entries() const { return entries; }
    bool HeldByThisThread() const { return owner.load() == GetCurrentThreadId(); }

    class Hold {
    public:
        explicit Hold(CallLock& held) : lock(held) { lock.Enter(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;
        ~Hold() { lock.Leave(); }

    private:
        CallLock& lock;
    };

private:
    bool TryTake(DWORD thread);

    std::atomic<DWORD> owner{0};  // the holding thread's id, 0 when free
    uint32_t entries = 0;         // the holder's alone
    std::atomic<uint32_t> waiting{0};
    HANDLE released;  // auto-reset; set when the lock is let go while others wait
};

}  // namespace bridge
