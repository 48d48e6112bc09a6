#include "unit/report_fixture.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <unistd.h>

#include "report/run_log.h"

void ReportFixture::SetUp() {
    ResetFakePlatform();
    oldDir_ = std::filesystem::current_path();
    char pattern[] = "/tmp/nrv-unit-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::filesystem::current_path(dir_);
    console_.str("");
    console_.clear();
    input_.str("");
    input_.clear();
    oldCout_ = std::cout.rdbuf(console_.rdbuf());
    oldCin_ = std::cin.rdbuf(input_.rdbuf());
    std::cin.clear();
}

void ReportFixture::TearDown() {
    CloseRunLog();
    std::cout.rdbuf(oldCout_);
    std::cin.rdbuf(oldCin_);
    std::cin.clear();
    std::cout.clear();
    std::filesystem::current_path(oldDir_);
    std::filesystem::remove_all(dir_);
    EXPECT_EQ(FakeOpenHandleCount(), 0) << "a handle was left open";
    EXPECT_EQ(FakeBadCloseCount(), 0) << "a handle was closed that was not open";
}

void ReportFixture::OpenLog() {
    OpenRunLog();
    FakeCalls().calls.clear();  // what the run does after start-up, alone
}

std::string ReportFixture::RunLogText() const {
    std::ifstream in(dir_ / std::filesystem::path(RunLogName()), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool ReportFixture::RunLogExists() const {
    return !RunLogName().empty() && std::filesystem::exists(dir_ / RunLogName());
}

void ReportFixture::Input(const std::string& text) {
    input_.str(text);
    input_.clear();
    std::cin.clear();
}

std::string ReportFixture::UnreadInput() {
    return std::string(std::istreambuf_iterator<char>(std::cin.rdbuf()), {});
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}
