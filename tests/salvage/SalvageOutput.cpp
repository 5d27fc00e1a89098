#include "SalvageOutput.h"

#include <algorithm>
#include <sstream>

namespace salvagetest {

std::string Mark(int set, int number) {
    return "[" + std::to_string(set) + "." + std::to_string(number) + "]";
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++n;
    }
    return n;
}

std::vector<int> Progress(const std::string& out) {
    std::vector<int> values;
    const std::string mark = Mark(202, 19) + " Progress: ";
    for (auto at = out.find(mark); at != std::string::npos; at = out.find(mark, at + 1)) {
        values.push_back(std::stoi(out.substr(at + mark.size())));
    }
    return values;
}

bool Rising(const std::vector<int>& values) {
    return !values.empty() && std::adjacent_find(values.begin(), values.end(),
                                                 std::greater_equal<int>()) == values.end();
}

std::vector<std::string> TracedCdbs(const std::string& trace) {
    std::vector<std::string> cdbs;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        const auto at = line.find("cdb=");
        if (at != std::string::npos) {
            cdbs.push_back(line.substr(at + 4, line.find(' ', at) - at - 4));
        }
    }
    return cdbs;
}

}  // namespace salvagetest
