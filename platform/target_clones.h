// ZQ_TARGET_CLONES: a hot loop compiled for AVX2 and for any x86-64, the
// version picked once at load time by an ifunc resolver.
//
// Those resolvers run before main, before ThreadSanitizer's runtime is set
// up, and crash it; a ThreadSanitizer build keeps the one default version.
#pragma once

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ZQ_THREAD_SANITIZER 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ZQ_THREAD_SANITIZER 1
#endif

#if defined(__x86_64__) && defined(__GNUC__) && !defined(ZQ_THREAD_SANITIZER)
#define ZQ_TARGET_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define ZQ_TARGET_CLONES
#endif
