#include "tools/trail/TrailRun.h"

#include <ctime>
#include <memory>

#include "catalog/StringCatalog.h"
#include "cli/common/ControllerLogLines.h"
#include "coresys/server/log/LogCatalog.h"
#include "coresys/server/winnt/Service/ServerConfig.h"
#include "platform/Root.h"
#include "tools/trail/DebugMsg.h"
#include "tools/trail/LogPrinter.h"
#include "tools/trail/ScrollConfig.h"
#include "tools/trail/ServerLogRefresh.h"
#include "tools/trail/TrailCommandLine.h"
#include "tools/trail/TrailOutput.h"
#include "tools/trail/TrailTexts.h"

namespace trail {

namespace {

int ThisYear() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    return ::localtime_r(&now, &local) != nullptr ? 1900 + local.tm_year : 1970;
}

struct FreeConfig {
    void operator()(ScrollConfig* config) const { FreeScrollConfig(config); }
};

// For the length of a run the catalog's debug lines go to its output.
class DebugRouting {
  public:
    explicit DebugRouting(TrailOutput& out) {
        SetDebugMsgTarget([&out](std::string_view text) { out.Put(text); });
        LogCatalog::SetDebugSink(&CatalogDebugSink);
    }
    ~DebugRouting() {
        LogCatalog::SetDebugSink(nullptr);
        SetDebugMsgTarget(nullptr);
    }
    DebugRouting(const DebugRouting&) = delete;
    DebugRouting& operator=(const DebugRouting&) = delete;
};

}  // namespace

int RunTrail(const std::vector<std::string>& arguments, std::ostream& outStream,
             std::ostream& errStream, const TrailHooks& hooks) {
    TrailOutput out(outStream);
    TrailOutput err(errStream, &out);

    std::unique_ptr<ScrollConfig, FreeConfig> config(InitScrollConfig(1, nullptr));
    StringCatalog& catalog = *config->catalog;
    // A missing firmware catalog is this program's own complaint.
    StringCatalog firmware(cli::kFirmwareCatalogPath, cli::kFirmwareCatalogLibrary,
                           StringCatalog::Missing::QUIET);
    if (firmware.OpenResult() != 0) {
        err.Put(TrailTexts::kNoCatalogs);
        err.Put('\n');
        return 1;
    }
    std::string registryProblem;
    const std::string serviceDirectory = GetLogDirectory(&registryProblem);

    TrailOptions options;
    const int year = hooks.currentYear != 0 ? hooks.currentYear : ThisYear();
    switch (ParseTrailCommandLine(arguments, year, catalog, err, &options)) {
        case ParseOutcome::kHelp:
            PrintUsage(catalog, err);
            return 0;
        case ParseOutcome::kError:
            PrintShortUsage(catalog, err);
            return 2;
        case ParseOutcome::kRun:
            break;
    }

    if (hooks.refresh) {
        hooks.refresh(catalog, out, err);
    } else {
        RefreshServerLog(catalog, out, err);
    }

    std::string directory;
    if (options.directory) {
        directory = *options.directory;
    } else {
        directory = platform::MapDrivePath(serviceDirectory);
        if (!registryProblem.empty()) {
            err.Put(catalog.GetStringCommonBuf(kTrailSet, T_REGISTRY_UNREADABLE,
                                               registryProblem.c_str(), directory.c_str()));
            err.Put('\n');
        }
    }
    DebugRouting routing(out);
    LogPrinter printer(options, catalog, firmware, out, err);
    return printer.Print(directory);
}

}  // namespace trail
