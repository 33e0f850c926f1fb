// Host name lookup: bounded by a deadline and a stop flag, whatever the
// resolver does.
#include "platform/socket.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace zq {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

void waitUntil(const std::function<bool()>& done) {
    const auto start = Clock::now();
    while (!done() && msSince(start) < 10000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// Installs a lookup for one test; the default comes back after it.
class ScopedLookup {
public:
    explicit ScopedLookup(HostLookup lookup) { setHostLookup(std::move(lookup)); }
    ~ScopedLookup() { setHostLookup({}); }
};

// A resolver that hangs for `ms` before it answers 10.0.0.1.
HostLookup hangingLookup(int ms) {
    return [ms](const std::string&) -> std::optional<Ipv4Address> {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return Ipv4Address{0x0100000a};
    };
}

// Pins: the name lookup had no deadline and held its caller for as long as
// the resolver took.
TEST(HostLookup, AHangingResolverIsLeftAtTheDeadlineOrTheStop) {
    ScopedLookup slow(hangingLookup(3000));
    auto start = Clock::now();
    EXPECT_FALSE(resolveIpv4("slow.example", 200));
    EXPECT_LT(msSince(start), 1000);

    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop.store(true);
    });
    start = Clock::now();
    EXPECT_FALSE(resolveIpv4("slow.example", 5000, &stop));
    EXPECT_LT(msSince(start), 1000);
    stopper.join();
}

TEST(HostLookup, AnswersWithinTheDeadlineAndDottedTextSkipsTheResolver) {
    ScopedLookup quick(hangingLookup(10));
    std::optional<Ipv4Address> got = resolveIpv4("quick.example", 3000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->dotted(), "10.0.0.1");

    ScopedLookup never(hangingLookup(60000));
    const auto start = Clock::now();
    got = resolveIpv4("127.0.0.9", 3000);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->dotted(), "127.0.0.9");
    EXPECT_FALSE(resolveIpv4("", 3000));
    EXPECT_LT(msSince(start), 500);
}

// Pins: each lookup ran on a detached thread, so a resolver that hangs left
// one more thread behind on every attempt.
TEST(HostLookup, HangingLookupsStayFewAndAreJoinedOnceTheyEnd) {
    waitUntil([] { return hostLookupThreads() == 0; });  // those of earlier tests
    ASSERT_EQ(hostLookupThreads(), 0u);
    struct Gate {
        std::mutex mutex;
        std::condition_variable opened;
        bool open = false;
    };
    auto gate = std::make_shared<Gate>();
    ScopedLookup blocked([gate](const std::string&) -> std::optional<Ipv4Address> {
        std::unique_lock<std::mutex> lock(gate->mutex);
        gate->opened.wait(lock, [&gate] { return gate->open; });
        return Ipv4Address{0x0100000a};
    });
    const auto start = Clock::now();
    for (int i = 0; i < 6; ++i) EXPECT_FALSE(resolveIpv4("hung.example", 100));
    EXPECT_LT(msSince(start), 1500);
    EXPECT_EQ(hostLookupThreads(), 4u);

    {
        std::lock_guard<std::mutex> lock(gate->mutex);
        gate->open = true;
    }
    gate->opened.notify_all();
    waitUntil([] { return hostLookupThreads() == 0; });
    EXPECT_EQ(hostLookupThreads(), 0u);
}

// Pins: the pool was never destroyed, so a lookup its caller left behind
// still ran when the process ended (a thread leak under ThreadSanitizer).
// The child leaves one and exits; the lookup ends before the process does.
TEST(HostLookup, ALookupLeftBehindIsJoinedWhenTheProcessEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto marker = [](pid_t parent) {
        return std::filesystem::temp_directory_path() /
               ("zq-lookup-joined-" + std::to_string(parent));
    };
    std::filesystem::remove(marker(getpid()));
    EXPECT_EXIT(
        {
            const std::filesystem::path done = marker(getppid());
            setHostLookup([done](const std::string&) -> std::optional<Ipv4Address> {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                std::ofstream(done) << "joined";
                return std::nullopt;
            });
            resolveIpv4("left.example", 10);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_TRUE(std::filesystem::exists(marker(getpid())));
    std::filesystem::remove(marker(getpid()));
}

}  // namespace
}  // namespace zq
