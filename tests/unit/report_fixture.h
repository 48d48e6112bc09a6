// Test fixture: a fresh fake platform, the console captured, standard input
// scripted, and a working directory of its own for the run log.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "fake/fake_platform.h"

class ReportFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Opens the run log in the test's own directory, as start-up does; the
    // call log then starts empty.
    void OpenLog();
    // What the console received so far.
    std::string Console() const { return console_.str(); }
    // The run log's bytes as they are on disk now ("" if there is no file).
    std::string RunLogText() const;
    bool RunLogExists() const;
    // Feeds standard input.
    void Input(const std::string& text);
    // Bytes of standard input not read yet.
    std::string UnreadInput();

    std::filesystem::path dir_;

private:
    std::filesystem::path oldDir_;
    std::ostringstream console_;
    std::istringstream input_;
    std::streambuf* oldCout_ = nullptr;
    std::streambuf* oldCin_ = nullptr;
};

// Joins lines with "\n" after each.
std::string Lines(std::initializer_list<const char*> lines);
