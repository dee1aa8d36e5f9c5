// The page runs on one thread: the wave output starts no thread there (the
// audio device is caller-driven), but its code still names the calls that
// raise a thread's priority, which emscripten's C library lacks without
// threads. They answer as a system that grants nothing would.
#include <pthread.h>
#include <sched.h>

#include <cerrno>

extern "C" int pthread_setschedparam(pthread_t, int, const sched_param*) {
    return EPERM;
}

extern "C" int sched_get_priority_max(int) {
    return 0;
}
