#pragma once
// Table rows as tests of their own: a row struct with a `name` becomes
// Suite/Test/name, so one row runs alone with --gtest_filter.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

inline std::string RowName(const char* name) {
    std::string out(name);
    for (char& c : out)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return out;
}

#define VANTORA_ROWS(Fixture, rows)                                \
    INSTANTIATE_TEST_SUITE_P(, Fixture, ::testing::ValuesIn(rows), \
                             [](const auto& info) { return RowName(info.param.name); })
