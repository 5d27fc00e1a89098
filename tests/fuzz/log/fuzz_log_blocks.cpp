// Fuzzes the walk of a log block, the one definition of a sound record for
// every reader of the service's log. The input is a block (cut or padded to
// 4096 bytes, as a file's block would be read) followed by the block's LRBA
// in its last four bytes. Every record the walk accepts must lie inside the
// block with a length of 60 or more, and every field and payload read of it
// must stay inside the record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "coresys/server/log/LogBlock.h"
#include "coresys/server/log/LogFilter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<unsigned char> block(logfmt::kBlockSize, 0);
    std::uint32_t lrba = 0;
    if (size >= 4) {
        std::memcpy(&lrba, data + size - 4, 4);
        lrba &= ~(logfmt::kBlockSize - 1);
    }
    std::memcpy(block.data(), data, size < block.size() ? size : block.size());
    LogBlockWalk walk(block.data(), lrba);
    LogFilter filter;
    filter.SetSerial("QX0000000001");
    filter.TimeRange(100, 200);
    std::uint32_t previousEnd = 0;
    for (int i = 0; i < walk.Count(); ++i) {
        const std::uint32_t offset = walk.Offset(i);
        LogRecordView record = walk.Record(i);
        if (offset < previousEnd || record.Length() < logfmt::kRecordHeaderSize ||
            offset + record.Length() > logfmt::kBlockSize || record.Lrba() != lrba + offset ||
            walk.IndexOf(offset) != i) {
            std::abort();
        }
        previousEnd = offset + record.Length();
        volatile std::uint32_t sink =
            record.Class() + record.Code() + record.Time() + record.BundleId() + record.BackLink() +
            static_cast<std::uint32_t>(record.Serial().size()) + (filter.Match(record) ? 1u : 0u);
        for (std::uint32_t k = 0; k < 1100; ++k) {
            if (auto word = record.PayloadWord(k)) {
                sink = sink + *word;
            } else if (record.Holds(logfmt::kRecordHeaderSize + 4 * k, 4)) {
                std::abort();
            }
        }
        (void)sink;
    }
    if (walk.Damaged() && walk.DamageOffset() >= logfmt::kBlockSize) {
        std::abort();
    }
    return 0;
}
