#include "ProgramRun.h"

#include <sstream>

namespace clitest {

bool StartProgram(testsupport::ChildProcess& process, const testsupport::FreshRoot& root,
                  const std::string& program, const std::vector<std::string>& arguments,
                  const std::vector<std::string>& environment) {
    std::vector<std::string> env = {"ORU_ROOT=" + root.Path(),
                                    "ORUHOST=127.0.0.1",
                                    "LC_ALL",
                                    "LC_MESSAGES",
                                    "LANG=xx",
                                    std::string("ORU_NLSPATH=") + ORU_NLS_DIR,
                                    "ORU_TIME_SCALE"};
    env.insert(env.end(), environment.begin(), environment.end());
    return process.Start(testsupport::ProgramPath(ORU_BIN_DIR, program), arguments, env);
}

ProgramResult FinishProgram(testsupport::ChildProcess& process) {
    return testsupport::FinishRun(process, kRunLimitMs);
}

ProgramResult RunProgram(const testsupport::FreshRoot& root, const std::string& program,
                         const std::vector<std::string>& arguments,
                         const std::vector<std::string>& environment) {
    testsupport::ChildProcess process;
    if (!StartProgram(process, root, program, arguments, environment)) {
        ProgramResult result;
        result.err = process.StartError();
        return result;
    }
    return FinishProgram(process);
}

std::string Mark(int set, int number) {
    return "[" + std::to_string(set) + "." + std::to_string(number) + "]";
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    std::string field;
    while (std::getline(in, field, ':')) {
        fields.push_back(field);
    }
    return fields;
}

}  // namespace clitest
