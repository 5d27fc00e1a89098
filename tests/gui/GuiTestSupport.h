// Helpers of the graphical manager's tests: answering the modal dialogs a
// command opens, waiting on the event loop, a host for the model that
// records its messages, and a device provider with made-up arrays.
#pragma once

#include <QApplication>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "gui/CDeviceProvider.h"
#include "gui/ModelHost.h"

namespace guitest {

// Runs `answer` on the next modal dialog (or message box) that opens, from
// the event loop that dialog runs. Several calls answer dialogs in turn.
void AnswerNextModal(std::function<void(QWidget*)> answer);
// Accepts a modal window: a message box by its accept button, a dialog by
// accept().
void Accept(QWidget* modal);
// Forgets answers that no dialog took.
void ForgetModalAnswers();
// Closes every message box that opens with its accept button, recording its
// text, until StopRecordingMessages.
void RecordMessages(std::vector<QString>* texts);
void StopRecordingMessages();

// Runs the event loop until done() holds or timeoutMs (real time) pass.
bool Eventually(const std::function<bool()>& done, int timeoutMs = 10000);

// A model host for tests: messages and the keep-waiting question are
// recorded and answered as scripted.
class TestHost : public oru::EventLoopHost {
  public:
    TestHost() : EventLoopHost(busy) {}
    void ShowMessage(const std::string& text, Icon icon) override {
        messages.push_back(text);
        icons.push_back(icon);
    }
    bool AskKeepWaiting() override {
        ++questions;
        return keepWaiting;
    }
    void SetWaitCursor(bool on) override { waitCursor += on ? 1 : -1; }
    void RunDeviceProperties(DiskArray& array, const std::string& title) override {
        sheets.push_back(title);
        if (onSheet) {
            onSheet(array);
        }
    }

    oru::BusyState busy;
    std::vector<std::string> messages;
    std::vector<Icon> icons;
    int questions = 0;
    bool keepWaiting = false;
    int waitCursor = 0;
    std::vector<std::string> sheets;
    std::function<void(DiskArray&)> onSheet;
};

// Made-up arrays: hosts, devices with their column texts and status, scans
// that end when the test says so.
class FakeProvider : public oru::CDeviceProvider {
  public:
    struct Device {
        std::string host;
        std::map<std::string, std::string> texts;  // by column profile name
        int status = 10;
        bool changed = false;
    };

    // A device on `host` with serial, alias, status text and value.
    void AddDevice(const std::string& host, const std::string& serial, const std::string& alias,
                   const std::string& statusText, int status);

    int HostCount() const override { return static_cast<int>(hosts.size()); }
    std::string HostName(int index) const override { return hosts[static_cast<size_t>(index)]; }
    void StartScan(const std::string& host) override;
    bool ScanDone() override { return !holdScans; }
    void ForgetAllDevices() override {
        shown.clear();
        ++forgets;
    }
    int DeviceCount() const override { return static_cast<int>(shown.size()); }
    int ColumnText(int device, const std::string& column, std::string* out) override;
    int StatusValue(int device) const override;
    bool StatusChanged(int device) override;
    void Poll() override { ++polls; }
    int OpenProperties(const std::vector<int>& devices) override {
        opened.push_back(devices);
        return 0;
    }
    void AbandonWaits() override { holdScans = false; }

    // Changes a device's status and flags it changed.
    void SetStatus(const std::string& serial, const std::string& text, int status);

    std::vector<std::string> hosts;
    std::vector<Device> all;
    std::vector<int> shown;  // positions in `all`, in scan order
    std::vector<std::string> scanned;
    bool holdScans = false;
    int forgets = 0;
    int polls = 0;
    std::vector<std::vector<int>> opened;
};

}  // namespace guitest
