#include "gui/ArrayCommands.h"

#include <QApplication>

#include "client/DiskArray.h"
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

bool ArrayCommands::Run(const CommandHandle& handle, TextId failure, std::uint32_t expected) {
    if (Await(handle).kind == expected) {
        return true;
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
