#pragma once

// A thread of either side that waits serves the messages other threads and
// processes send to its windows meanwhile: a sender waits for their answer,
// and may itself be what the waiter waits for (the vendor library sending to
// a host window during a call, a host window procedure calling the player).

#include <windows.h>

namespace bridge {

// WAIT_OBJECT_0 + i for the handle that was signalled, WAIT_OBJECT_0 + count
// when a message sent to one of this thread's windows waits to be served
// (also one that other code of the thread has seen but not served), or
// WAIT_TIMEOUT.
inline DWORD WaitOrSentMessage(DWORD count, const HANDLE* handles, DWORD milliseconds)
{
    return MsgWaitForMultipleObjectsEx(count, handles, milliseconds, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
}

// Runs the window procedures of the messages sent to this thread, here.
inline void ServeSentMessages()
{
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

}  // namespace bridge
