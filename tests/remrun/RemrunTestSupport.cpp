#include "RemrunTestSupport.h"

namespace remruntest {

void RemrunFixture::SetUp() {
    ASSERT_NE(server_.Port(), 0);
    ASSERT_TRUE(root_.Write("etc/services", root_.Read("etc/services") + "shell " +
                                                std::to_string(server_.Port()) + "/tcp\n"));
}

RemrunResult RemrunFixture::Run(const std::vector<std::string>& arguments,
                                const std::vector<std::string>& environment) {
    std::vector<std::string> fullEnvironment = environment;
    fullEnvironment.push_back("ORU_ROOT=" + root_.Path());
    testsupport::ChildProcess child;
    RemrunResult result;
    if (!child.Start(testsupport::ProgramPath(ORU_BIN_DIR, "remrun"), arguments, fullEnvironment)) {
        ADD_FAILURE() << child.StartError();
        return result;
    }
    result.exitCode = child.WaitExit(120000);
    result.out = child.Stdout();
    result.err = child.Stderr();
    return result;
}

}  // namespace remruntest
