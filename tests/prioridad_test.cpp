// prioridad as the host sees it, through the stand-in host: what each call
// returns, what the thread's scheduling is after it, and that everything
// raised is given back, by prioridad(0) or by unloading. Natively on Linux
// and under Wine against the Windows build; raising needs the right to
// (root here), and a row whose raise is refused says so and is skipped.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "loader.hpp"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#endif

#ifndef EXTENSION_DIR
#error "EXTENSION_DIR must name the folder of the extensions under test"
#endif

namespace {

const char* const kDeniedId = "prioridad:denied";
const char* const kBadLevel = "prioridad requires a level, 0 (normal) or 1 (raised): one double.";

host::Extension load(const char* name) {
    std::string why;
    const auto extension = host::loadExtension(std::string(EXTENSION_DIR) + "/" + name + EXTENSION_SUFFIX, why);
    if (!extension) {
        ADD_FAILURE() << why;
        std::abort();
    }
    return *extension;
}

// A call with the inputs given (made and freed here), nlhs outputs.
host::Outcome call(const host::Extension& extension, std::vector<mxArray*> inputs, int nlhs = 1) {
    const std::vector<const mxArray*> arrays(inputs.begin(), inputs.end());
    host::Outcome outcome = host::callExtension(extension, nlhs, arrays);
    for (mxArray* input : inputs) standinDestroyArray(input);
    return outcome;
}

// prioridad(level), or prioridad() for level < 0.
host::Outcome prioridad(const host::Extension& extension, int level) {
    if (level < 0) return call(extension, {});
    return call(extension, {host::makeDoubles({static_cast<double>(level)})});
}

// The scheduling a raise changes, as the system reports it for this thread
// (and process).
#if defined(_WIN32)
struct Scheduling {
    DWORD priorityClass;
    int threadPriority;
    bool operator==(const Scheduling& o) const {
        return priorityClass == o.priorityClass && threadPriority == o.threadPriority;
    }
};
Scheduling schedulingNow() { return {GetPriorityClass(GetCurrentProcess()), GetThreadPriority(GetCurrentThread())}; }
const Scheduling kRaised = {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST};
std::ostream& operator<<(std::ostream& out, const Scheduling& s) {
    return out << "class 0x" << std::hex << s.priorityClass << std::dec << ", thread " << s.threadPriority;
}
#else
struct Scheduling {
    int policy;  // with SCHED_RESET_ON_FORK, if set
    int priority;
    bool operator==(const Scheduling& o) const { return policy == o.policy && priority == o.priority; }
};
Scheduling schedulingNow() {
    sched_param param{};
    sched_getparam(0, &param);
    return {sched_getscheduler(0), param.sched_priority};
}
const Scheduling kRaised = {SCHED_FIFO | SCHED_RESET_ON_FORK, 1};
std::ostream& operator<<(std::ostream& out, const Scheduling& s) {
    return out << "policy 0x" << std::hex << s.policy << std::dec << ", priority " << s.priority;
}
#endif

// Loads prioridad afresh and unloads it at the end, checking that the
// unload gave back what the test found.
class Prioridad : public testing::Test {
protected:
    const Scheduling found = schedulingNow();
    host::Extension extension = load("prioridad");
    bool unloaded = false;

