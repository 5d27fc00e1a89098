// flashpane: picks an array and a firmware file and runs download to write
// the controllers' firmware.
#include <QApplication>

#include "platform/Process.h"
#include "tools/firmware/FlashpaneWindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    flashpane::FlashpaneModel model(platform::ProgramDirectory());
    flashpane::DesktopPrompts prompts;
    flashpane::FlashpaneWindow window(model, prompts);
    window.show();
    window.Initialize();
    return app.exec();
}
