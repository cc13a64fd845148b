// The extensions as the host sees them: loaded by file name through the
// stand-in host, called with chosen inputs and output counts. The same source
// runs natively against the Linux build and under Wine against the Windows one.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "loader.hpp"
#include "timing/clock.hpp"

#ifndef EXTENSION_DIR
#error "EXTENSION_DIR must name the folder of the extensions under test"
#endif
#ifndef TOOLBOX_FUNCTIONS
#error "TOOLBOX_FUNCTIONS must be the list of cmake/toolbox.cmake: NAME:WORD:WORD..., separated by spaces"
#endif

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// The counter the extensions read, read here too: a reading taken before a
// call is at or before the extension's own start reading, one taken after it
// at or after its end reading.
std::uint64_t counterNow() { return timing::readCounter(); }

// A reading on espera's scale.
double asEnd(std::uint64_t reading) { return timing::countToMsDivideFirst(reading, timing::readFrequency()); }

// The earliest end time espera(ms) may return when called after the reading
// `before`: before plus the wait's whole ticks, trunc((ms * 0.001) *
// frequency), on espera's scale. The conversion never decreases, so a wait
// that ended at or past that reading returns at least this; and as long as
// consecutive readings convert to different doubles (at 1 GHz for about six
// weeks of uptime, far longer at 10 MHz), one that ended a tick early returns
// less.
double earliestEnd(std::uint64_t before, double ms) {
    const double ticks = (ms * 0.001) * timing::u64ToDouble(timing::readFrequency());
    return asEnd(ticks >= 1.0 ? before + static_cast<std::uint64_t>(ticks) : before);
}

// ctest runs host_test a second time as a host without libut's interrupt
// calls (HOST_TEST_WITHOUT_LIBUT=1, the tests named *WithoutLibut* only): on
// Linux libmx then finds a libut that lacks them, on Windows none is loaded.
bool hostWithoutLibut() {
    const char* without = std::getenv("HOST_TEST_WITHOUT_LIBUT");
    return without != nullptr && std::strcmp(without, "1") == 0;
}

// The extension NAME from the folder under test, loaded at its first use and
// kept loaded, after libut as the host has it.
const host::Extension& loaded(const std::string& name) {
    static std::map<std::string, host::Extension> all;
    if (all.empty() && !hostWithoutLibut()) host::loadLibut();
    const auto found = all.find(name);
    if (found != all.end()) return found->second;
    std::string why;
    const std::optional<host::Extension> extension =
        host::loadExtension(std::string(EXTENSION_DIR) + "/" + name + EXTENSION_SUFFIX, why);
    if (!extension) {
        ADD_FAILURE() << why;
        std::abort();
    }
    return all.emplace(name, *extension).first->second;
}

struct Loaded {
    host::Extension reloj, espera, hasta, fecha;
};

const Loaded& extensions() {
    static const Loaded all{loaded("reloj"), loaded("espera"), loaded("hasta"), loaded("fecha")};
    return all;
}

// Each compiled function of the list (cmake/toolbox.cmake), for what every
// one of them shares: a call of it with `inputs` inputs, each 0, is one it
// accepts ("number": one input, a number), and one more input is refused.
struct Listed {
    std::string name;
    int inputs;
    std::vector<double> accepted() const { return std::vector<double>(inputs, 0.0); }
    std::vector<double> oneTooMany() const { return std::vector<double>(inputs + 1, 0.0); }
};

std::vector<Listed> listedFunctions() {
    std::vector<Listed> listed;
    std::istringstream rows(TOOLBOX_FUNCTIONS);
    for (std::string row; rows >> row;) {
        const std::size_t colon = std::min(row.find(':'), row.size());
        const bool readsNumber = (row.substr(colon) + ":").find(":number:") != std::string::npos;
        listed.push_back({row.substr(0, colon), readsNumber ? 1 : 0});
    }
    return listed;
}

// Owns the input arrays of one call.
struct Inputs {
    std::vector<const mxArray*> arrays;
    explicit Inputs(std::vector<mxArray*> made) : arrays(made.begin(), made.end()) {}
    ~Inputs() {
        for (const mxArray* a : arrays) standinDestroyArray(const_cast<mxArray*>(a));
    }
};

using host::EndBy;

host::Outcome call(const host::Extension& extension, int nlhs, std::vector<mxArray*> inputs,
                   EndBy endBy = EndBy::exception) {
    Inputs owned(std::move(inputs));
    return host::callExtension(extension, nlhs, owned.arrays, endBy);
}

double value(const host::Outcome& outcome) {
    EXPECT_EQ(outcome.error, "");
    EXPECT_TRUE(outcome.value.has_value());
    return outcome.value.value_or(std::nan(""));
}

