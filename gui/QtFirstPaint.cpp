#include "gui/QtFirstPaint.h"

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <cstdio>

namespace o8r {

namespace {

class FirstPaintWatcher final : public QObject {
  public:
    FirstPaintWatcher(QDialog& window) : QObject(&window), m_window(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // Once this paint is done: said, and the window closed.
            QTimer::singleShot(0, &m_window, [this] {
                std::puts("painted");
                std::fflush(stdout);
                m_window.reject();
            });
        }
        return false;
    }

  private:
    QDialog& m_window;
    bool m_seen = false;
};

}  // namespace

void ExitAfterFirstPaintIfAsked(QDialog& window) {
    if (qEnvironmentVariableIsEmpty("O8R_EXIT_AFTER_FIRST_PAINT"))
        return;
    window.installEventFilter(new FirstPaintWatcher(window));
}

}  // namespace o8r
