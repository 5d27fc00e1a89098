#include "CatalogTestTree.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {
const char* const kVariables[] = {"LC_ALL", "LC_MESSAGES", "LANG", "ORU_NLSPATH"};
}

CatalogTestTree::CatalogTestTree() {
    std::string pattern = (fs::temp_directory_path() / "oru-nls-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp " << pattern;
    }
    root_ = pattern;
    for (const char* name : kVariables) {
        if (const char* value = std::getenv(name)) {
            saved_.emplace_back(name, value);
        } else {
            unset_.emplace_back(name);
        }
    }
}

CatalogTestTree::~CatalogTestTree() {
    for (const auto& [name, value] : saved_) {
        ::setenv(name.c_str(), value.c_str(), 1);
    }
    for (const auto& name : unset_) {
        ::unsetenv(name.c_str());
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string CatalogTestTree::CatalogFile(const std::string& lang, const std::string& base) const {
    fs::create_directories(fs::path(root_) / lang);
    return (fs::path(root_) / lang / (base + ".cat")).string();
}

void CatalogTestTree::Compile(const std::string& lang, const std::string& base,
                              const std::string& msgSource) {
    std::string source = root_ + "/" + lang + "-" + base + ".msg";
    std::ofstream(source) << msgSource;
    std::string target = CatalogFile(lang, base);
    const char* argv[] = {ORU_GENCAT, target.c_str(), source.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(::posix_spawn(&pid, ORU_GENCAT, nullptr, nullptr, const_cast<char**>(argv), environ),
              0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "gencat " << source;
    fs::remove(source);
}

void CatalogTestTree::CopyBuilt(const std::string& lang, const std::string& base) {
    fs::copy_file(fs::path(ORU_NLS_DIR) / lang / (base + ".cat"), CatalogFile(lang, base),
                  fs::copy_options::overwrite_existing);
}

void CatalogTestTree::WriteRaw(const std::string& lang, const std::string& base,
                               const std::string& bytes) {
    std::ofstream(CatalogFile(lang, base), std::ios::binary) << bytes;
}

std::string CatalogTestTree::Read(const std::string& lang, const std::string& base) const {
    std::ifstream in(fs::path(root_) / lang / (base + ".cat"), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void CatalogTestTree::Use() const {
    SetVariable("ORU_NLSPATH", root_.c_str());
}

void CatalogTestTree::SetLanguage(const char* lang) {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_MESSAGES");
    SetVariable("LANG", lang);
}

void CatalogTestTree::SetVariable(const char* name, const char* value) {
    if (value == nullptr) {
        ::unsetenv(name);
    } else {
        ::setenv(name, value, 1);
    }
}
