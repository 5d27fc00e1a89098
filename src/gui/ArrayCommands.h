// How the pages of the Device Properties sheet talk to their array: every
// request is sent, awaited with the one command wait (WaitForCommand, which
// holds the busy state so that the sheet's refresh timer stands aside), and
// answered on screen: the request's own message when the reply is not the
// one expected. Also the sheet's message boxes and confirmations, parented
// on the sheet, and its wait cursor.
#pragma once

#include <QMessageBox>

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

#include "coresys/common/CommandHandle.h"
#include "gui/CommandWait.h"
#include "gui/GuiTextIds.h"

class DiskArray;
class DiskArrayState;
class OruServerState;
class PollMsg;
class QObject;
class QWidget;

namespace oru {

// The note for a reply that says nothing failed (error code ERR_NO_FAIL):
// the request was carried out, and the qualifier says what the array could
// not add to it. Nothing for any other reply.
std::optional<QString> NothingFailedNote(const PollMsg* reply);

class ArrayCommands {
  public:
    ArrayCommands(DiskArray& array, CommandWaitHost& waits, QWidget* parent)
        : array_(array), waits_(waits), parent_(parent) {}

    DiskArray& Array() { return array_; }
    const DiskArrayState& State() const;
    const OruServerState& Server() const;

    // Waits for the final reply to the request.
    CommandReply Await(const CommandHandle& handle);
    // Waits; true when the reply is of `expected` kind (plain success by
    // default), and, where plain success is awaited, for an error reply
    // whose code says nothing failed (ERR_NO_FAIL), after a note with what
    // its qualifier adds (NothingFailedNote). Else shows `failure` and
    // answers false.
    bool Run(const CommandHandle& handle, TextId failure, std::uint32_t expected = 1);

    // Whether a command wait runs now (the sheet's timer and posted
    // refreshes stand aside meanwhile).
    bool Busy();
    // Runs `action` from the event loop once no command wait runs (held by
    // the busy state meanwhile); dropped when `context` is destroyed first.
    void WhenIdle(QObject* context, std::function<void()> action);

    // Ends every wait that runs now as failed.
    void CancelWaits() { waits_.CancelWaits(); }

    void Message(TextId text, QMessageBox::Icon icon = QMessageBox::Warning);
    void Message(const QString& text, QMessageBox::Icon icon);
    // OK / Cancel with the warning icon: true for OK.
    bool Confirm(TextId text);
    // After this the messages are not shown and confirmations answer Cancel
    // (the sheet is closing).
    void SetQuiet() { quiet_ = true; }
    bool Quiet() const { return quiet_; }

  private:
    DiskArray& array_;
    CommandWaitHost& waits_;
    QWidget* parent_;
    bool quiet_ = false;
};

// The wait cursor for a scope.
class WaitCursor {
  public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace oru