double reloj() { return value(call(extensions().reloj, 1, {})); }

// A reading on reloj's scale, which hasta's deadlines and results are on.
double asTime(std::uint64_t reading) { return timing::countToMsMultiplyFirst(reading, timing::readFrequency()); }

// A call of espera between two counter readings, its input made beforehand
// (making it maps pages, which would put microseconds between our reading
// and the extension's).
struct Timed {
    host::Outcome outcome;
    std::uint64_t before, after;
};

Timed timedCall(const host::Extension& extension, mxArray* input, EndBy endBy = EndBy::exception) {
    Inputs owned({input});
    Timed timed{};
    timed.before = counterNow();
    timed.outcome = host::callExtension(extension, 1, owned.arrays, endBy);
    timed.after = counterNow();
    return timed;
}

Timed timedEspera(mxArray* input, EndBy endBy = EndBy::exception) { return timedCall(extensions().espera, input, endBy); }

// The call returned an end no earlier than ms's whole ticks after the
// reading before it, and no later than the reading after it.
testing::AssertionResult waited(const Timed& timed, double ms) {
    if (!timed.outcome.error.empty()) return testing::AssertionFailure() << "refused: " << timed.outcome.error;
    const double end = timed.outcome.value.value_or(std::nan(""));
    const double earliest = earliestEnd(timed.before, ms);
    if (!(end >= earliest)) return testing::AssertionFailure() << "ended " << (earliest - end) * 1e6 << " ns early";
    if (!(end <= asEnd(timed.after))) return testing::AssertionFailure() << "ended after the call returned";
    return testing::AssertionSuccess();
}

// hasta(deadline) returned a time at or after the deadline, or, for a deadline
// already past at the reading before the call, one within the call; and no
// later than the reading after it.
testing::AssertionResult reached(const Timed& timed, double deadlineMs) {
    if (!timed.outcome.error.empty()) return testing::AssertionFailure() << "refused: " << timed.outcome.error;
    const double end = timed.outcome.value.value_or(std::nan(""));
    const double earliest = std::max(deadlineMs, asTime(timed.before));
    if (!(end >= earliest)) return testing::AssertionFailure() << "ended " << (earliest - end) * 1e6 << " ns early";
    if (!(end <= asTime(timed.after))) return testing::AssertionFailure() << "ended after the call returned";
    return testing::AssertionSuccess();
}

std::string endingName(const testing::TestParamInfo<EndBy>& info) {
    return info.param == EndBy::longjmp ? "longjmp" : "exception";
}

// Refused calls, ended by the error call either way a host may end them.
// After each, both functions still work, ended the same way, and when the
// test is over every array made during it has been freed.
class Refused : public testing::TestWithParam<EndBy> {
protected:
    const std::size_t liveBefore = standinLiveCount();
    void TearDown() override { EXPECT_EQ(standinLiveCount(), liveBefore) << "arrays left over"; }

    host::Outcome refused(const host::Extension& extension, int nlhs, std::vector<mxArray*> inputs) {
        const host::Outcome outcome = call(extension, nlhs, std::move(inputs), GetParam());
        EXPECT_FALSE(outcome.error.empty());
        EXPECT_FALSE(outcome.value.has_value());
        const host::Outcome now = call(extensions().reloj, 1, {}, GetParam());
        const host::Outcome waited = call(extensions().espera, 1, {host::makeDoubles({0.01})}, GetParam());
        EXPECT_GE(value(waited), value(now));
        const host::Outcome until = call(extensions().hasta, 1, {host::makeDoubles({value(now) + 0.01})}, GetParam());
        EXPECT_GE(value(until), value(now) + 0.01);
        return outcome;
    }
};
INSTANTIATE_TEST_SUITE_P(EndedBy, Refused, testing::Values(EndBy::exception, EndBy::longjmp), endingName);

struct CountCase {
    const char* name;
    const host::Extension& extension;
    int nlhs, nrhs;
    const char* message;
};

