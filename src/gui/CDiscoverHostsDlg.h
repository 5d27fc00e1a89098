// Discover Hosts: automatic discovery (every host that answers a broadcast,
// optionally forgetting the known hosts first) or one specified host.
// OK with a specified host needs a host name; OK with automatic discovery
// asks first, since a broadcast may take a while.
#pragma once

#include <QDialog>

#include <string>

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace oru {

class CDiscoverHostsDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kAutomatic = 0;
    static constexpr int kSpecifiedHost = 1;

    explicit CDiscoverHostsDlg(QWidget* parent);

    int Method() const;
    bool ClearHostList() const;
    std::string Host() const;

    QRadioButton* AutomaticButton() const { return automatic_; }
    QRadioButton* SpecifiedButton() const { return specified_; }
    QCheckBox* ClearBox() const { return clear_; }
    QLineEdit* HostEdit() const { return host_; }

    void accept() override;

  private:
    void UpdateControls();

    QRadioButton* automatic_;
    QRadioButton* specified_;
    QCheckBox* clear_;
    QLineEdit* host_;
};

}  // namespace oru
