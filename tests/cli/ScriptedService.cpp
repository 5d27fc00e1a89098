#include "ScriptedService.h"

#include "ProgramRun.h"
#include "coresys/common/FieldText.h"
#include "platform/Clock.h"
#include "platform/Root.h"

namespace clitest {

std::string Failed(const Request& request, const oruerr& error) {
    OruErrStatus_RtnMsg reply(RMT_ORUERRORSTATUS_MSG, 1);
    reply.error = error;
    return EncodedReply(reply, request);
}

std::string StateReply(const Request& request, DiskArrayState state, OruServerState server) {
    State_RtnMsg reply(&state, &server, 1);
    return EncodedReply(reply, request);
}

std::string BufferReply(const Request& request, const std::string& bytes) {
    Buffer_RtnMsg reply;
    reply.bytes.assign(bytes.begin(), bytes.end());
    return EncodedReply(reply, request);
}

oruerr Error(std::uint32_t errorCode, std::uint32_t qualifier, std::uint32_t errorClass) {
    oruerr error;
    error.errorCode = errorCode;
    error.qualifier = qualifier;
    error.errorClass = errorClass;
    return error;
}

DiskArrayState FakeState() {
    DiskArrayState state;
    ControllerInfo x;
    x.controllerStatus = 1;
    x.active = 1;
    x.targetId = 4;
    SetFieldText(x.vendor, "STROVANE");
    SetFieldText(x.productId, "FAKE ARRAY");
    SetFieldText(x.serialNumber, "CTLX77");
    SetFieldText(x.fwRev, "F301.00.00");
    ControllerInfo y;
    y.controllerStatus = 3;
    state.controllers = {x, y};
    state.drives.resize(DiskArrayState::kDriveSlots);
    for (std::uint32_t slot = 0; slot < DiskArrayState::kDriveSlots; ++slot) {
        Physical_Drive& drive = state.drives[slot];
        drive.driveState = slot < 6 ? 0 : slot == 6 ? 8 : 1;
        if (drive.driveState != 1) {
            SetFieldText(drive.vendor, "QDISK");
            SetFieldText(drive.identityText2, "QD-9100");
            SetFieldText(drive.productRev, "0102");
            SetFieldText(drive.serialNumber, "D77S0" + std::to_string(slot));
        }
    }
    state.stateValue6 = 3;
    SetFieldText(state.serialNumber, kFakeSerial);
    return state;
}

void ScriptedServiceTest::SetUp() {
    platform::SetTimeScale(100);
    ASSERT_EQ(platform::MakeDirs(root_.File("c/oru_admin")), 0);
    peer_ = std::make_unique<clienttest::ServicePeer>(root_.TcpPort(), root_.UdpPort());
    ASSERT_TRUE(peer_->Listening()) << peer_->Error();
    peer_->SetAdminDir(root_.File("c/oru_admin"));
    peer_->SetListAnswer(clienttest::ListAnswer({Record(kFakeSerial, kFakeAlias)}));
    peer_->SetKnownSerials({kFakeSerial});
}

void ScriptedServiceTest::TearDown() {
    peer_.reset();
    platform::SetTimeScale(0);
}

clienttest::ListRecord ScriptedServiceTest::Record(const std::string& serial,
                                                   const std::string& alias,
                                                   const std::string& server) {
    clienttest::ListRecord record;
    record.serverName = server.empty() ? clienttest::ServicePeer::OwnHostName() : server;
    record.serial = serial;
    record.alias = alias;
    record.secureMethod = 0;
    record.securePath = "C:\\oru_admin\\" + serial + ".";
    return record;
}

bool ScriptedServiceTest::ReadRequest(int fd, Request& request) {
    clienttest::SessionRequest read;
    if (!clienttest::ReadSessionRequest(fd, &read, kRunLimitMs)) {
        return false;
    }
    request = Request{read.code, read.sequence, read.session, {}, read.body};
    for (std::size_t at = 20; at + 4 <= read.body.size(); at += 4) {
        request.values.push_back(clienttest::BeWord(read.body, at));
    }
    return true;
}

void ScriptedServiceTest::Script(Answer answer) {
    peer_->SetSessionScript([this, answer](int fd) {
        Request request;
        while (ReadRequest(fd, request)) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            for (const std::string& frame : answer(request)) {
                if (frame == kClose) {
                    return;
                }
                if (frame == kSilence) {
                    clienttest::SeesClose(fd, kRunLimitMs);
                    return;
                }
                clienttest::SendSessionFrame(fd, frame);
            }
        }
    });
}

void ScriptedServiceTest::AnswerState(std::function<std::string(const Request&)> final) {
    Script([final](const Request& request) -> std::vector<std::string> {
        return {OkReply(request, 3), OkReply(request, 2), final(request)};
    });
}

std::vector<Request> ScriptedServiceTest::Requests() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::vector<Request> ScriptedServiceTest::Requests(std::uint32_t code) {
    std::vector<Request> matching;
    for (const Request& request : Requests()) {
        if (request.code == code) {
            matching.push_back(request);
        }
    }
    return matching;
}

}  // namespace clitest