TEST_P(Refused, WrongCountsBeforeAnythingIsCreated) {
    const char* relojInputs = "reloj necesita 0 argumento de entrada.";
    const char* esperaInputs = "espera necesita 1 argumento de entrada.";
    const char* hastaInputs = "hasta necesita 1 argumento de entrada.";
    const char* fechaInputs = "fecha necesita 0 argumento de entrada.";
    const Loaded& e = extensions();
    const CountCase cases[] = {
        {"reloj_with_an_input", e.reloj, 1, 1, relojInputs},
        {"reloj_both_wrong_gets_input_message", e.reloj, 2, 1, relojInputs},
        {"reloj_two_outputs", e.reloj, 2, 0, "reloj requires one output argument."},
        {"espera_no_input", e.espera, 1, 0, esperaInputs},
        {"espera_two_inputs", e.espera, 1, 2, esperaInputs},
        {"espera_both_wrong_gets_input_message", e.espera, 2, 2, esperaInputs},
        {"espera_two_outputs", e.espera, 2, 1, "espera requires one output argument."},
        {"hasta_no_input", e.hasta, 1, 0, hastaInputs},
        {"hasta_two_inputs", e.hasta, 1, 2, hastaInputs},
        {"hasta_both_wrong_gets_input_message", e.hasta, 2, 2, hastaInputs},
        {"hasta_two_outputs", e.hasta, 2, 1, "hasta requires one output argument."},
        {"fecha_with_an_input", e.fecha, 1, 1, fechaInputs},
        {"fecha_with_an_input_and_no_output", e.fecha, 0, 1, fechaInputs},
        {"fecha_both_wrong_gets_input_message", e.fecha, 5, 2, fechaInputs},
        {"fecha_five_outputs", e.fecha, 5, 0, "fecha returns at most four output arguments."},
    };
    for (const CountCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<mxArray*> inputs;
        for (int i = 0; i < c.nrhs; ++i) inputs.push_back(host::makeDoubles({1.0}));
        const host::Outcome outcome = refused(c.extension, c.nlhs, inputs);
        EXPECT_EQ(outcome.error, c.message);
        EXPECT_EQ(outcome.created, 0u);
    }
    // An empty array is an input all the same.
    EXPECT_EQ(refused(extensions().reloj, 1, {host::makeDoubles({})}).error, relojInputs);
    EXPECT_EQ(refused(extensions().fecha, 1, {host::makeDoubles({})}).error, fechaInputs);
}

std::vector<mxArray*> scalars(const std::vector<double>& values) {
    std::vector<mxArray*> arrays;
    for (double v : values) arrays.push_back(host::makeDoubles({v}));
    return arrays;
}

bool startsWith(const std::string& text, const std::string& start) { return text.rfind(start, 0) == 0; }

// Every function of the list refuses one input too many, and five outputs
// (more than the gateway makes), before it creates anything, each with a
// message of its own; with both wrong, the input message.
TEST_P(Refused, EveryListedFunctionRefusesWrongCountsBeforeCreatingAnything) {
    for (const Listed& f : listedFunctions()) {
        SCOPED_TRACE(f.name);
        const host::Outcome inputs = refused(loaded(f.name), 1, scalars(f.oneTooMany()));
        const host::Outcome both = refused(loaded(f.name), 5, scalars(f.oneTooMany()));
        const host::Outcome outputs = refused(loaded(f.name), 5, scalars(f.accepted()));
        EXPECT_TRUE(startsWith(inputs.error, f.name + " necesita ")) << inputs.error;
        EXPECT_EQ(both.error, inputs.error);
        EXPECT_TRUE(startsWith(outputs.error, f.name + " ") && outputs.error != inputs.error) << outputs.error;
        for (const host::Outcome* o : {&inputs, &both, &outputs}) EXPECT_EQ(o->created, 0u);
    }
}

// A call that asks for no output still gets its first value, in slot 0, as
// the host's ans: not the zero a result is created with, where a call that
// asks for one gives a value other than zero.
TEST(Gateway, EveryListedFunctionFillsSlotZeroWithNoOutputAsked) {
    for (const Listed& f : listedFunctions()) {
        SCOPED_TRACE(f.name);
        const double asked = value(call(loaded(f.name), 1, scalars(f.accepted())));
        const host::Outcome none = call(loaded(f.name), 0, scalars(f.accepted()));
        EXPECT_EQ(none.created, 1u);
        EXPECT_TRUE(value(none) != 0.0 || asked == 0.0) << value(none);
    }
}

double systemMsNow() {
    using namespace std::chrono;
    return duration<double, std::milli>(system_clock::now().time_since_epoch()).count();
}

// fecha with each output count: as many results as asked for (one when none
// is), in order: t within the call on reloj's scale, utc within a second of
// the system clock around the call (a wrong epoch or unit is years or a
// factor of 1000 off), incierto at most half the call, and what the system
// says of its clock (KERNEL32 says nothing: NaN).
TEST(Fecha, EachOutputCountGetsItsResultsInOrder) {
    for (int nlhs = 0; nlhs <= 4; ++nlhs) {
        SCOPED_TRACE(nlhs);
        const double clockBefore = systemMsNow();
        const std::uint64_t before = counterNow();
        const host::Outcome outcome = call(extensions().fecha, nlhs, {});
        const double after = asTime(counterNow()), clockAfter = systemMsNow();
        const std::vector<double>& v = outcome.values;
        EXPECT_EQ(outcome.created, static_cast<std::size_t>(std::max(nlhs, 1)));
        ASSERT_EQ(v.size(), outcome.created);
        EXPECT_TRUE(asTime(before) <= v[0] && v[0] <= after) << v[0];
        EXPECT_TRUE(nlhs < 2 || (clockBefore - 1000 <= v[1] && v[1] <= clockAfter + 1000)) << v[1];
        EXPECT_TRUE(nlhs < 3 || (0 <= v[2] && v[2] <= (after - asTime(before)) / 2)) << v[2];
#if defined(_WIN32)
        EXPECT_TRUE(nlhs < 4 || std::isnan(v[3])) << v[3];
#else
        EXPECT_TRUE(nlhs < 4 || std::isnan(v[3]) || v[3] >= 0) << v[3];  // Inf: not synchronised
#endif
    }
}

