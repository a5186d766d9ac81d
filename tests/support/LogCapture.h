// Collects the debug-log lines written while it is alive, from any thread
// (the acquisition thread and the recorder log too). Shared by every test
// that checks a log line.
#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <mutex>

namespace testsupport {

class LogCapture {
public:
    LogCapture() { instance() = this; previous = qInstallMessageHandler(&LogCapture::handler); }
    ~LogCapture() { qInstallMessageHandler(previous); instance() = nullptr; }

    QStringList lines() const { std::lock_guard<std::mutex> l(mutex); return captured; }
    // Lines that begin with `prefix`.
    int count(const QString& prefix) const
    {
        std::lock_guard<std::mutex> l(mutex);
        int n = 0;
        for (const QString& line : captured)
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }
    // Lines that contain `part` anywhere.
    int countContaining(const QString& part) const
    {
        std::lock_guard<std::mutex> l(mutex);
        return int(captured.filter(part).size());
    }

private:
    static LogCapture*& instance() { static LogCapture* p = nullptr; return p; }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& msg)
    {
        if (LogCapture* self = instance()) {
            std::lock_guard<std::mutex> l(self->mutex);
            self->captured << msg;
        }
    }
    QtMessageHandler previous = nullptr;
    mutable std::mutex mutex;  // std::mutex so that ThreadSanitizer sees it
    QStringList captured;
};

} // namespace testsupport
