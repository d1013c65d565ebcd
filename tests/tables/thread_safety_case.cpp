// Compiled, never run, by the Clang build (tests/tables/CMakeLists.txt): the
// thread-safety analysis must accept a guarded member used under its mutex,
// also across a wait, and refuse the same use without the mutex
// (CASE_UNGUARDED). So the attributes of thread_safety.h are known to reach
// the compiler rather than expand to nothing.
#include "thread_safety.h"

namespace {

struct Counter {
    tables::Mutex mutex;
    std::condition_variable changed;
    int value GUARDED_BY(mutex) = 0;

    void add() EXCLUDES(mutex) {
#if !defined(CASE_UNGUARDED)
        tables::MutexLock lock(mutex);
#endif
        ++value;
    }

    int waitForPositive() EXCLUDES(mutex) {
        tables::MutexLock lock(mutex);
        while (value <= 0) mutex.wait(changed);
        return value;
    }
};

}  // namespace

int main() {
    Counter c;
    c.add();
    return c.waitForPositive() == 1 ? 0 : 1;
}