TEST(Espera, EndsNoEarlierThanItsWholeTicksAfterAnEarlierReading) {
    // 0.3 ms and 43 ms are 2999.9999999999995 and 430000.00000000006 ticks
    // at 10 MHz: computed another way, one tick fewer or more. An early end
    // shows only when the call reaches its start reading within that many
    // ticks of ours, so each is tried several times.
    for (double ms : {0.0, 1e-4, 0.05, 0.3, 0.5, 1.0, 5.0, 43.0}) {
        SCOPED_TRACE(ms);
        for (int round = 0; round < 10; ++round) EXPECT_TRUE(waited(timedEspera(host::makeDoubles({ms})), ms));
    }
}

struct ArrayCase {
    const char* name;
    std::vector<double> real, imag;
    double atLeastMs;
};

TEST(Espera, OnlyTheFirstRealElementCounts) {
    // The second elements would wait minutes if they were read.
    const ArrayCase cases[] = {
        {"first_of_two", {5, 7}, {}, 5},
        {"first_of_many", {2, 1e5, 1e5}, {}, 2},
        {"real_part_of_complex", {5}, {1e5}, 5},
        {"imaginary_nan_ignored", {0.5}, {std::nan("")}, 0.5},
    };
    for (const ArrayCase& c : cases) {
        SCOPED_TRACE(c.name);
        mxArray* input = standinCreateArray(kMxDouble, 1, c.real.size(), !c.imag.empty());
        std::copy(c.real.begin(), c.real.end(), static_cast<double*>(input->real));
        std::copy(c.imag.begin(), c.imag.end(), static_cast<double*>(input->imag));
        const Timed timed = timedEspera(input);
        EXPECT_TRUE(waited(timed, c.atLeastMs));
        EXPECT_LT(timed.after - timed.before, timing::readFrequency() * 60);
    }
}

struct SparseCase {
    const char* name;
    std::size_t rows, columns;
    std::vector<StandinStored> stored;  // {row, column, value}, from 0
    double waitMs;
};

// A sparse array stores only some elements; its duration is element (1,1),
// zero when that is not stored. Every other stored element, and every slot
// the stand-in leaves unused, holds a value that is refused if read as the
// duration (1e300 ms, NaN): a wrong reading shows as a refusal.
TEST(Espera, SparseDurationIsElementOneOneOrZero) {
    const double x = 1e300;
    const SparseCase cases[] = {
        {"all_zero_1x1", 1, 1, {}, 0},
        {"all_zero_1x3", 1, 3, {}, 0},
        {"all_zero_3x1", 3, 1, {}, 0},
        {"all_zero_100x100", 100, 100, {}, 0},
        {"only_2_1_stored", 2, 1, {{1, 0, x}}, 0},
        {"first_column_empty_like_sparse_0_5", 1, 2, {{0, 1, x}}, 0},
        {"only_1_1_stored", 1, 1, {{0, 0, 2}}, 2},
        {"1_1_stored_among_others", 3, 3, {{2, 2, x}, {1, 0, x}, {0, 0, 1.5}, {0, 1, x}}, 1.5},
        {"1_1_stored_negative", 2, 2, {{0, 0, -4}, {1, 1, x}}, 0},
    };
    for (const SparseCase& c : cases) {
        for (double unused : {x, std::nan("")}) {
            SCOPED_TRACE(std::string(c.name) + (std::isnan(unused) ? ", unused slots NaN" : ", unused slots 1e300"));
            mxArray* input = standinCreateSparse(c.rows, c.columns, c.stored.data(), c.stored.size(), unused);
            EXPECT_TRUE(waited(timedEspera(input), c.waitMs));
            // For hasta, every such value is a deadline long past.
            input = standinCreateSparse(c.rows, c.columns, c.stored.data(), c.stored.size(), unused);
            EXPECT_TRUE(reached(timedCall(extensions().hasta, input), c.waitMs));
        }
    }
}

