#include "dialog/GuiApplication.h"

#include <QApplication>
#include <QThread>
#include <atomic>
#include <clocale>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex gCreateLock;
std::atomic<bool> gCreatedByDriver{false};

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

bool GuiApplication::HasDisplay() {
    return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM");
}

bool GuiApplication::CreatedByDriver() {
    return gCreatedByDriver.load();
}

bool GuiApplication::Ensure(std::string& error) {
    std::lock_guard<std::mutex> lock(gCreateLock);
    QCoreApplication* existing = QCoreApplication::instance();
    if (existing != nullptr) {
        if (qobject_cast<QApplication*>(existing) == nullptr) {
            error = "the host's Qt application is not a QApplication; no dialog can be shown";
            return false;
        }
        if (QThread::currentThread() != existing->thread()) {
            error = "dialog must be opened on the thread of the Qt application";
            return false;
        }
        return true;
    }
    if (!HasDisplay()) {
        error = "no display: none of DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM is set";
        return false;
    }
    // QApplication keeps references to argc and argv for its whole life.
    static int argc = 1;
    static char name[] = "ostravelk";
    static char* argv[] = {name, nullptr};
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string previousLocale = current != nullptr ? current : "C";
    new QApplication(argc, argv);  // kept for the life of the process, never deleted
    std::setlocale(LC_ALL, previousLocale.c_str());
    gCreatedByDriver = true;
    return true;
}
