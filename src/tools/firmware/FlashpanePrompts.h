// The questions and messages flashpane puts to its user, and the file
// dialog: message boxes and a file dialog on the desktop; a test puts a
// recorder in their place.
#pragma once

#include <QString>

class QWidget;

namespace flashpane {

class FlashpanePrompts {
  public:
    enum class Icon { kInformation, kWarning, kError };

    virtual ~FlashpanePrompts() = default;

    // A message with an OK button.
    virtual void Tell(QWidget* parent, const QString& text, const QString& caption, Icon icon) = 0;
    // OK (true) or Cancel (false), with a warning icon.
    virtual bool Confirm(QWidget* parent, const QString& text, const QString& caption) = 0;
    // An existing file chosen by the user; "" when cancelled.
    virtual QString ChooseFile(QWidget* parent, const QString& title, const QString& directory,
                               const QString& filters) = 0;
};

// Message boxes and the desktop's file dialog.
class DesktopPrompts : public FlashpanePrompts {
  public:
    void Tell(QWidget* parent, const QString& text, const QString& caption, Icon icon) override;
    bool Confirm(QWidget* parent, const QString& text, const QString& caption) override;
    QString ChooseFile(QWidget* parent, const QString& title, const QString& directory,
                       const QString& filters) override;
};

}  // namespace flashpane