// A refusal of the input by the function `name`, not of the argument counts.
bool isRefusal(const std::string& name, const std::string& message) {
    return message.rfind(name + " ", 0) == 0 && message.back() == '.' &&
           message != name + " necesita 1 argumento de entrada." && message != name + " requires one output argument.";
}
bool isEsperaRefusal(const std::string& message) { return isRefusal("espera", message); }

struct BadInputCase {
    const char* name;
    MxClass mxClass;
    std::size_t rows, columns;
    bool complex;
};

TEST_P(Refused, InputsWithoutADoubleElementUnread) {
    // The stand-in puts each array's data right before an unreadable page, so
    // reading a smaller element as a double faults. Arrays of exactly eight
    // bytes would read without a fault, as a wrong duration: the class, not
    // the size, must decide.
    const BadInputCase cases[] = {
        {"empty_0x0", kMxDouble, 0, 0, false},        {"empty_0x3", kMxDouble, 0, 3, false},
        {"empty_1x0", kMxDouble, 1, 0, false},        {"empty_3x0", kMxDouble, 3, 0, false},
        {"empty_complex", kMxDouble, 0, 0, true},     {"int8", kMxInt8, 1, 1, false},
        {"uint8", kMxUint8, 1, 1, false},             {"int16", kMxInt16, 1, 1, false},
        {"uint16", kMxUint16, 1, 1, false},           {"int32", kMxInt32, 1, 1, false},
        {"uint32", kMxUint32, 1, 1, false},           {"int64", kMxInt64, 1, 1, false},
        {"uint64", kMxUint64, 1, 1, false},           {"single", kMxSingle, 1, 1, false},
        {"char", kMxChar, 1, 1, false},               {"logical", kMxLogical, 1, 1, false},
        {"cell", kMxCell, 1, 1, false},               {"struct", kMxStruct, 1, 1, false},
        {"complex_int8", kMxInt8, 1, 1, true},        {"complex_single", kMxSingle, 1, 1, true},
        {"int8_eight_bytes", kMxInt8, 1, 8, false},   {"single_eight_bytes", kMxSingle, 2, 1, false},
        {"char_eight_bytes", kMxChar, 1, 4, false},   {"logical_eight_bytes", kMxLogical, 2, 4, false},
        {"int32_many", kMxInt32, 3, 5, false},        {"cell_many", kMxCell, 1, 3, false},
        {"empty_int8", kMxInt8, 0, 0, false},         {"empty_char", kMxChar, 1, 0, false},
        {"empty_logical", kMxLogical, 0, 1, false},   {"empty_cell", kMxCell, 0, 0, false},
        {"empty_struct", kMxStruct, 1, 0, false},     {"empty_single", kMxSingle, 0, 5, false},
    };
    for (const char* name : {"espera", "hasta"}) {
        const host::Extension& extension = std::string(name) == "espera" ? extensions().espera : extensions().hasta;
        for (const BadInputCase& c : cases) {
            SCOPED_TRACE(std::string(name) + ", " + c.name);
            const host::Outcome outcome =
                refused(extension, 1, {standinCreateArray(c.mxClass, c.rows, c.columns, c.complex)});
            EXPECT_TRUE(isRefusal(name, outcome.error)) << outcome.error;
            EXPECT_EQ(outcome.created, 0u);
        }
        // An empty sparse array has room for an element all the same.
        const host::Outcome outcome = refused(extension, 1, {standinCreateSparse(0, 3, nullptr, 0, 5.0)});
        EXPECT_TRUE(isRefusal(name, outcome.error)) << outcome.error;
        EXPECT_EQ(outcome.created, 0u);
    }
}

// These are refused once the result exists: the host frees it.
TEST_P(Refused, EsperaDurationsWithoutADeadlineAndTheCallEnds) {
    for (double ms : {std::nan(""), -std::nan(""), std::numeric_limits<double>::signaling_NaN(), kInf, 1e300,
                      std::numeric_limits<double>::max(), 1e20}) {
        SCOPED_TRACE(ms);
        const host::Outcome outcome = refused(extensions().espera, 1, {host::makeDoubles({ms})});
        EXPECT_TRUE(isEsperaRefusal(outcome.error)) << outcome.error;
    }
}

TEST_P(Refused, HastaDeadlinesItCannotHave) {
    for (double deadline : {std::nan(""), kInf, -kInf, 1e300, std::numeric_limits<double>::max(), 1e30}) {
        SCOPED_TRACE(deadline);
        const host::Outcome outcome = refused(extensions().hasta, 1, {host::makeDoubles({deadline})});
        EXPECT_EQ(outcome.error, "hasta cannot wait until NaN, Inf, -Inf or a time past the counter's last reading.");
    }
}