    void TearDown() override {
        if (!unloaded) unload();
    }
    void unload() {
        host::unloadExtension(extension);
        unloaded = true;
        EXPECT_EQ(schedulingNow(), found) << "after unloading";
    }
    // Raises, or skips the test where the system refuses this process (as
    // it should: cleanly, nothing changed).
    void raiseOrSkip() {
        const host::Outcome raised = prioridad(extension, 1);
        if (raised.identifier == kDeniedId) {
            EXPECT_EQ(schedulingNow(), found);
            EXPECT_EQ(prioridad(extension, -1).value, 0.0);
            GTEST_SKIP() << "this process may not raise its priority: " << raised.error;
        }
        ASSERT_EQ(raised.error, "");
        ASSERT_EQ(raised.value, 0.0);
        ASSERT_EQ(schedulingNow(), kRaised);
    }
};

struct Sequence {
    const char* name;
    std::vector<int> levels;      // each call's level, -1 for prioridad()
    std::vector<double> returns;  // what each returns
};

TEST_F(Prioridad, EachSequenceLeavesTheLevelItReturnsAndUnloadingGivesBack) {
    const Sequence sequences[] = {
        {"0 -> 1 -> 0 gives back what was found", {1, 0, -1}, {0, 1, 0}},
        {"1 -> 1 changes nothing", {1, 1, -1}, {0, 1, 1}},
        {"0 -> 0 changes nothing", {0, 0, -1}, {0, 0, 0}},
        {"prioridad() only reads", {-1, 1, -1, -1, 0, -1}, {0, 0, 1, 1, 1, 0}},
        {"raised again after giving back", {1, 0, 1, 0}, {0, 1, 0, 1}},
        {"raised, then unloaded", {1}, {0}},
    };
    raiseOrSkip();
    prioridad(extension, 0);
    unload();
    for (const Sequence& s : sequences) {
        SCOPED_TRACE(s.name);
        extension = load("prioridad");
        unloaded = false;
        for (std::size_t i = 0; i < s.levels.size(); ++i) {
            const host::Outcome outcome = prioridad(extension, s.levels[i]);
            EXPECT_EQ(outcome.error, "") << "call " << i;
            EXPECT_EQ(outcome.value, s.returns[i]) << "call " << i;
            const bool raised = prioridad(extension, -1).value == 1.0;
            EXPECT_EQ(schedulingNow(), raised ? kRaised : found) << "after call " << i;
        }
        unload();
    }
}

TEST_F(Prioridad, RefusesBadCallsAndChangesNothing) {
    struct Refusal {
        const char* name;
        std::vector<mxArray*> inputs;
        int nlhs;
        const char* message;
    };
    const double nan = std::nan("");
    std::vector<Refusal> refusals = {
        {"two inputs", {host::makeDoubles({1}), host::makeDoubles({1})}, 1,
         "prioridad necesita 0 o 1 argumento de entrada."},
        {"two outputs", {host::makeDoubles({1})}, 2, "prioridad requires one output argument."},
        {"empty", {host::makeDoubles({})}, 1, kBadLevel},
        {"NaN", {host::makeDoubles({nan})}, 1, kBadLevel},
        {"0.5", {host::makeDoubles({0.5})}, 1, kBadLevel},
        {"2", {host::makeDoubles({2})}, 1, kBadLevel},
        {"-1", {host::makeDoubles({-1})}, 1, kBadLevel},
        {"[1 0]", {host::makeDoubles({1, 0})}, 1, kBadLevel},
        {"int8", {standinCreateArray(kMxInt8, 1, 1, false)}, 1, kBadLevel},
        {"logical", {standinCreateArray(kMxLogical, 1, 1, false)}, 1, kBadLevel},
    };
    for (Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        const host::Outcome outcome = call(extension, std::move(r.inputs), r.nlhs);
        EXPECT_EQ(outcome.error, r.message);
        EXPECT_EQ(outcome.created, 0u);
        EXPECT_EQ(schedulingNow(), found);
        EXPECT_EQ(prioridad(extension, -1).value, 0.0);
    }
}

// Ctrl+C as MATLAB takes it (libut's flag, set on another thread) still ends
// a wait of the raised thread.
TEST_F(Prioridad, CtrlCStillEndsWaitsAtLevelOne) {
    host::loadLibut();
    const host::LibutCalls libut = host::findLibutCalls();
    ASSERT_NE(libut.setInterruptPending, nullptr);
    raiseOrSkip();
    const host::Extension reloj = load("reloj");
    const double now = call(reloj, {}).value.value_or(0);
    host::unloadExtension(reloj);
    for (const auto& [name, input] : {std::pair<const char*, double>{"espera", 120000.0}, {"hasta", now + 120000.0}}) {
        SCOPED_TRACE(name);
        const host::Extension wait = load(name);
        std::thread user([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            libut.setInterruptPending(true);
        });
        const host::Outcome outcome = call(wait, {host::makeDoubles({input})});
        user.join();
        EXPECT_EQ(outcome.identifier, std::string(name) + ":interrupted");
        libut.setInterruptPending(false);
        host::unloadExtension(wait);
    }
    EXPECT_EQ(schedulingNow(), kRaised);
}

#if !defined(_WIN32)
// Runs check in a child process, which exits with 0 if it holds, 77 to skip
// (with a reason on its standard error), anything else if not.
int inChild(bool (*check)(const host::Extension&), const host::Extension& extension) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) _exit(check(extension) ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

// A refused raise says why, with the identifier, and changes nothing.
bool refusedCleanly(const host::Extension& extension, const char* why) {
    const Scheduling before = schedulingNow();
    const host::Outcome outcome = prioridad(extension, 1);
    const bool ok = outcome.identifier == kDeniedId && outcome.error.find(why) != std::string::npos &&
                    schedulingNow() == before && prioridad(extension, -1).value == 0.0;
    if (!ok) std::fprintf(stderr, "[%s] %s\n", outcome.identifier.c_str(), outcome.error.c_str());
    return ok;
}

TEST_F(Prioridad, ChildProcessesRunAtNormalPriority) {
    raiseOrSkip();
    EXPECT_EQ(inChild([](const host::Extension&) { return sched_getscheduler(0) == SCHED_OTHER; }, extension), 0);
}

TEST_F(Prioridad, RefusedToAUserWithoutTheRight) {
    // As a user with no real-time limit and no privilege: nobody, if we are root.
    EXPECT_EQ(inChild([](const host::Extension& e) {
                  const rlimit none{0, 0};
                  if (setrlimit(RLIMIT_RTPRIO, &none) != 0) return false;
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
                  return refusedCleanly(e, "rtprio");
              }, extension), 0);
}

TEST_F(Prioridad, RefusedWhereRealTimeThrottlingIsOff) {
    // The kernel's setting as prioridad reads it, -1 in a mount namespace of
    // the child's own; the machine's own is left alone.
    const int status = inChild([](const host::Extension& e) {
        char file[] = "/tmp/rt_runtime_XXXXXX";
        const int fd = mkstemp(file);
        const bool written = fd >= 0 && write(fd, "-1\n", 3) == 3;
        if (fd >= 0) close(fd);
        if (!written || unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount(file, "/proc/sys/kernel/sched_rt_runtime_us", nullptr, MS_BIND, nullptr) != 0) {
            unlink(file);
            _exit(77);
        }
        const bool ok = refusedCleanly(e, "throttling is off");
        unlink(file);
        return ok;
    }, extension);
    if (status == 77) GTEST_SKIP() << "no mount namespace of its own for this process (needs root)";
    EXPECT_EQ(status, 0);
}
#endif

}  // namespace
