// Every prefix of every golden vector must fail to decode cleanly: no read
// past the received bytes (the address checker watches an exactly sized
// copy), no allocation from an unchecked count, and a failed buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "RecordBytes.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/CommandInProgressArray.h"
#include "coresys/common/CommandResultsArray.h"
#include "coresys/common/EventList.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/PerfMetric.h"
#include "coresys/common/PerfRecs.h"

namespace {

// Runs decode over every proper prefix of bytes; each must fail.
void EveryPrefixFails(const ByteVector& bytes, std::uint32_t version,
                      const std::function<bool(CodedBuff&)>& decode) {
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        std::unique_ptr<unsigned char[]> exact(new unsigned char[n == 0 ? 1 : n]);
        if (n != 0) {
            std::memcpy(exact.get(), bytes.data(), n);
        }
        CodedBuff buff;
        buff.SetupDecode(exact.get(), static_cast<std::uint32_t>(n), version);
        const bool ok = decode(buff);
        EXPECT_FALSE(ok) << "prefix of " << n << " bytes decoded";
        EXPECT_TRUE(buff.Failed()) << "prefix of " << n << " bytes";
        EXPECT_LE(buff.position, n);
    }
}

template <typename Record>
std::function<bool(CodedBuff&)> DecodeInto() {
    return [](CodedBuff& buff) {
        Record record;
        record.Decode(buff);
        return !buff.Failed();
    };
}

TEST(Truncation, StateInBothVersions) {
    for (std::uint32_t version : {3u, 4u}) {
        DiskArrayState kept = GoldenState();
        const ByteVector before = EncodeToBytes(kept, version);
        EveryPrefixFails(GoldenStateBytes(version), version, [&kept](CodedBuff& buff) {
            kept.Decode(buff);
            return !buff.Failed();
        });
        EXPECT_EQ(EncodeToBytes(kept, version), before);  // untouched by every failure
    }
}

TEST(Truncation, EventListsInBothVersions) {
    for (std::uint32_t version : {3u, 4u}) {
        EveryPrefixFails(GoldenEventBytes(version), version, [](CodedBuff& buff) {
            DiskArrayState state = GoldenState();
            OruServerState server;
            EventList list;
            return list.DecodeAndApply(buff, state, server);
        });
    }
}

TEST(Truncation, CommandLists) {
    EveryPrefixFails(GoldenResultsBytes(), 4, DecodeInto<CommandResultsArray>());
    EveryPrefixFails(GoldenInProgressBytes(), 4, DecodeInto<CommandInProgressArray>());
    Bytes server;
    server.Raw(GoldenResultsBytes()).Raw(GoldenInProgressBytes());
    EveryPrefixFails(server.Get(), 4, DecodeInto<OruServerState>());
}

TEST(Truncation, PerfRecords) {
    EveryPrefixFails(GoldenPerfMetricBytes(), 4, DecodeInto<PerfMetric>());
    EveryPrefixFails(GoldenPerfRecsBytes(), 4, DecodeInto<PerfRecs>());
}

TEST(Truncation, WholeVectorsDecodeAndUseEveryByte) {
    struct Case {
        ByteVector bytes;
        std::function<bool(CodedBuff&)> decode;
    };
    const Case cases[] = {
        {GoldenResultsBytes(), DecodeInto<CommandResultsArray>()},
        {GoldenInProgressBytes(), DecodeInto<CommandInProgressArray>()},
        {GoldenPerfMetricBytes(), DecodeInto<PerfMetric>()},
        {GoldenPerfRecsBytes(), DecodeInto<PerfRecs>()},
        {GoldenStateBytes(4), DecodeInto<DiskArrayState>()},
    };
    for (const Case& c : cases) {
        ByteVector copy = c.bytes;
        CodedBuff buff;
        buff.SetupDecode(copy.data(), static_cast<std::uint32_t>(copy.size()), 4);
        EXPECT_TRUE(c.decode(buff));
        EXPECT_EQ(buff.position, copy.size());
    }
}

}  // namespace