// Deadlines past (at once, with the present time), near and far, on reloj's
// scale: each reached, never early, whatever the margin learned so far.
TEST(Hasta, EndsAtOrAfterItsDeadlineOnRelojsScale) {
    for (double ahead : {-1e12, -5.0, 0.0, 1e-4, 0.05, 0.5, 1.0, 3.0, 12.0, 30.0}) {
        SCOPED_TRACE(ahead);
        for (int round = 0; round < 5; ++round) {
            mxArray* input = host::makeDoubles({0.0});
            const double deadline = asTime(counterNow()) + ahead;
            *static_cast<double*>(input->real) = deadline;
            const Timed timed = timedCall(extensions().hasta, input);
            EXPECT_TRUE(reached(timed, deadline));
        }
    }
}

TEST(Espera, NegativeDurationsReturnAtOnce) {
    for (double ms : {-3.0, -1e12, -1e300, -kInf}) {
        SCOPED_TRACE(ms);
        const Timed timed = timedEspera(host::makeDoubles({ms}));
        EXPECT_TRUE(waited(timed, 0.0));
        EXPECT_LT(timed.after - timed.before, timing::readFrequency() * 60);
    }
}

const char* const kInterrupted = "espera was interrupted before the end of its wait.";
const char* const kInterruptedId = "espera:interrupted";  // what a script's catch tells it by

// Ctrl+C as MATLAB takes it: the host's interrupt flag, in libut. Each test
// leaves the flag clear and no array behind.
class Interrupt : public testing::TestWithParam<EndBy> {
protected:
    const std::size_t liveBefore = standinLiveCount();
    host::LibutCalls libut{};

    void SetUp() override {
        if (hostWithoutLibut()) GTEST_SKIP() << "the host has no interrupt calls in this run";
        extensions();
        libut = host::findLibutCalls();
        ASSERT_NE(libut.isInterruptPending, nullptr);
        ASSERT_NE(libut.setInterruptPending, nullptr);
        libut.setInterruptPending(false);
    }
    void TearDown() override {
        if (libut.setInterruptPending != nullptr) libut.setInterruptPending(false);
        EXPECT_EQ(standinLiveCount(), liveBefore) << "arrays left over";
    }

    // A call of the extension with the input, during which the user presses
    // Ctrl+C on another thread (if the call is slow to start, the flag is
    // pending when it does: it ends all the same). Prints, and gives, how long
    // after the flag the call ended at most: the time is taken before the
    // other thread starts, so a thread slow to get the processor (valgrind
    // runs one thread at a time) counts against the bound.
    struct Stopped {
        host::Outcome outcome;
        double ms;
    };
    Stopped stoppedByTheUser(const host::Extension& extension, double input) {
        using Clock = std::chrono::steady_clock;
        const std::chrono::milliseconds pressAfter(200);
        const Clock::time_point startedAt = Clock::now();
        std::thread user([&] {
            std::this_thread::sleep_for(pressAfter);
            libut.setInterruptPending(true);
        });
        Stopped stopped{call(extension, 1, {host::makeDoubles({input})}, GetParam()), 0.0};
        const Clock::time_point endedAt = Clock::now();
        user.join();
        stopped.ms = std::chrono::duration<double, std::milli>(endedAt - startedAt - pressAfter).count();
        std::printf("[ measured ] from the flag to the call's end, at most: %.3f ms\n", stopped.ms);
        EXPECT_FALSE(stopped.outcome.value.has_value());
        EXPECT_FALSE(libut.isInterruptPending()) << "the flag would stop the next command too";
        return stopped;
    }
};
INSTANTIATE_TEST_SUITE_P(EndedBy, Interrupt, testing::Values(EndBy::exception, EndBy::longjmp), endingName);

TEST_P(Interrupt, FlagSetDuringALongWaitEndsTheCallAndIsCleared) {
    // Two minutes, longer than the bound below: only the flag ends it in
    // time, and a flag never seen fails the test instead of spinning for hours.
    const Stopped stopped = stoppedByTheUser(extensions().espera, 120000);
    EXPECT_EQ(stopped.outcome.error, kInterrupted);
    EXPECT_EQ(stopped.outcome.identifier, kInterruptedId);
    // The wait asks about once a millisecond; a generous bound, for a loaded
    // machine or valgrind.
    EXPECT_LT(stopped.ms, 60000.0);
    // And the next calls run as usual.
    EXPECT_TRUE(waited(timedEspera(host::makeDoubles({2.0}), GetParam()), 2.0));
}

