#include "GuiTestSupport.h"

#include <QAbstractButton>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <deque>
#include <thread>

#include "gui/ProfileKeys.h"

namespace guitest {
namespace {

// Watches for modal windows from a timer, which fires in every event loop,
// the dialogs' own included.
class ModalWatcher : public QObject {
  public:
    ModalWatcher() {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, [this] { Look(); });
    }
    void Add(std::function<void(QWidget*)> answer) {
        answers_.push_back(std::move(answer));
        timer_.start();
    }
    void Forget() {
        answers_.clear();
        last_ = nullptr;
    }
    void Record(std::vector<QString>* texts) {
        record_ = texts;
        timer_.start();
    }
    void StopRecording() { record_ = nullptr; }

  private:
    void Look() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal); box != nullptr && record_ != nullptr) {
            record_->push_back(box->text());
            Accept(box);
            return;
        }
        if (modal == last_ || answers_.empty()) {
            return;
        }
        last_ = modal;
        std::function<void(QWidget*)> answer = std::move(answers_.front());
        answers_.pop_front();
        // From a timer of its own: an answer may open a modal window in
        // turn, which this watcher's timer must be free to see.
        QPointer<QWidget> target = modal;
        QTimer::singleShot(0, [answer, target] {
            if (target != nullptr) {
                answer(target);
            }
        });
    }

    QTimer timer_;
    std::deque<std::function<void(QWidget*)>> answers_;
    QPointer<QWidget> last_;
    std::vector<QString>* record_ = nullptr;
};

ModalWatcher& Watcher() {
    static ModalWatcher* watcher = new ModalWatcher();
    return *watcher;
}

}  // namespace

void Accept(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        for (QAbstractButton* button : box->buttons()) {
            if (box->buttonRole(button) == QMessageBox::AcceptRole) {
                button->click();
                return;
            }
        }
        box->reject();
        return;
    }
    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->accept();
    }
}

void AnswerNextModal(std::function<void(QWidget*)> answer) {
    Watcher().Add(std::move(answer));
}

void ForgetModalAnswers() {
    Watcher().Forget();
}

void RecordMessages(std::vector<QString>* texts) {
    Watcher().Record(texts);
}

void StopRecordingMessages() {
    Watcher().StopRecording();
}

bool Eventually(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void FakeProvider::AddDevice(const std::string& host, const std::string& serial,
                             const std::string& alias, const std::string& statusText, int status) {
    using oru::keys::kColumnNames;
    Device device;
    device.host = host;
    device.texts[kColumnNames[0]] = serial;
    device.texts[kColumnNames[1]] = alias;
    device.texts[kColumnNames[2]] = "Strovane Model 12";
    device.texts[kColumnNames[3]] = statusText;
    device.texts[kColumnNames[4]] = "1.00 GB";
    device.texts[kColumnNames[5]] = "0.50 GB";
    device.texts[kColumnNames[6]] = host;
    device.status = status;
    all.push_back(device);
    if (std::find(hosts.begin(), hosts.end(), host) == hosts.end()) {
        hosts.push_back(host);
    }
}

void FakeProvider::StartScan(const std::string& host) {
    scanned.push_back(host);
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (all[i].host == host &&
            std::find(shown.begin(), shown.end(), static_cast<int>(i)) == shown.end()) {
            shown.push_back(static_cast<int>(i));
        }
    }
}

int FakeProvider::ColumnText(int device, const std::string& column, std::string* out) {
    out->clear();
    if (device < 0 || device >= DeviceCount()) {
        return kNoSuchColumn;
    }
    const Device& d = all[static_cast<std::size_t>(shown[static_cast<std::size_t>(device)])];
    const auto text = d.texts.find(column);
    if (text == d.texts.end()) {
        return kNoSuchColumn;
    }
    *out = text->second;
    return kTextReady;
}

int FakeProvider::StatusValue(int device) const {
    if (device < 0 || device >= DeviceCount()) {
        return 10;
    }
    return all[static_cast<std::size_t>(shown[static_cast<std::size_t>(device)])].status;
}

bool FakeProvider::StatusChanged(int device) {
    if (device < 0 || device >= DeviceCount()) {
        return false;
    }
    Device& d = all[static_cast<std::size_t>(shown[static_cast<std::size_t>(device)])];
    const bool changed = d.changed;
    d.changed = false;
    return changed;
}

void FakeProvider::SetStatus(const std::string& serial, const std::string& text, int status) {
    for (Device& d : all) {
        if (d.texts[oru::keys::kColumnNames[0]] == serial) {
            d.texts[oru::keys::kColumnNames[3]] = text;
            d.status = status;
            d.changed = true;
        }
    }
}

}  // namespace guitest
