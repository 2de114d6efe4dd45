#pragma once
// A POSIX named semaphore ("/dev/shm/sem.<name>", what sem_open makes and opens) used as an
// auto-reset event. The file is mapped here rather than through sem_open, so that the
// mapping's place is known: the other process may shrink the file at any moment, and an
// access to the semaphore then raises SIGBUS. Every access runs under a guard that turns
// that SIGBUS into a failure of the call; the event is gone from then on. A SIGBUS anywhere
// else goes to the handler that was there before.
//
// The semaphore is reached only by non-blocking calls (sem_post, sem_trywait, sem_getvalue),
// which hold no lock and leave nothing to undo when the guard cuts them short. Wait polls:
// the system's timed wait sleeps in the kernel on the object and ends the process when the
// object is gone under it.
#include <memory>
#include <string>

#include "NETWORK/Platform/INamedEvent.h"

namespace kestrin {

class PosixNamedEvent : public INamedEvent {
public:
    // The semaphore in the file open on fd (checked by the caller to hold one); the caller
    // keeps and closes fd. removeName (when not empty) is unlinked on destruction. Null when
    // it cannot be mapped.
    static std::unique_ptr<PosixNamedEvent> Map(int fd, std::string removeName);
    ~PosixNamedEvent() override;
    PosixNamedEvent(const PosixNamedEvent&) = delete;
    PosixNamedEvent& operator=(const PosixNamedEvent&) = delete;

    bool Set() override;
    bool TryWait() override;
    bool Wait(int timeoutMs) override;
    bool IsGone() const override { return m_gone; }
    bool Probe() override;

private:
    PosixNamedEvent(void* mapping, std::string removeName);
    // Runs access on the semaphore under the guard; true (and gone from then on) when the
    // object was gone.
    bool Guarded(void (*access)(void* semaphore, void* result), void* result);

    void* m_mapping;
    std::string m_removeName;
    bool m_gone = false;
};

}  // namespace kestrin