// hasta sleeps most of a long wait: the flag ends it there too, within the
// 50 ms of one sleep and its wakeup (printed; bounded only loosely here).
TEST_P(Interrupt, FlagSetWhileHastaSleepsEndsTheCallAndIsCleared) {
    const Stopped stopped = stoppedByTheUser(extensions().hasta, reloj() + 120000);
    EXPECT_EQ(stopped.outcome.error, "hasta was interrupted before the end of its wait.");
    EXPECT_EQ(stopped.outcome.identifier, "hasta:interrupted");
    EXPECT_LT(stopped.ms, 60000.0);
    const double deadline = reloj() + 2.0;
    EXPECT_TRUE(reached(timedCall(extensions().hasta, host::makeDoubles({deadline}), GetParam()), deadline));
}

struct PendingCase {
    const char* name;
    double ms;
    bool interrupted;
};

TEST_P(Interrupt, FlagPendingBeforeTheCall) {
    // A wait that would ask ends at once; one of a millisecond or less never
    // asks and runs to its end, leaving the flag to the host, as does a call
    // with nothing to wait for or refused.
    const PendingCase cases[] = {
        {"no_wait", 0, false},
        {"negative", -5, false},
        {"tenth_of_a_millisecond", 0.1, false},
        {"half_a_millisecond", 0.5, false},
        {"three_milliseconds", 3, true},
        {"hours", 1e7, true},
        {"nan_refused", std::nan(""), false},
    };
    for (const PendingCase& c : cases) {
        SCOPED_TRACE(c.name);
        libut.setInterruptPending(true);
        const Timed timed = timedEspera(host::makeDoubles({c.ms}), GetParam());
        const std::string& error = timed.outcome.error;
        if (c.interrupted) {
            EXPECT_EQ(error, kInterrupted);
            EXPECT_EQ(timed.outcome.identifier, kInterruptedId);
            EXPECT_FALSE(libut.isInterruptPending());
        } else if (std::isnan(c.ms)) {
            EXPECT_TRUE(isEsperaRefusal(error) && error != kInterrupted) << error;
            EXPECT_EQ(timed.outcome.identifier, "");
            EXPECT_TRUE(libut.isInterruptPending());
        } else {
            EXPECT_TRUE(waited(timed, c.ms));
            EXPECT_TRUE(libut.isInterruptPending());
        }
    }
}

// A deadline past, or refused, leaves a pending flag to the host; a wait of
// 30 ms sleeps or spins long enough to ask, and ends at once. (Whether a
// nearer one asks depends on the margin learned so far.)
TEST_P(Interrupt, FlagPendingBeforeHasta) {
    const PendingCase cases[] = {
        {"past", -5, false},
        {"thirty_milliseconds_ahead", 30, true},
        {"nan_refused", std::nan(""), false},
    };
    for (const PendingCase& c : cases) {
        SCOPED_TRACE(c.name);
        libut.setInterruptPending(true);
        const double deadline = reloj() + c.ms;
        const Timed timed = timedCall(extensions().hasta, host::makeDoubles({deadline}), GetParam());
        if (c.interrupted) {
            EXPECT_EQ(timed.outcome.error, "hasta was interrupted before the end of its wait.");
            EXPECT_EQ(timed.outcome.identifier, "hasta:interrupted");
            EXPECT_FALSE(libut.isInterruptPending());
            continue;
        }
        if (std::isnan(c.ms)) {
            EXPECT_TRUE(isRefusal("hasta", timed.outcome.error)) << timed.outcome.error;
        } else {
            EXPECT_TRUE(reached(timed, deadline));
        }
        EXPECT_TRUE(libut.isInterruptPending());
    }
}

// A MATLAB without libut's interrupt calls: espera and hasta load, find none,
// and waits that would ask run to their end.
TEST(InterruptWithoutLibut, WaitsRunToTheirEnd) {
    if (!hostWithoutLibut()) GTEST_SKIP() << "run by ctest as host_test_without_libut";
    extensions();
    const host::LibutCalls libut = host::findLibutCalls();
    ASSERT_EQ(libut.isInterruptPending, nullptr);
    ASSERT_EQ(libut.setInterruptPending, nullptr);
    for (double ms : {0.5, 3.0, 20.0}) {
        SCOPED_TRACE(ms);
        EXPECT_TRUE(waited(timedEspera(host::makeDoubles({ms})), ms));
        const double deadline = reloj() + ms;
        EXPECT_TRUE(reached(timedCall(extensions().hasta, host::makeDoubles({deadline})), deadline));
    }
}

class Concurrency : public testing::TestWithParam<EndBy> {};
INSTANTIATE_TEST_SUITE_P(EndedBy, Concurrency, testing::Values(EndBy::exception, EndBy::longjmp), endingName);

