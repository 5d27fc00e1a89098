#include "gui/ArrayCommands.h"

#include <QApplication>

#include <string>

#include "client/DiskArray.h"
#include "coresys/common/ORU_ReturnMsg.h"
#include "coresys/common/OruErrors.h"
#include "coresys/common/PollMsg.h"
#include "gui/BusyState.h"
#include "gui/Messages.h"

namespace oru {

const DiskArrayState& ArrayCommands::State() const {
    return *array_.GetStatePtr();
}

const OruServerState& ArrayCommands::Server() const {
    return *array_.GetOruServerStatePtr();
}

CommandReply ArrayCommands::Await(const CommandHandle& handle) {
    return WaitForCommand(handle, array_, waits_);
}

std::optional<QString> NothingFailedNote(const PollMsg* reply) {
    const auto* error = dynamic_cast<const ErrorPollMsg*>(reply);
    if (error == nullptr || error->kind != RMT_ORUERRORSTATUS_MSG ||
        error->error.errorCode != ERR_NO_FAIL) {
        return std::nullopt;
    }
    const std::uint32_t qualifier = error->error.qualifier;
    switch (qualifier) {
        case HOT_SPARE_UNAVAILABLE:
            return QText(txt::kDoneNoSpare);
        case DRIVE_DOWN_DUPLICATION:
            return QText(txt::kDoneAlreadyDown);
        default: {
            const char* name = QualifierName(qualifier);
            const std::string word = name != nullptr ? name : std::to_string(qualifier);
            return QText(txt::kDoneWithNote, word.c_str());
        }
    }
}

bool ArrayCommands::Run(const CommandHandle& handle, TextId failure, std::uint32_t expected) {
    const CommandReply reply = Await(handle);
    if (reply.kind == expected) {
        return true;
    }
    // Carried out, with a word on what the array could not add to it: shown
    // as a note, and the request counts as done. Only where the plain ok
    // reply was awaited: a reply that must bring data brings none here.
    if (expected == RMT_OKSTATUS_MSG) {
        if (const std::optional<QString> note = NothingFailedNote(reply.result)) {
            Message(*note, QMessageBox::Information);
            return true;
        }
    }
    Message(failure);
    return false;
}

bool ArrayCommands::Busy() {
    BusyState* busy = waits_.Busy();
    return busy != nullptr && busy->Busy();
}

void ArrayCommands::WhenIdle(QObject* context, std::function<void()> action) {
    if (BusyState* busy = waits_.Busy(); busy != nullptr) {
        busy->WhenIdle(context, std::move(action));
        return;
    }
    // A host without a busy state runs no waits of the interface thread.
    QMetaObject::invokeMethod(context, std::move(action), Qt::QueuedConnection);
}

void ArrayCommands::Message(TextId text, QMessageBox::Icon icon) {
    Message(QText(text), icon);
}

void ArrayCommands::Message(const QString& text, QMessageBox::Icon icon) {
    if (!quiet_) {
        ShowMessage(parent_, text, icon);
    }
}

bool ArrayCommands::Confirm(TextId text) {
    return !quiet_ && AskOkCancel(parent_, QText(text), QMessageBox::Warning);
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

}  // namespace oru
