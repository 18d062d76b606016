// The requests to end, POSIX: the signal handler writes one byte to a socket
// pair, which a window's loop watches and a window-free loop waits on. A
// wake-up writes a byte too; the flag alone tells a request from it.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>

#include "platform.h"

namespace toolkit::platform {

namespace {

int quitPair[2] = {-1, -1};
volatile std::sig_atomic_t quitFlag = 0;

void OnQuitSignal(int) {
    quitFlag = 1;
    const char byte = 1;
    // Non-blocking: signals arriving faster than they are read never block the handler.
    [[maybe_unused]] const ssize_t ignored = write(quitPair[1], &byte, 1);
}

}  // namespace

void CatchQuitRequests() {
    if (quitPair[0] >= 0) return;
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, quitPair) != 0) {
        quitPair[0] = quitPair[1] = -1;
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool QuitRequested() {
    return quitFlag != 0;
}

bool WaitForQuitRequest(int ms) {
    if (quitFlag != 0) return true;
    if (quitPair[0] < 0) {
        usleep(static_cast<useconds_t>(ms > 0 ? ms : 0) * 1000);
        return quitFlag != 0;
    }
    pollfd watched{quitPair[0], POLLIN, 0};
    if (poll(&watched, 1, ms > 0 ? ms : 0) > 0) {
        // Emptied, or the next wait would return at once: a request's
        // flag, set before its byte, is read after.
        DrainQuitRequests();
    }
    return quitFlag != 0;
}

void WakeQuitWait() {
    if (quitPair[1] < 0) return;
    const char byte = 2;
    [[maybe_unused]] const ssize_t ignored = write(quitPair[1], &byte, 1);
}

int QuitRequestDescriptor() {
    return quitPair[0];
}

void DrainQuitRequests() {
    if (quitPair[0] < 0) return;
    char bytes[64];
    while (read(quitPair[0], bytes, sizeof bytes) > 0) {
    }
}

}  // namespace toolkit::platform
