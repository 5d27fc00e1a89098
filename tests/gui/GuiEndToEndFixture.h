// The graphical manager against the real service over the simulator's
// default cabinets: the program's application object runs in this process
// (offscreen), OruServr in the console, strovsim in the background. A
// session of the test's own (libqen) makes the service read a changed
// cabinet at once. The service polls nothing on its own: every state it
// answers with was built for a request.
//
// Window grabs go to the build tree's gui-grabs/, or into ORU_GRAB_DIR.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ArrayClientFixture.h"
#include "gui/CArrayProvider.h"
#include "gui/CMainFrame.h"
#include "gui/COruApp.h"
#include "gui/CViewSettings.h"

class QTreeWidgetItem;
class QWidget;

namespace guitest {

class GuiEndToEnd : public netsrvtest::ArrayClientTest {
  protected:
    static constexpr const char* kFirst = "QX0000000001";
    static constexpr const char* kSecond = "QX0000000002";
    static constexpr int kLimitMs = 30000;

    void SetUp() override;
    void TearDown() override;
    // Runs before the simulator and the service start (a test seeds the
    // service's log here).
    virtual void BeforeService() {}

    // Starts the program (with `arguments` as its command line) and waits
    // for its first list; `beforeStart` runs once the frame is built, before
    // its first event.
    void Open(const QStringList& arguments = {}, const std::function<void()>& beforeStart = {});
    // Stops the service (SIGSTOP) and returns once the kernel shows every
    // thread of it stopped: from then on it answers nothing. False when that
    // was not seen within kLimitMs.
    bool StopService();
    oru::CMainFrame& Frame() { return app_->Frame(); }
    oru::CArrayProvider& Arrays();

    // The row of an array: its item in the list, or nullptr.
    QTreeWidgetItem* RowOf(const std::string& serial);
    int ColumnOf(const std::string& column);
    std::string StatusOf(const std::string& serial);
    // A user view of this host's arrays with the columns given.
    void ShowView(const std::string& name, const std::vector<std::string>& columns,
                  const std::vector<oru::ColumnFilter>& filters = {});
    // Saves a picture of a widget under the grab directory.
    static void GrabTo(QWidget* widget, const char* file);

    std::unique_ptr<oru::COruApp> app_;
    std::vector<QString> messages_;
};

}  // namespace guitest
