// The Mac's platform files on a Mac: the counter's scale, the sleeper's
// ceiling and wakeups and whether it finds its thread raised, the system
// clock, and the priority calls, also where the system refuses them
// (scripted). A program of its own, without
// GoogleTest, which is not built for the Mac: every macOS build compiles and
// links it, the hosted workflow's Mac leg runs it. Prints each failed check;
// exits with 1 if there was any.
#include <mach/mach_time.h>
#include <pthread.h>
#include <pthread/qos.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <cmath>
#include <cstdint>

#include "timing/clock.hpp"
#include "timing/priority.hpp"
#include "timing/sleeper.hpp"
#include "timing/system_clock.hpp"

// The priority file again, its system calls scripted: whether each succeeds,
// what the thread is found with, what it was set to.
namespace scripted {
struct Calls {
    int getResult, setResult;  // 0, or the error the call returns
    qos_class_t found;
    int foundRelative;
    int sets;  // set calls made, and the last one's arguments
    qos_class_t setTo;
    int setRelative;
};
Calls calls;
int getQos(pthread_t, qos_class_t* qos, int* relative) {
    if (calls.getResult != 0) return calls.getResult;
    *qos = calls.found;
    *relative = calls.foundRelative;
    return 0;
}
int setQos(qos_class_t qos, int relative) {
    ++calls.sets;
    calls.setTo = qos;
    calls.setRelative = relative;
    return calls.setResult;
}
#define pthread_get_qos_class_np scripted::getQos
#define pthread_set_qos_class_self_np scripted::setQos
#include "timing/priority_macos.inc"
#undef pthread_get_qos_class_np
#undef pthread_set_qos_class_self_np
}  // namespace scripted

namespace {

int failures = 0;

void check(const char* group, const char* name, bool ok) {
    if (ok) return;
    printf("FAIL: %s, %s\n", group, name);
    ++failures;
}

// Nanoseconds of mach_absolute_time units, exact below 2^53 ns (104 days).
double machToNs(std::uint64_t units) {
    mach_timebase_info_data_t timebase;
    mach_timebase_info(&timebase);
    return double(units) * timebase.numer / timebase.denom;
}

void clockScale() {
    const std::uint64_t before = mach_absolute_time();
    const std::uint64_t reading = timing::readCounter();
    const std::uint64_t after = mach_absolute_time();
    // CLOCK_UPTIME_RAW is mach_absolute_time converted: in nanoseconds, and
    // not counting sleep, as CLOCK_MONOTONIC_RAW does.
    check("clock", "frequency is 1 GHz", timing::readFrequency() == 1000000000u);
    check("clock", "reading is mach_absolute_time in ns",
          machToNs(before) - 1 <= double(reading) && double(reading) <= machToNs(after) + 1);
    std::uint64_t last = timing::readCounter(), decreases = 0;
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t now = timing::readCounter();
        decreases += now < last;
        last = now;
    }
    check("clock", "never decreases", decreases == 0);
}

void sleeper() {
    const timing::Sleeper sleeper = timing::openSleeper();
    check("sleeper", "ceiling is the high-resolution timer's",
          timing::marginCeilingSeconds(sleeper) == timing::kHighResolutionCeilingSeconds);
    // A wakeup may come one unit of mach_absolute_time early: the reading is
    // converted to those units, rounding down.
    const std::uint64_t unit = std::uint64_t(std::ceil(machToNs(1)));
    struct {
        const char* name;
        double aheadMs;
    } const rows[] = {{"past reading", -1000}, {"100 us ahead", 0.1}, {"2 ms ahead", 2}, {"20 ms ahead", 20}};
    for (const auto& row : rows) {
        const std::uint64_t target = std::uint64_t(std::int64_t(timing::readCounter()) + std::int64_t(row.aheadMs * 1e6));
        timing::sleepUntil(sleeper, target);
        check("sleeper wakes at or after the reading", row.name, timing::readCounter() + unit >= target);
    }
    timing::closeSleeper(sleeper);
}

void systemClock() {
    const timing::SystemClock clock = timing::openSystemClock();
    const double before = double(time(nullptr)) * 1000;
    const timing::SystemClockReading shown = timing::readSystemClock(clock);
    const double after = double(time(nullptr)) * 1000 + 1000;
    check("system clock", "ms since 1970 as time() says", before <= shown.ms && shown.ms < after);
    check("system clock", "read to the tick", shown.stepMs == 0);
    check("system clock", "error not said", std::isnan(timing::systemClockErrorMs()));
}

