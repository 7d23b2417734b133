// Clang thread-safety annotations; they compile to nothing elsewhere (GCC, MSVC).
#ifndef TOVARO_PLATFORM_THREAD_ANNOTATIONS_H_
#define TOVARO_PLATFORM_THREAD_ANNOTATIONS_H_

#if defined(__clang__)
#define TOVARO_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define TOVARO_THREAD_ANNOTATION(x)
#endif

#define TOVARO_CAPABILITY(name) TOVARO_THREAD_ANNOTATION(capability(name))
#define TOVARO_SCOPED_CAPABILITY TOVARO_THREAD_ANNOTATION(scoped_lockable)
#define TOVARO_GUARDED_BY(lock) TOVARO_THREAD_ANNOTATION(guarded_by(lock))
#define TOVARO_REQUIRES(...) TOVARO_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define TOVARO_ACQUIRE(...) TOVARO_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define TOVARO_RELEASE(...) TOVARO_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define TOVARO_EXCLUDES(...) TOVARO_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define TOVARO_NO_THREAD_SAFETY_ANALYSIS TOVARO_THREAD_ANNOTATION(no_thread_safety_analysis)

#endif  // TOVARO_PLATFORM_THREAD_ANNOTATIONS_H_
