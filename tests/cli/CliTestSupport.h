// A command-line library set up as a program sets it up, with the
// pseudo-language catalog of the build tree: every text starts with
// "[<set>.<number>] ", so the tests match texts by set and number.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

class CliTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The "[set.number]" mark of a catalog text.
    static std::string Mark(int set, int number);
    // An argument vector over strings that outlive it.
    static std::vector<char*> Argv(std::vector<std::string>& arguments);
};
