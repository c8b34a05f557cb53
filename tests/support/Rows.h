#pragma once
// Table rows as tests of their own: a row struct whose `name` is an
// identifier becomes Suite/Test/name, so one row runs alone with --gtest_filter.
#include <gtest/gtest.h>

#include <string>

inline constexpr auto kRowName = [](const auto& info) { return std::string(info.param.name); };
#define VANTORA_ROWS(Fixture, rows) INSTANTIATE_TEST_SUITE_P(, Fixture, ::testing::ValuesIn(rows), kRowName)
