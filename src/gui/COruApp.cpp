#include "gui/COruApp.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

#include "client/QEN.h"
#include "gui/CMainFrame.h"
#include "gui/ClientWorkers.h"
#include "platform/Root.h"

namespace oru {

COruApp::DeviceRequest COruApp::ParseCommandLine(const QStringList& arguments) {
    DeviceRequest request;
    const std::string line = arguments.join(' ').toStdString();
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) {
        return request;
    }
    request.host = line.substr(0, colon);
    request.serial = line.substr(colon + 1);
    request.openProperties = true;
    return request;
}

std::string COruApp::ProfileFileName(const std::string& programPath) {
    const std::size_t slash = programPath.find_last_of('/');
    std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
    if (name.empty()) {
        name = "oru";
    }
    const std::size_t dot = name.find_last_of('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot != std::string::npos && dot > 0) {
        return name.substr(0, dot + 1) + "ini";
    }
    return name + ".ini";
}

std::string COruApp::ProfilePath(const std::string& programPath) {
    const char* override = std::getenv("ORU_PROFILE");
    if (override != nullptr && *override != '\0') {
        return override;
    }
    return platform::RootPath("etc/" + ProfileFileName(programPath));
}

COruApp::COruApp(const QStringList& arguments, const std::string& programPath)
    : qen_(std::make_unique<QEN>(0)),
      profile_(ProfilePath(programPath)),
      request_(ParseCommandLine(arguments)) {
    FrameSetup setup;
    setup.profile = &profile_;
    setup.qen = qen_.get();
    setup.commandLineHost = request_.host;
    setup.commandLineSerial = request_.serial;
    frame_ = std::make_unique<CMainFrame>(std::move(setup));
    idle_.setInterval(kIdleMs);
    QObject::connect(&idle_, &QTimer::timeout, [this] {
        if (frame_->OnIdle(request_.openProperties)) {
            request_.openProperties = false;
        }
    });
}

COruApp::~COruApp() {
    idle_.stop();
    frame_.reset();
}

void COruApp::Start() {
    frame_->Start();
    idle_.start();
}

int COruApp::Run() {
    Start();
    return QApplication::exec();
}

int RunOru(int argc, char** argv) {
    QApplication application(argc, argv);
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    int code = 0;
    {
        COruApp app(arguments, QApplication::applicationFilePath().toStdString());
        code = app.Run();
    }
    if (RunningWorkers() > 0) {
        // A worker a wait gave up on may still be talking to a service; it
        // must not meet the library's objects being torn down.
        std::fflush(nullptr);
        std::_Exit(code);
    }
    return code;
}

}  // namespace oru