qos_class_t threadQos() {
    qos_class_t qos = QOS_CLASS_UNSPECIFIED;
    int relative = 0;
    pthread_get_qos_class_np(pthread_self(), &qos, &relative);
    return qos;
}

// Whether the sleeper finds its thread raised, as hasta asks.
bool sleeperFindsRaised() {
    const timing::Sleeper sleeper = timing::openSleeper();
    const bool raised = timing::threadRaised(sleeper);
    timing::closeSleeper(sleeper);
    return raised;
}

// Raised and given back, on a thread started at the utility class; the
// sleeper says so.
void* raiseAndGiveBack(void*) {
    check("priority", "the sleeper finds utility not raised", !sleeperFindsRaised());
    timing::PriorityFound found{};
    check("priority", "raised", timing::raisePriority(found) == nullptr);
    check("priority", "user-interactive while raised", threadQos() == QOS_CLASS_USER_INTERACTIVE);
    check("priority", "the sleeper finds it raised", sleeperFindsRaised());
    timing::restorePriority(found);
    check("priority", "utility given back", threadQos() == QOS_CLASS_UTILITY);
    check("priority", "the sleeper finds it given back", !sleeperFindsRaised());
    return nullptr;
}

void priority() {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_set_qos_class_np(&attributes, QOS_CLASS_UTILITY, 0);
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, raiseAndGiveBack, nullptr) == 0;
    check("priority", "thread started", started);
    if (started) pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

void* restoreScripted(void* found) {
    scripted::timing::restorePriority(*static_cast<scripted::timing::PriorityFound*>(found));
    return nullptr;
}

// With the system's calls scripted: a refused raise says why and changes
// nothing; what is given back, and from which thread.
void priorityScripted() {
    enum GiveBack { kNot, kOnThisThread, kFromAnother };
    struct {
        const char* name;
        int getResult, setResult;
        qos_class_t found;
        GiveBack giveBack;
        const char* message;  // a part of it; null when raised
        int sets;             // set calls, and the last one's class and relative priority
        qos_class_t setTo;
        int setRelative;
    } const rows[] = {
        {"class not said: refused", 1, 0, QOS_CLASS_UTILITY, kNot, "did not say", 0, QOS_CLASS_UNSPECIFIED, 0},
        {"user-interactive refused", 0, 1, QOS_CLASS_UTILITY, kNot, "refused", 1, QOS_CLASS_USER_INTERACTIVE, 0},
        {"raised", 0, 0, QOS_CLASS_UTILITY, kNot, nullptr, 1, QOS_CLASS_USER_INTERACTIVE, 0},
        {"utility given back", 0, 0, QOS_CLASS_UTILITY, kOnThisThread, nullptr, 2, QOS_CLASS_UTILITY, -2},
        {"unspecified given back as default", 0, 0, QOS_CLASS_UNSPECIFIED, kOnThisThread, nullptr, 2,
         QOS_CLASS_DEFAULT, -2},
        {"nothing given back from another thread", 0, 0, QOS_CLASS_UTILITY, kFromAnother, nullptr, 1,
         QOS_CLASS_USER_INTERACTIVE, 0},
    };
    for (const auto& row : rows) {
        scripted::calls = {row.getResult, row.setResult, row.found, -2, 0, QOS_CLASS_UNSPECIFIED, 0};
        scripted::timing::PriorityFound found{};
        const char* why = scripted::timing::raisePriority(found);
        if (row.giveBack == kOnThisThread) scripted::timing::restorePriority(found);
        pthread_t thread;
        if (row.giveBack == kFromAnother && pthread_create(&thread, nullptr, restoreScripted, &found) == 0) {
            pthread_join(thread, nullptr);
        }
        check("priority scripted", row.name,
              (row.message == nullptr ? why == nullptr : why != nullptr && strstr(why, row.message) != nullptr) &&
                  scripted::calls.sets == row.sets && scripted::calls.setTo == row.setTo &&
                  scripted::calls.setRelative == row.setRelative);
    }
}

}  // namespace

int main() {
    clockScale();
    sleeper();
    systemClock();
    priority();
    priorityScripted();
    printf("platform_test_macos: %d failed\n", failures);
    return failures != 0;
}
