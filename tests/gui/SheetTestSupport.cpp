#include "SheetTestSupport.h"

#include <poll.h>

#include <QApplication>
#include <QElapsedTimer>

#include <thread>

#include "ScriptedReplies.h"
#include "client/DiskArray.h"
#include "client/QEN.h"
#include "coresys/common/CodedBuff.h"
#include "coresys/common/RequestMsgs.h"
#include "coresys/common/ReturnMsgs.h"
#include "coresys/common/oruerr.h"
#include "gui/CDevPropSheet.h"

namespace guitest {
namespace {

// The reply coded for the request it answers.
std::string Coded(ORU_ReturnMsg& reply, const SeenRequest& request) {
    return clienttest::EncodedReply(reply, request);
}

SeenRequest DecodeRequest(clienttest::SessionRequest raw) {
    SeenRequest request;
    request.code = raw.code;
    request.sequence = raw.sequence;
    request.session = raw.session;
    auto* data = reinterpret_cast<unsigned char*>(raw.body.data());
    const auto length = static_cast<std::uint32_t>(raw.body.size());
    if (raw.code == MC_SetAliasName) {
        HeaderandStringMsg message;
        message.DecodeMsg(data, length);
        request.text = std::string(message.Text());
        return request;
    }
    auto values = [&request](const HeaderandValueMsg& message) {
        request.values[0] = message.value1;
        request.values[1] = message.value2;
        request.values[2] = message.value3;
        request.values[3] = message.value4;
    };
    if (raw.code == MC_GetPerfMetrics) {
        HeaderandPerfArrayMsg message;
        message.DecodeMsg(data, length);
        for (std::uint32_t i = 0; i < message.MetricCount(); ++i) {
            request.ids.push_back(message.MetricId(i));
        }
        values(message);
    } else {
        HeaderandValueMsg message;
        message.DecodeMsg(data, length);
        values(message);
    }
    return request;
}

}  // namespace

DiskArrayState SampleState() {
    DiskArrayState state;
    state.controllers.resize(2);
    for (std::uint32_t c = 0; c < 2; ++c) {
        ControllerInfo& controller = state.controllers[c];
        controller.active = c == 0 ? 1 : 0;
        SetFieldText(controller.serialNumber, c == 0 ? "CTLX000000000001" : "CTLY000000000001");
        SetFieldText(controller.vendor, "STROVANE");
        SetFieldText(controller.productId, "QRVZX RAID");
        SetFieldText(controller.productRev, "0420");
        SetFieldText(controller.fwRev, "3.20");
        SetFieldText(controller.mfgProdCode, "QRVZX-4003");
        controller.bkplSlot = c;
        controller.targetId = 7 - c;
        controller.controllerStatus = 1;
        controller.batteryStatus = {1};
        controller.dramStatus = {1};
        controller.nvramStatus = {1, 1};
    }
    state.subsystemState.emplace();
    ModeSubsystemPage page;
    page.hot_spare_desired = 1;
    page.auto_rebuild = 1;
    page.auto_include = 1;
    page.rebuild_priority = 0;
    page.ctrl_a_addr = 7;
    page.ctrl_b_addr = 6;
    page.subsys_type_id = 12;
    state.modeSubsystem = page;
    ModeCachePage cache;
    cache.write_cache_enable = 1;
    cache.read_cache_enable = 1;
    state.modeCache = cache;
    // Resiliency Normal: extension words 7..13 and 16 as the service sets
    // them for that goal.
    ModeExtensionPage extension;
    const std::pair<int, std::uint32_t> words[] = {{7, 1},  {8, 1},  {9, 0},  {10, 1},
                                                   {11, 0}, {12, 2}, {13, 0}, {16, 4}};
    for (const auto& [word, value] : words) {
        extension.values[word - 1] = value;
    }
    state.modeExtension = extension;
    state.raid1Capacity = BlockCapacity(6291455, 512);
    state.virtualRemaining = BlockCapacity(4194303, 512);  // 2 GiB: 2.00 GB
    state.luns.resize(8);
    for (std::uint32_t n = 0; n < 2; ++n) {
        state.luns[n].status = 1;
        state.luns[n].capacity = BlockCapacity(1048575, 512);  // 0.50 GB
    }
    state.drives.resize(12);
    for (std::uint32_t slot = 0; slot < 12; ++slot) {
        Physical_Drive& drive = state.drives[slot];
        drive.driveValue1 = slot;
        const std::string name =
            std::string(slot % 2 == 0 ? "A" : "B") + std::to_string(slot / 2 + 1);
        SetFieldText(drive.driveText, name);
        if (slot > 6) {
            drive.driveState = 1;
            continue;
        }
        drive.driveState = slot == 6 ? 8 : 0;
        SetFieldText(drive.vendor, "SEAGATE");
        SetFieldText(drive.identityText2, "ST31055N");
        SetFieldText(drive.productRev, "0318");
        SetFieldText(drive.serialNumber, "D1S0" + std::to_string(slot) + "000000");
        SetFieldText(drive.volSetSerialNumber, "VOLSET-000000001");
        drive.capacity = BlockCapacity(2097151, 512);  // 1 GiB: 1.07 GB decimal
    }
    state.missing.resize(6);
    state.hardware.emplace();
    state.hardware->values1 = {1, 1, 1, 1};
    state.hardware->values2 = {1, 1};
    state.stateValue4 = 1;
    state.stateValue6 = 3;
    state.stateValue7 = 2;
    SetFieldText(state.serialNumber, "QX0000000001");
    SetFieldText(state.aliasName, "CABINET1");
    SetFieldText(state.serverName, "localhost");
    state.SetUserParams();
    return state;
}

std::string OkReply(const SeenRequest& request, std::uint32_t status) {
    return clienttest::OkReply(request, status);
}

std::string ErrorReply(const SeenRequest& request, std::uint32_t errorCode,
                       std::uint32_t qualifier) {
    OruErrStatus_RtnMsg reply;
    reply.error.errorCode = errorCode;
    reply.error.qualifier = qualifier;
    return Coded(reply, request);
}

std::string StateReply(const SeenRequest& request, const DiskArrayState& state,
                       const OruServerState& server) {
    DiskArrayState stateCopy = state;
    OruServerState serverCopy = server;
    State_RtnMsg reply(&stateCopy, &serverCopy, 1);
    return Coded(reply, request);
}

std::string MetricsReply(const SeenRequest& request, const std::vector<PerfMetric>& metrics) {
    PerfMetrics_RtnMsg reply(1);
    reply.metrics = metrics;
    return Coded(reply, request);
}

std::string RecsReply(const SeenRequest& request, const PerfRecs& recs) {
    PerfRecs_RtnMsg reply(1);
    reply.recs = recs;
    return Coded(reply, request);
}

std::string BufferReply(const SeenRequest& request, const std::vector<unsigned char>& bytes) {
    Buffer_RtnMsg reply;
    reply.status = 1;
    reply.bytes = bytes;
    return Coded(reply, request);
}

std::string EventReply(const std::vector<Event>& events, const DiskArrayState& state,
                       const OruServerState& server, std::uint32_t status) {
    DiskArrayState stateCopy = state;
    OruServerState serverCopy = server;
    Event_RtnMsg reply(&stateCopy, &serverCopy);
    reply.status = status;
    for (const Event& event : events) {
        auto* copy = new Event(event);
        copy->next = nullptr;
        reply.events.Append(copy);
    }
    unsigned char* bytes = reply.EncodeMsg();
    std::string coded(reinterpret_cast<char*>(bytes), reply.length);
    CodedBuff::FreeData(bytes);
    return coded;
}

void ScriptedService::On(std::uint32_t code, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[code] = std::move(handler);
}

void ScriptedService::SetState(const DiskArrayState& newState) {
    std::lock_guard<std::mutex> lock(mutex_);
    state = newState;
}

void ScriptedService::SetServer(const OruServerState& newServer) {
    std::lock_guard<std::mutex> lock(mutex_);
    server = newServer;
}

std::vector<SeenRequest> ScriptedService::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

std::size_t ScriptedService::CountOf(std::uint32_t code) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::size_t count = 0;
    for (const SeenRequest& request : seen_) {
        count += request.code == code ? 1 : 0;
    }
    return count;
}

