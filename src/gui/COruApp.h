// The graphical manager's application: the profile file, the command line,
// the program's QEN, the main frame and the idle pass that keeps the
// arrays' status current.
#pragma once

#include <QStringList>
#include <QTimer>

#include <memory>
#include <string>

#include "platform/PrivateProfile.h"

class QEN;

namespace oru {

class CMainFrame;

class COruApp {
  public:
    // The idle pass runs this often.
    static constexpr int kIdleMs = 50;

    // The device named on the command line: "host:serial".
    struct DeviceRequest {
        std::string host;
        std::string serial;
        bool openProperties = false;
    };

    // The command line's words after the program name (as Qt left them).
    static DeviceRequest ParseCommandLine(const QStringList& arguments);
    // The profile's file name from the program's path: its extension
    // replaced by "ini" (only an extension of the file name itself), or
    // ".ini" appended when it has none.
    static std::string ProfileFileName(const std::string& programPath);
    // ORU_PROFILE when set; else ORU_ROOT/etc/ and the profile's file name.
    static std::string ProfilePath(const std::string& programPath);

    // After the QApplication exists.
    COruApp(const QStringList& arguments, const std::string& programPath);
    ~COruApp();

    // Shows the main window and starts the idle pass.
    void Start();
    // Start, then the event loop; its exit code.
    int Run();

    CMainFrame& Frame() { return *frame_; }
    platform::PrivateProfile& Profile() { return profile_; }

  private:
    std::unique_ptr<QEN> qen_;
    platform::PrivateProfile profile_;
    DeviceRequest request_;
    std::unique_ptr<CMainFrame> frame_;
    QTimer idle_;
};

// The program: runs the application; a short main calls it.
int RunOru(int argc, char** argv);

}  // namespace oru
