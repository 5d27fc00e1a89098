#include "CliTestSupport.h"

#include <cstdlib>

#include "cli/common/CliConfig.h"
#include "cli/common/ProgramMessages.h"

void CliTest::SetUp() {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    ::setenv("LANG", "xx", 1);
    ::setenv("ORU_NLSPATH", ORU_NLS_DIR, 1);
    ASSERT_NE(InitCliConfig(0, nullptr), nullptr);
    ASSERT_EQ(GetCliCatalog().OpenResult(), 0) << "no catalog under " << ORU_NLS_DIR;
    Usage::Set({"usage line one", "usage line two"});
}

void CliTest::TearDown() {
    ReleaseCliConfig();
}

std::string CliTest::Mark(int set, int number) {
    return "[" + std::to_string(set) + "." + std::to_string(number) + "]";
}

std::vector<char*> CliTest::Argv(std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return argv;
}
