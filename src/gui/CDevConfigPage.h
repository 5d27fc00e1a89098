// The Configuration page: the array's settings, applied request by request
// when the sheet's OK or Apply is pressed, and the rebuild's progress with
// its Start and Stop buttons. Unsaved changes survive the sheet's refreshes
// (only the progress and the buttons follow the array meanwhile).
#pragma once

#include "gui/ArraySettings.h"
#include "gui/CDevPropSheet.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace oru {

class CDevConfigPage : public CSheetPage {
    Q_OBJECT

  public:
    explicit CDevConfigPage(CDevPropSheet& sheet);

    // The resiliency the array reports no goal for is preset to Normal,
    // with a message, the first time the page is shown.
    void OnFirstShow() override;

    // The controls from the array's state; not modified afterwards.
    void Reload();
    // The rebuild's progress bar and the Start and Stop buttons from the
    // array's state.
    void UpdateProgress();
    // Sends what the controls change, request by request; the first failure
    // shows its message and stops. After any request, a new state is read.
    // True when everything was applied (or nothing had to be).
    bool Apply();

    void OnStart();
    void OnStop();

    bool Modified() const { return modified_; }
    // The controls as a snapshot.
    ArraySettings Controls() const;

    QCheckBox* AutoInclude() const { return autoInclude_; }
    QCheckBox* ActiveSpare() const { return activeSpare_; }
    QLineEdit* Alias() const { return alias_; }
    QComboBox* Resiliency() const { return resiliency_; }
    QComboBox* AddressX() const { return addressX_; }
    QComboBox* AddressY() const { return addressY_; }
    QCheckBox* VeryEarlyBusy() const { return veryEarlyBusy_; }
    QRadioButton* Automatic() const { return automatic_; }
    QRadioButton* Manual() const { return manual_; }
    QRadioButton* Low() const { return low_; }
    QRadioButton* High() const { return high_; }
    QPushButton* StartButton() const { return start_; }
    QPushButton* StopButton() const { return stop_; }
    QProgressBar* Progress() const { return progress_; }

  signals:
    void modifiedChanged(bool modified);

  private:
    void SetModified(bool modified);
    void ShowSettings(const ArraySettings& settings);
    static void FillAddresses(QComboBox* box, std::uint32_t address);
    static std::uint32_t AddressOf(const QComboBox* box);

    ArraySettings snapshot_;
    bool modified_ = false;
    bool loading_ = false;

    QCheckBox* autoInclude_ = nullptr;
    QCheckBox* activeSpare_ = nullptr;
    QLineEdit* alias_ = nullptr;
    QComboBox* resiliency_ = nullptr;
    QComboBox* addressX_ = nullptr;
    QComboBox* addressY_ = nullptr;
    QCheckBox* veryEarlyBusy_ = nullptr;
    QRadioButton* automatic_ = nullptr;
    QRadioButton* manual_ = nullptr;
    QRadioButton* low_ = nullptr;
    QRadioButton* high_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace oru
