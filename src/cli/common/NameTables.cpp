#include "cli/common/NameTables.h"

#include "cli/common/CliConfig.h"
#include "cli/common/CliTexts.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/OruErrors.h"

namespace {

// Set 9 items of the words and of the texts that show unknown values.
constexpr int kUnknownErrorCodeItem = 55;
constexpr int kUnknownQualifierItem = 57;
constexpr int kUnknownKindItem = 58;
constexpr int kUnknownListStatusItem = 59;
constexpr int kUnknownModuleItem = 60;
constexpr int kUnknownSourceItem = 61;
constexpr int kUnknownClassItem = 75;
constexpr int kFirstSourceItem = 81;    // sources 1..6
constexpr int kFirstSenseKeyItem = 94;  // keys 0..7
constexpr int kUnknownSenseKeyItem = 104;
constexpr int kFirstSessionItem = 321;  // statuses 0..11
constexpr int kUnknownSessionItem = 340;

std::string NameOr(const char* name, int unknownItem, std::uint32_t value) {
    return name != nullptr ? std::string(name) : CliText(kCliTextSet, unknownItem, value);
}

}  // namespace

std::string ErrorCodeText(std::uint32_t code) {
    return NameOr(ErrorCodeName(code), kUnknownErrorCodeItem, code);
}

std::string QualifierText(std::uint32_t qualifier) {
    return NameOr(QualifierName(qualifier), kUnknownQualifierItem, qualifier);
}

std::string ModuleIdText(std::uint32_t moduleId) {
    return NameOr(ModuleIdName(moduleId), kUnknownModuleItem, moduleId);
}

std::string MessageKindText(std::uint32_t kind) {
    return NameOr(MessageKindName(kind), kUnknownKindItem, kind);
}

std::string ListStatusText(std::int32_t status) {
    switch (status) {
        case 1:
            return CliText(kCliTextSet, 261);
        case 4:
            return CliText(kCliTextSet, 264);
        case 5:
            return CliText(kCliTextSet, 265);
        default:
            break;
    }
    constexpr int count = sizeof(cli::CliTexts::kListStatusNames) / sizeof(const char*);
    if (status >= 0 && status < count && cli::CliTexts::kListStatusNames[status] != nullptr) {
        return cli::CliTexts::kListStatusNames[status];
    }
    return CliText(kCliTextSet, kUnknownListStatusItem, status);
}

std::string SessionStatusText(std::int32_t status) {
    if (status >= 0 && status <= 11) {
        return CliText(kCliTextSet, kFirstSessionItem + status);
    }
    return CliText(kCliTextSet, kUnknownSessionItem, status);
}

std::string ErrorClassText(std::uint32_t errorClass) {
    static constexpr int kItems[] = {65, 66, 72, 67, 68, 69, 70, 71};
    if (errorClass < sizeof(kItems) / sizeof(kItems[0])) {
        return CliText(kCliTextSet, kItems[errorClass]);
    }
    return CliText(kCliTextSet, kUnknownClassItem, errorClass);
}

std::string ErrorSourceText(std::uint32_t source) {
    if (source >= 1 && source <= 6) {
        return CliText(kCliTextSet, kFirstSourceItem + static_cast<int>(source) - 1);
    }
    return CliText(kCliTextSet, kUnknownSourceItem, source);
}

std::string SenseKeyText(std::uint32_t senseKey) {
    if (senseKey <= 7) {
        return CliText(kCliTextSet, kFirstSenseKeyItem + static_cast<int>(senseKey));
    }
    if (senseKey == 11) {
        return CliText(kCliTextSet, 102);
    }
    if (senseKey == 14) {
        return CliText(kCliTextSet, 103);
    }
    return CliText(kCliTextSet, kUnknownSenseKeyItem);
}
