#pragma once
// The start-up references end the way the client's login dialog does with VEMO_EXIT_WHEN_SHOWN
// set: as soon as the event loop runs with the watched window shown, the process ends with 0
// (no exit sequence), so the benchmark times start-up from spawn to exit.
#include <QEvent>
#include <QObject>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace bench {

class ExitWhenShown : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, [] {
                std::fflush(nullptr);
                std::_Exit(0);
            });
        return QObject::eventFilter(watched, event);
    }
};

} // namespace bench
