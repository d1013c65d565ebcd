// Clang's thread-safety analysis (-Wthread-safety): attributes that say which
// mutex guards which data and which functions take, need or let go of it, and
// a mutex and lock guard that carry them. Under other compilers the
// attributes expand to nothing and these are plain std::mutex wrappers.
// Included by .cpp files only, so the short macro names stay out of headers.
#pragma once

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define LANHE_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define LANHE_THREAD_ATTRIBUTE(x)
#endif

#define CAPABILITY(x) LANHE_THREAD_ATTRIBUTE(capability(x))
#define SCOPED_CAPABILITY LANHE_THREAD_ATTRIBUTE(scoped_lockable)
#define GUARDED_BY(x) LANHE_THREAD_ATTRIBUTE(guarded_by(x))
#define PT_GUARDED_BY(x) LANHE_THREAD_ATTRIBUTE(pt_guarded_by(x))
#define REQUIRES(...) LANHE_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define EXCLUDES(...) LANHE_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define ACQUIRE(...) LANHE_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define RELEASE(...) LANHE_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))

namespace tables {

class CAPABILITY("mutex") Mutex {
  public:
    void lock() ACQUIRE() { mutex_.lock(); }
    void unlock() RELEASE() { mutex_.unlock(); }

    // Lets go of the mutex while it sleeps on `cv` and holds it again when it
    // returns (after a notify or spuriously): callers wait in a loop that
    // tests what they wait for, which the analysis then sees them do under
    // the mutex.
    void wait(std::condition_variable& cv) REQUIRES(this) {
        std::unique_lock<std::mutex> lock(mutex_, std::adopt_lock);
        cv.wait(lock);
        lock.release();
    }

  private:
    std::mutex mutex_;
};

// Holds a Mutex for its scope.
class SCOPED_CAPABILITY MutexLock {
  public:
    explicit MutexLock(Mutex& mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    Mutex& mutex_;
};

}  // namespace tables