bool ScriptedService::WaitForRequests(std::size_t count, int timeoutMs) {
    return Eventually([&] { return Requests().size() >= count; }, timeoutMs);
}

void ScriptedService::Push(const Messages& messages) {
    std::lock_guard<std::mutex> lock(sendMutex_);
    const int fd = fd_.load();
    for (const std::string& message : messages) {
        if (fd >= 0) {
            clienttest::SendSessionFrame(fd, message);
        }
    }
}

Messages ScriptedService::Answer(const SeenRequest& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(request);
    const auto handler = handlers_.find(request.code);
    if (handler != handlers_.end()) {
        return handler->second(request, *this);
    }
    if (request.code == MC_GetState) {
        return {StateReply(request, state, server)};
    }
    return {OkReply(request)};
}

void ScriptedService::Serve(int fd) {
    fd_ = fd;
    for (;;) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 50) <= 0) {
            continue;
        }
        clienttest::SessionRequest raw;
        if (!clienttest::ReadSessionRequest(fd, &raw, 10000)) {
            break;  // the client's goodbye, or it is gone
        }
        Push(Answer(DecodeRequest(std::move(raw))));
    }
    std::lock_guard<std::mutex> lock(sendMutex_);
    fd_ = -1;
}

void SheetFixture::Connect() {
    peer_->SetListAnswer(clienttest::ListAnswer({LocalRecord(kSerial)}));
    peer_->SetKnownSerials({kSerial});
    peer_->SetSessionScript([this](int fd) { service_.Serve(fd); });
    qen_ = std::make_unique<QEN>(0);
    ASSERT_EQ(qen_->ScanforSubsystems("127.0.0.1", 0, 0), ASL_GOOD);
    array_ = qen_->Connect((*qen_)[0]);
    ASSERT_NE(array_, nullptr) << qen_->LastStatus();
    ASSERT_EQ(oru::WaitForCommand(array_->GetState(), *array_, host_).kind, 5u);
    RecordMessages(&messages_);
}

oru::CDevPropSheet& SheetFixture::OpenSheet() {
    sheet_ =
        std::make_unique<oru::CDevPropSheet>(*array_, QStringLiteral("Device Properties"), host_);
    sheet_->show();
    QApplication::processEvents();
    return *sheet_;
}

QImage SheetFixture::Grab(QWidget* widget) {
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

void SheetFixture::TearDown() {
    StopRecordingMessages();
    ForgetModalAnswers();
    sheet_.reset();
    qen_.reset();
    ClientFixture::TearDown();
}

}  // namespace guitest
