// Fuzzes dkjournal's walks over the data an array (or a hostile service)
// returns: the controller error log, a drive's log page and its defect
// data, each read from the same input. Every entry, parameter and defect a
// walk accepts must lie inside both the bytes that came and the length the
// data declare.
#include <cstdint>
#include <cstdlib>

#include "cli/dkjournal/JournalLogs.h"

using dkjournal::Bytes;

namespace {

bool Inside(Bytes part, Bytes whole, std::size_t declared) {
    const auto* begin = whole.data();
    const std::size_t limit = declared < whole.size() ? declared : whole.size();
    return part.data() >= begin && part.data() + part.size() <= begin + limit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes bytes(data, size);

    const std::uint32_t logTotal = dkjournal::ControllerLogTotal(bytes);
    for (Bytes entry : dkjournal::ControllerLogEntries(bytes)) {
        const bool sized = (entry[0] == 0 && entry.size() == 18) ||
                           (entry[0] == 1 && entry.size() == 14) ||
                           (entry[0] == 2 && entry.size() == 28);
        if (!sized || !Inside(entry, bytes, logTotal)) {
            std::abort();
        }
    }
    if (dkjournal::ResizedRequest(logTotal, 1024) > dkjournal::kLargestRequest) {
        std::abort();
    }

    const std::uint32_t pageTotal = dkjournal::LogPageTotal(bytes);
    const std::size_t pageLimit = pageTotal < size ? pageTotal : size;
    if (dkjournal::SupportedPages(bytes).size() + 4 > (pageLimit > 4 ? pageLimit : 4)) {
        std::abort();
    }
    // Each parameter takes at least its four header bytes.
    if (4 + 4 * dkjournal::LogParameters(bytes).size() > (pageLimit > 4 ? pageLimit : 4)) {
        std::abort();
    }

    const std::uint32_t defectTotal = dkjournal::DefectDataTotal(bytes);
    const std::size_t defectLimit = defectTotal < size ? defectTotal : size;
    if (4 + 8 * dkjournal::Defects(bytes).size() > (defectLimit > 4 ? defectLimit : 4)) {
        std::abort();
    }
    return 0;
}
