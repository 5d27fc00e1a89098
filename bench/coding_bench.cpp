// Value coding of the protocol against the C library's XDR routines.
//
// Two workloads: a full version-4 state reply (2 controllers, 8 LUNs, 12
// drive slots, 6 missing-drive entries, a few commands in progress) and a
// list of 1000 drive-diagnostic command results. Each is coded by our
// records and, field for field in the same order, by xdr_u_int/xdr_opaque
// over an xdrmem stream. Both sides code into a buffer that already has its
// size, and decode into fresh records, so the figures compare the coders and
// not the allocator. The whole-message runs add what a real send costs:
// the message's own buffer set-up and the hand-over of the bytes.
//
//   build/release/bin/coding_bench
#include <benchmark/benchmark.h>
#include <rpc/xdr.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "coresys/common/CodedBuff.h"
#include "coresys/common/CommandInProgress.h"
#include "coresys/common/DiagCommandResults.h"
#include "coresys/common/DiskArrayState.h"
#include "coresys/common/OruServerState.h"
#include "coresys/common/ReturnMsgs.h"

namespace {

void Fill(char* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    std::memcpy(field, text, std::min(width - 1, std::strlen(text)));
}

DiskArrayState MakeState() {
    DiskArrayState s;
    for (std::uint32_t c = 0; c < 2; ++c) {
        ControllerInfo info;
        info.active = c == 0;
        Fill(info.serialNumber, sizeof info.serialNumber, "CTLA00000001");
        Fill(info.pairedSerialNumber, sizeof info.pairedSerialNumber, "CTLB00000002");
        Fill(info.vendor, sizeof info.vendor, "STROVANE");
        Fill(info.productId, sizeof info.productId, "RAID CTL 5");
        Fill(info.productRev, sizeof info.productRev, "0412");
        Fill(info.fwRev, sizeof info.fwRev, "FW 4.12");
        Fill(info.mfgProdCode, sizeof info.mfgProdCode, "MPC-77");
        info.controllerStatus = 1;
        info.batteryStatus = {1};
        info.dramStatus = {1, 1};
        info.nvramStatus = {1};
        s.controllers.push_back(info);
    }
    s.subsystemState = SubsystemStateInfo();
    s.modeSubsystem = ModeSubsystemPage();
    s.modeCache = ModeCachePage();
    s.modeExtension = ModeExtensionPage();
    s.luns.resize(8);
    s.drives.resize(12);
    for (std::uint32_t d = 0; d < 12; ++d) {
        Fill(s.drives[d].serialNumber, sizeof s.drives[d].serialNumber, "DSN000000001");
        Fill(s.drives[d].vendor, sizeof s.drives[d].vendor, "SEAGRAVE");
        s.drives[d].capacity = BlockCapacity(17000000 + d, 512);
    }
    s.missing.resize(6);
    s.hardware = Hardware();
    s.hardware->values1 = {1, 2, 3, 4};
    s.hardware->values2 = {5, 6};
    s.stateValue4 = 1;
    Fill(s.serialNumber, sizeof s.serialNumber, "SN0000000042");
    Fill(s.aliasName, sizeof s.aliasName, "NIGHTOWL");
    Fill(s.serverName, sizeof s.serverName, "hostalpha");
    return s;
}

OruServerState MakeServer(std::uint32_t results, std::uint32_t inProgress) {
    OruServerState server;
    oruerr error;
    error.SetText("Verify finished");
    for (std::uint32_t i = 0; i < results; ++i) {
        server.commandResults.AddElement(DiagCommandResults(
            MC_VerifyPhysicalDrive, 0, i, DIAG_STATE_FINISHED, 100, i, 0, &error));
    }
    for (std::uint32_t i = 0; i < inProgress; ++i) {
        server.commandsInProgress.AddElement(
            CommandInProgress(CommandHandle(i + 1, 7), MC_TestPhysicalDrive, i, 255, 50));
    }
    return server;
}

// The reference coder: one XDR stream over a fixed block, and the same
// walk over the records for both directions.
class XdrCoder {
  public:
    XdrCoder(std::vector<char>& block, xdr_op op) {
        xdrmem_create(&xdr, block.data(), static_cast<u_int>(block.size()), op);
    }
    ~XdrCoder() { xdr_destroy(&xdr); }
    bool Decoding() const { return xdr.x_op == XDR_DECODE; }
    void U(std::uint32_t& v) { ok = xdr_u_int(&xdr, &v) && ok; }
    template <typename E>
    void E32(E& v) {
        std::uint32_t w = static_cast<std::uint32_t>(v);
        U(w);
        v = static_cast<E>(w);
    }
    void I(std::int32_t& v) { ok = xdr_int(&xdr, &v) && ok; }
    void Text(char* field, u_int n) { ok = xdr_opaque(&xdr, field, n) && ok; }
    template <typename T, typename Each>
    void List(std::vector<T>& list, Each each) {
        std::uint32_t n = static_cast<std::uint32_t>(list.size());
        U(n);
        if (Decoding()) {
            if (n > 100000) {
                ok = false;
                return;
            }
            list.resize(n);
        }
        for (T& item : list) {
            each(item);
        }
    }
    u_int Position() { return xdr_getpos(&xdr); }
    bool ok = true;

