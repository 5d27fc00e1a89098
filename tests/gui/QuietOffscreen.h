// Qt's offscreen platform, without its note that it cannot pass size hints
// on (written for every window shown): the tests and the benchmark of the
// graphical manager run on it.
#pragma once

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace guitest {

inline QtMessageHandler& PreviousMessageHandler() {
    static QtMessageHandler previous = nullptr;
    return previous;
}

inline void QuietMessages(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (message.contains("propagateSizeHints")) {
        return;
    }
    if (PreviousMessageHandler() != nullptr) {
        PreviousMessageHandler()(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
    }
}

// Before the QApplication is made.
inline void UseQuietOffscreen() {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    PreviousMessageHandler() = qInstallMessageHandler(QuietMessages);
}

}  // namespace guitest
