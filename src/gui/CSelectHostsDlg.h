// Select Hosts: which hosts the current view searches for arrays: all
// known hosts, or the hosts chosen from the known ones. Discover finds more
// hosts (through the caller, who runs the discovery and its wait). OK hands
// the choice to the view settings (CViewSettings::ApplyHosts).
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QRadioButton;

namespace oru {

class CViewSettings;

class CSelectHostsDlg : public QDialog {
    Q_OBJECT

  public:
    // Runs the Discover Hosts dialog and the discovery; true when it ran.
    using Discoverer = std::function<bool()>;
    // The hosts the model knows now.
    using KnownHosts = std::function<std::vector<std::string>()>;

    CSelectHostsDlg(CViewSettings& settings, KnownHosts knownHosts, Discoverer discover,
                    QWidget* parent);

    // Whether a discovery ran (the known hosts may have changed).
    bool Changed() const { return changed_; }

    void Add();
    void Remove();
    void Discover();

    QRadioButton* AllKnown() const { return allKnown_; }
    QRadioButton* Specified() const { return specified_; }
    QListWidget* Known() const { return known_; }
    QListWidget* Chosen() const { return chosen_; }

    void accept() override;

  private:
    void FillKnown();
    std::vector<std::string> ChosenHosts() const;

    CViewSettings& settings_;
    KnownHosts knownHosts_;
    Discoverer discover_;
    bool changed_ = false;
    QRadioButton* allKnown_;
    QRadioButton* specified_;
    QListWidget* known_;
    QListWidget* chosen_;
};

}  // namespace oru