  private:
    XDR xdr;
};

void Walk(XdrCoder& x, BlockCapacity& c) {
    x.U(c.blocks);
    x.U(c.blockSize);
}

void Walk(XdrCoder& x, DiskArrayState& s) {
    x.List(s.controllers, [&](ControllerInfo& c) {
        x.U(c.active);
        x.Text(c.serialNumber, 17);
        x.Text(c.pairedSerialNumber, 17);
        x.Text(c.vendor, 9);
        x.Text(c.productId, 17);
        x.Text(c.productRev, 5);
        x.Text(c.fwRev, 11);
        x.Text(c.mfgProdCode, 11);
        x.U(c.bkplSlot);
        x.U(c.targetId);
        x.U(c.controllerStatus);
        x.U(c.statusExtra);
        x.List(c.batteryStatus, [&](std::uint32_t& v) { x.U(v); });
        x.List(c.dramStatus, [&](std::uint32_t& v) { x.U(v); });
        x.List(c.nvramStatus, [&](std::uint32_t& v) { x.U(v); });
    });
    if (x.Decoding()) {
        s.subsystemState.emplace();
        s.modeSubsystem.emplace();
        s.modeCache.emplace();
        s.modeExtension.emplace();
        s.hardware.emplace();
    }
    for (std::uint32_t& v : s.subsystemState->values) {
        x.U(v);
    }
    ModeSubsystemPage& m = *s.modeSubsystem;
    for (std::uint32_t* v : {&m.subsystem_state,
                             &m.hot_spare_desired,
                             &m.vs_partition,
                             &m.rebuild_in_progress,
                             &m.auto_rebuild,
                             &m.auto_include,
                             &m.log_full_warn,
                             &m.balancing,
                             &m.value9,
                             &m.optimizing,
                             &m.rebuild_priority,
                             &m.parity,
                             &m.sdtr,
                             &m.wdtr,
                             &m.term_power,
                             &m.unit_attn,
                             &m.ctrl_b_addr,
                             &m.ctrl_a_addr,
                             &m.reserved19,
                             &m.reserved20,
                             &m.format_pattern_fill,
                             &m.disable_remote_reset,
                             &m.language,
                             &m.cap_deplete_thresh,
                             &m.rebuild_progress,
                             &m.write_work_set_int,
                             &m.subsys_type_id}) {
        x.U(*v);
    }
    x.U(s.modeCache->write_cache_enable);
    x.U(s.modeCache->read_cache_enable);
    for (std::uint32_t& v : s.modeExtension->values) {
        x.U(v);
    }
    Walk(x, s.raid1Capacity);
    Walk(x, s.virtualRemaining);
    x.List(s.luns, [&](LUN& l) {
        x.U(l.status);
        Walk(x, l.capacity);
    });
    x.List(s.drives, [&](Physical_Drive& d) {
        x.Text(d.identityText1, 17);
        x.Text(d.volSetSerialNumber, 17);
        x.Text(d.identityText2, 17);
        x.Text(d.vendor, 9);
        x.Text(d.productRev, 5);
        x.Text(d.serialNumber, 13);
        Walk(x, d.capacity);
        x.U(d.driveValue1);
        x.U(d.driveState);
        x.U(d.driveValue2);
        x.Text(d.driveText, 11);
        x.U(d.driveValue3);
        x.U(d.driveValue4);
    });
    x.List(s.missing, [&](Missing_Drive& d) {
        x.U(d.present);
        x.Text(d.productId, 17);
        x.Text(d.driveIdNumber, 17);
        x.Text(d.serialNumber, 13);
        x.Text(d.vendor, 9);
        x.Text(d.volSetSerialNumber, 17);
        Walk(x, d.capacity);
    });
    x.List(s.hardware->values1, [&](std::uint32_t& v) { x.U(v); });
    x.List(s.hardware->values2, [&](std::uint32_t& v) { x.U(v); });
    for (std::uint32_t* v : {&s.stateValue1, &s.stateValue2, &s.stateValue3, &s.stateValue4,
                             &s.stateValue5, &s.stateValue6, &s.stateValue7}) {
        x.U(*v);
    }
    x.Text(s.serialNumber, 13);
    x.Text(s.serverName, 17);
    x.U(s.arrayType);
    x.U(s.ownsLock);
    x.Text(s.aliasName, 13);
    x.U(s.userParam1);
    x.U(s.userParam2);
    x.U(s.userParam3);
}

void Walk(XdrCoder& x, oruerr& e) {
    x.Text(e.text, oruerr::kTextSize);
    x.U(e.senseValid);
    x.U(e.source);
    x.U(e.errorClass);
    x.U(e.detail);
    x.U(e.oemSet);
    x.U(e.oemItem);
    std::uint32_t extra = e.ExtraLength();
    x.U(extra);
    if (x.Decoding()) {
        e.extraBytes.resize(extra);
    }
    if (extra != 0) {
        x.Text(reinterpret_cast<char*>(e.extraBytes.data()), extra);
    }
    x.U(e.errorCode);
    x.U(e.qualifier);
    x.U(e.moduleId);
}

void Walk(XdrCoder& x, DiagCommandResults& r) {
    std::uint32_t kind = r.type;
    x.U(kind);
    x.E32(r.type);
    x.E32(r.code);
    x.I(r.result);
    Walk(x, r.error);
    x.U(r.drive);
    x.E32(r.diagState);
    x.U(r.diagValue1);
    x.U(r.diagValue2);
    x.U(r.diagValue3);
}

void Walk(XdrCoder& x, std::vector<std::unique_ptr<DiagCommandResults>>& list) {
    std::uint32_t n = static_cast<std::uint32_t>(list.size());
    x.U(n);
    if (x.Decoding()) {
        list.clear();
        list.reserve(n);
        for (std::uint32_t i = 0; i < n && x.ok; ++i) {
            list.push_back(std::make_unique<DiagCommandResults>());
            Walk(x, *list.back());
        }
        return;
    }
    for (auto& r : list) {
        Walk(x, *r);
    }
}

std::vector<std::unique_ptr<DiagCommandResults>> ResultsForXdr(const OruServerState& server) {
    std::vector<std::unique_ptr<DiagCommandResults>> list;
    for (unsigned short i = 0; i < server.commandResults.Size(); ++i) {
        list.push_back(std::make_unique<DiagCommandResults>(
            static_cast<const DiagCommandResults&>(*server.commandResults[i])));
    }
    return list;
}

// Our coders into a buffer that keeps its block between runs.
struct ReusedBuffer {
    CodedBuff buff;
    ReusedBuffer() { buff.Setup(4); }
    ~ReusedBuffer() { CodedBuff::FreeData(buff.TakeData()); }
};

// ---- full version-4 state --------------------------------------------------

void BM_State_Encode_Ours(benchmark::State& run) {
    DiskArrayState state = MakeState();
    ReusedBuffer out;
    for (auto _ : run) {
        out.buff.position = 0;
        state.Encode(out.buff);
        benchmark::DoNotOptimize(out.buff.data);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * out.buff.position);
}

void BM_State_Encode_Xdr(benchmark::State& run) {
    DiskArrayState state = MakeState();
    std::vector<char> block(16384);
    u_int bytes = 0;
    for (auto _ : run) {
        XdrCoder x(block, XDR_ENCODE);
        Walk(x, state);
        bytes = x.Position();
        benchmark::DoNotOptimize(block.data());
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * bytes);
}

void BM_State_Decode_Ours(benchmark::State& run) {
    DiskArrayState state = MakeState();
    ReusedBuffer out;
    state.Encode(out.buff);
    const std::uint32_t length = out.buff.position;
    for (auto _ : run) {
        CodedBuff in;
        in.SetupDecode(out.buff.data, length, 4);
        DiskArrayState got;
        got.Decode(in);
        if (in.Failed()) {
            run.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(got);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

void BM_State_Decode_Xdr(benchmark::State& run) {
    DiskArrayState state = MakeState();
    std::vector<char> block(16384);
    u_int length = 0;
    {
        XdrCoder x(block, XDR_ENCODE);
        Walk(x, state);
        length = x.Position();
    }
    for (auto _ : run) {
        XdrCoder x(block, XDR_DECODE);
        DiskArrayState got;
        Walk(x, got);
        if (!x.ok) {
            run.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(got);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

// Whole state replies, as the service sends and a client receives them.
void BM_StateReply_EncodeMsg(benchmark::State& run) {
    DiskArrayState state = MakeState();
    OruServerState server = MakeServer(4, 2);
    std::uint32_t length = 0;
    for (auto _ : run) {
        State_RtnMsg reply(&state, &server);
        unsigned char* bytes = reply.EncodeMsg();
        length = reply.length;
        benchmark::DoNotOptimize(bytes);
        CodedBuff::FreeData(bytes);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

void BM_StateReply_DecodeMsg(benchmark::State& run) {
    DiskArrayState state = MakeState();
    OruServerState server = MakeServer(4, 2);
    State_RtnMsg reply(&state, &server);
    unsigned char* bytes = reply.EncodeMsg();
    const std::uint32_t length = reply.length;
    DiskArrayState into;
    OruServerState intoServer;
    for (auto _ : run) {
        State_RtnMsg got(&into, &intoServer);
        if (!got.DecodeMsg(bytes, length)) {
            run.SkipWithError("decode failed");
        }
    }
    CodedBuff::FreeData(bytes);
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

// ---- 1000 command results --------------------------------------------------

constexpr std::uint32_t kResults = 1000;

void BM_Results_Encode_Ours(benchmark::State& run) {
    OruServerState server = MakeServer(kResults, 0);
    ReusedBuffer out;
    server.commandResults.Encode(out.buff);  // grow once, outside the timing
    for (auto _ : run) {
        out.buff.position = 0;
        server.commandResults.Encode(out.buff);
        benchmark::DoNotOptimize(out.buff.data);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * out.buff.position);
}

void BM_Results_Encode_Xdr(benchmark::State& run) {
    auto list = ResultsForXdr(MakeServer(kResults, 0));
    std::vector<char> block(1 << 20);
    u_int bytes = 0;
    for (auto _ : run) {
        XdrCoder x(block, XDR_ENCODE);
        Walk(x, list);
        bytes = x.Position();
        benchmark::DoNotOptimize(block.data());
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * bytes);
}

void BM_Results_Decode_Ours(benchmark::State& run) {
    OruServerState server = MakeServer(kResults, 0);
    ReusedBuffer out;
    server.commandResults.Encode(out.buff);
    const std::uint32_t length = out.buff.position;
    for (auto _ : run) {
        CodedBuff in;
        in.SetupDecode(out.buff.data, length, 4);
        CommandResultsArray got;
        got.Decode(in);
        if (in.Failed() || got.Size() != kResults) {
            run.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(got);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

void BM_Results_Decode_Xdr(benchmark::State& run) {
    auto list = ResultsForXdr(MakeServer(kResults, 0));
    std::vector<char> block(1 << 20);
    u_int length = 0;
    {
        XdrCoder x(block, XDR_ENCODE);
        Walk(x, list);
        length = x.Position();
    }
    for (auto _ : run) {
        XdrCoder x(block, XDR_DECODE);
        std::vector<std::unique_ptr<DiagCommandResults>> got;
        Walk(x, got);
        if (!x.ok || got.size() != kResults) {
            run.SkipWithError("decode failed");
        }
        benchmark::DoNotOptimize(got);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

// A whole state reply that carries the 1000 results: the message buffer
// starts at one block and grows block by block, copying as it goes.
void BM_ResultsReply_EncodeMsg(benchmark::State& run) {
    DiskArrayState state = MakeState();
    OruServerState server = MakeServer(kResults, 0);
    std::uint32_t length = 0;
    for (auto _ : run) {
        State_RtnMsg reply(&state, &server);
        unsigned char* bytes = reply.EncodeMsg();
        length = reply.length;
        benchmark::DoNotOptimize(bytes);
        CodedBuff::FreeData(bytes);
    }
    run.SetBytesProcessed(static_cast<std::int64_t>(run.iterations()) * length);
}

}  // namespace

BENCHMARK(BM_State_Encode_Ours);
BENCHMARK(BM_State_Encode_Xdr);
BENCHMARK(BM_State_Decode_Ours);
BENCHMARK(BM_State_Decode_Xdr);
BENCHMARK(BM_StateReply_EncodeMsg);
BENCHMARK(BM_StateReply_DecodeMsg);
BENCHMARK(BM_Results_Encode_Ours);
BENCHMARK(BM_Results_Encode_Xdr);
BENCHMARK(BM_Results_Decode_Ours);
BENCHMARK(BM_Results_Decode_Xdr);
BENCHMARK(BM_ResultsReply_EncodeMsg);

BENCHMARK_MAIN();
