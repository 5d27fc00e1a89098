#include "netmgmt/agent/AgentCatalog.h"

#include "catalog/CatalogFile.h"
#include "catalog/LanguageLibrary.h"
#include "netmgmt/agent/AgentTexts.h"
#include "netmgmt/agent/TextFormat.h"

namespace oruagent {

namespace {

using catalog::LanguageLibrary;

// The family's library for the user's language, else its English library.
std::shared_ptr<catalog::CatalogFile> OpenLibrary(const char* family) {
    const std::string language = LanguageLibrary::LocaleLanguage();
    const std::string base = LanguageLibrary::BaseName(
        LanguageLibrary::LibraryName(family, LanguageLibrary::PrimaryLanguageId(language)));
    const std::string nls = LanguageLibrary::NlsDirectory();
    int error = 0;
    auto file =
        catalog::CatalogFile::Open(LanguageLibrary::CatalogPath(nls, language, base), &error);
    if (file == nullptr) {
        file = catalog::CatalogFile::Open(
            LanguageLibrary::CatalogPath(nls, "en", LanguageLibrary::EnglishBaseName(base)),
            &error);
    }
    return file;
}

}  // namespace

AgentCatalog::~AgentCatalog() = default;

bool AgentCatalog::LoadCatalogDll(CatalogWhich which) {
    if (which == CatalogWhich::kAgent) {
        agent_ = OpenLibrary("orua");
        return agent_ != nullptr;
    }
    server_ = OpenLibrary("orus");
    return server_ != nullptr;
}

bool AgentCatalog::Loaded(CatalogWhich which) const {
    return (which == CatalogWhich::kAgent ? agent_ : server_) != nullptr;
}

void AgentCatalog::Free() {
    agent_.reset();
    server_.reset();
}

std::optional<std::string> AgentCatalog::GetCatalogString(CatalogWhich which, int set, int number,
                                                          bool* missing) const {
    const auto& file = which == CatalogWhich::kAgent ? agent_ : server_;
    char text[kTextBytes] = {};
    const bool found = file != nullptr && file->Lookup(set, number, text, sizeof text);
    if (missing != nullptr) {
        *missing = !found;
    }
    if (!found) {
        const char* missing = which == CatalogWhich::kAgent ? AgentTexts::kAgentNoSuchString
                                                            : AgentTexts::kServerNoSuchString;
        return FormatText(missing, {set, number}, kTextBytes);
    }
    std::string result(text);
    if (which == CatalogWhich::kServer && result.find(AgentTexts::kIgnore) != std::string::npos) {
        return std::nullopt;
    }
    return result;
}

std::string AgentCatalog::AgentText(int number) const {
    return GetCatalogString(CatalogWhich::kAgent, kAgentSet, number).value_or(std::string());
}

}  // namespace oruagent
