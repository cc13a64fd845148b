// mexhost's command line: which arguments are numbers, and how arguments
// become calls. The same source runs natively and under Wine, whose C
// runtime's strtod is the one that reads the numbers there.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "arguments.hpp"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");

struct NumberCase {
    const char* name;
    std::string argument;
    std::optional<double> number;  // nothing: refused
};

TEST(Arguments, NumbersAreWhatStrtodReadsInFull) {
    const NumberCase cases[] = {
        {"integer", "5", 5.0},
        {"negative", "-3", -3.0},
        {"plus_sign", "+7", 7.0},
        {"fraction", "2.5", 2.5},
        {"leading_dot", ".5", 0.5},
        {"trailing_dot", "5.", 5.0},
        {"exponent", "2.5e-3", 2.5e-3},
        {"capital_exponent", "1E3", 1000.0},
        {"negative_zero", "-0", -0.0},
        {"hex_float", "0x1p-4", 0.0625},
        {"hex_float_capitals", "0X1.8P1", 3.0},
        {"inf", "inf", kInf},
        {"minus_inf", "-inf", -kInf},
        {"infinity_capitals", "INFINITY", kInf},
        {"nan", "nan", kNaN},
        {"nan_capitals", "NaN", kNaN},
        {"nan_with_payload", "nan(1)", kNaN},
        {"overflow_is_inf", "1e999", kInf},
        {"leading_space_skipped", " 5", 5.0},
        {"empty", "", std::nullopt},
        {"word", "abc", std::nullopt},
        {"unit_after_number", "5ms", std::nullopt},
        {"trailing_space", "5 ", std::nullopt},
        {"sign_only", "-", std::nullopt},
        {"dot_only", ".", std::nullopt},
        {"exponent_without_digits", "1e", std::nullopt},
        {"decimal_comma", "2,5", std::nullopt},
        {"separator", ",", std::nullopt},
        {"hex_prefix_only", "0x", std::nullopt},
        {"inf_with_junk", "infx", std::nullopt},
        {"unclosed_nan_payload", "nan(", std::nullopt},
        {"embedded_nul", std::string("5\0" "9", 3), std::nullopt},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<double> got = host::parseNumber(c.argument);
        ASSERT_EQ(got.has_value(), c.number.has_value());
        if (!got) continue;
        if (std::isnan(*c.number)) {
            EXPECT_TRUE(std::isnan(*got)) << *got;
        } else {
            EXPECT_EQ(*got, *c.number);
            EXPECT_EQ(std::signbit(*got), std::signbit(*c.number));
        }
    }
}

struct CallsCase {
    const char* name;
    std::vector<std::string> arguments;
    std::vector<host::Call> calls;  // empty: refused
    std::string why;                // what the refusal says, in part
};

TEST(Arguments, CallsAreSeparatedByAComma) {
    const std::string noExtension = "names no extension";
    const CallsCase cases[] = {
        {"one_call_no_inputs", {"reloj.mexa64"}, {{"reloj.mexa64", {}}}, ""},
        {"one_call_inputs", {"espera.mexa64", "5", "-inf"}, {{"espera.mexa64", {5.0, -kInf}}}, ""},
        {"two_calls", {"reloj.mexa64", ",", "espera.mexa64", "5"},
         {{"reloj.mexa64", {}}, {"espera.mexa64", {5.0}}}, ""},
        {"same_extension_twice", {"e", "1", ",", "e", "2"}, {{"e", {1.0}}, {"e", {2.0}}}, ""},
        {"no_arguments", {}, {}, noExtension},
        {"separator_first", {",", "e"}, {}, noExtension},
        {"separator_last", {"e", "1", ","}, {}, noExtension},
        {"two_separators", {"e", ",", ",", "e"}, {}, noExtension},
        {"word_input", {"e", "abc"}, {}, "input \"abc\" to e is not a number"},
        {"junk_in_second_call", {"r", ",", "e", "5ms"}, {}, "input \"5ms\" to e is not a number"},
        {"empty_input", {"e", ""}, {}, "input \"\" to e is not a number"},
        {"comma_inside_argument", {"r", ",e"}, {}, "input \",e\" to r is not a number"},
    };
    for (const CallsCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string why;
        const std::optional<std::vector<host::Call>> calls = host::parseCalls(c.arguments, why);
        if (c.calls.empty()) {
            EXPECT_FALSE(calls.has_value());
            EXPECT_NE(why.find(c.why), std::string::npos) << why;
            continue;
        }
        ASSERT_TRUE(calls.has_value()) << why;
        ASSERT_EQ(calls->size(), c.calls.size());
        for (std::size_t i = 0; i < c.calls.size(); ++i) {
            EXPECT_EQ((*calls)[i].extension, c.calls[i].extension);
            EXPECT_EQ((*calls)[i].inputs, c.calls[i].inputs);
        }
    }
}

}  // namespace