TEST_P(Concurrency, CallsAndRefusalsFromManyThreadsAtOnce) {
    extensions();  // loaded before the threads start, as the host does
    const EndBy endBy = GetParam();
    // More threads than cores, so waits are preempted mid-spin: each must still
    // end no earlier than its own deadline, with its own result, and a refused
    // class must create nothing on its thread.
    std::vector<std::thread> threads;
    std::vector<int> failures(16, 0);
    for (std::size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([t, endBy, &failures] {
            for (int i = 0; i < 20; ++i) {
                const double ms = 0.1 * static_cast<double>(1 + (t + i) % 5);
                const Timed timed = timedEspera(host::makeDoubles({ms}), endBy);
                if (!waited(timed, ms) || timed.outcome.created != 1) ++failures[t];
                // hasta's waits share the margin they learn.
                const double deadline = asTime(counterNow()) + ms;
                if (!reached(timedCall(extensions().hasta, host::makeDoubles({deadline}), endBy), deadline)) ++failures[t];
                const host::Outcome nan = call(extensions().espera, 1, {host::makeDoubles({std::nan("")})}, endBy);
                const host::Outcome int8 =
                    call(extensions().espera, 1, {standinCreateArray(kMxInt8, 1, 1, false)}, endBy);
                if (!isEsperaRefusal(nan.error) || !isEsperaRefusal(int8.error) || int8.created != 0) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < failures.size(); ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
}

namespace fs = std::filesystem;

// A folder such as users keep extensions in, with spaces, accented letters
// and other scripts in its name, holding copies of the extensions under
// test, each function of the list. The name is made here from UTF-8, not passed in from outside, so that
// no locale converts it on the way; it goes to the loader as UTF-8.
class FolderOfManyScripts {
public:
    FolderOfManyScripts() {
        std::random_device random;
        const std::string name = u8"mis extensiones ñandú Ärger Время 計時 " + std::to_string(random());
        folder_ = fs::temp_directory_path() / fs::u8path(name);
        fs::create_directories(folder_);
        for (const Listed& function : listedFunctions()) {
            const std::string file = function.name + EXTENSION_SUFFIX;
            fs::copy_file(fs::u8path(EXTENSION_DIR) / file, folder_ / file);
        }
    }
    ~FolderOfManyScripts() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    std::string extension(const std::string& function) const {
        return (folder_ / (function + EXTENSION_SUFFIX)).u8string();
    }

private:
    fs::path folder_;
};

// 300 rounds; fewer under valgrind (HOST_TEST_RELOAD_ROUNDS, set where CTest
// runs it there), where each costs far more and a leak or a bad access shows
// in one round as well as in many.
int reloadRounds() {
    const char* rounds = std::getenv("HOST_TEST_RELOAD_ROUNDS");
    return rounds != nullptr && *rounds != '\0' ? std::atoi(rounds) : 300;
}

// As a host clears and reloads extensions: load from the folder above, read
// the release stamp, call, have calls refused (one input too many; for a
// function that reads a number, NaN: espera and hasta refuse it once their
// result exists), unload; again and again, with the other ending each round,
// for each function of the list. Each time the extension must start afresh
// and be gone afterwards.
TEST(Loading, LoadCallAndUnloadAgainAndAgainFromAFolderOfManyScripts) {
    const FolderOfManyScripts folder;
    const std::size_t liveBefore = standinLiveCount();
    const std::vector<Listed> listed = listedFunctions();
    for (int round = 0; round < reloadRounds(); ++round) {
        const EndBy endBy = round % 2 == 0 ? EndBy::exception : EndBy::longjmp;
        for (const Listed& f : listed) {
            SCOPED_TRACE(f.name + ", round " + std::to_string(round));
            const std::string path = folder.extension(f.name);
            ASSERT_FALSE(host::isLibraryLoaded(path));
            std::string why;
            const std::optional<host::Extension> extension = host::loadExtension(path, why);
            ASSERT_TRUE(extension) << why;
            ASSERT_TRUE(host::isLibraryLoaded(path));
            const host::ApiVersion stamp = host::requiredApiVersion(*extension);
            EXPECT_EQ(stamp.first, 0x2017Bu);  // release 2017b, in hexadecimal digits
            EXPECT_EQ(stamp.second, 0u);
            value(call(*extension, 1, scalars(f.accepted()), endBy));
            std::vector<std::vector<double>> refusedInputs = {f.oneTooMany()};
            if (f.inputs == 1) refusedInputs.push_back({std::nan("")});
            for (const std::vector<double>& inputs : refusedInputs) {
                const host::Outcome refusal = call(*extension, 1, scalars(inputs), endBy);
                EXPECT_TRUE(startsWith(refusal.error, f.name + " ")) << refusal.error;
                EXPECT_FALSE(refusal.value.has_value());
            }
            host::unloadExtension(*extension);
        }
    }
    for (const Listed& f : listed) EXPECT_FALSE(host::isLibraryLoaded(folder.extension(f.name))) << f.name;
    EXPECT_EQ(standinLiveCount(), liveBefore);
}

}  // namespace
