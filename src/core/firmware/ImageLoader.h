#pragma once

#include "firmware/ImageStore.h"

#include <QObject>
#include <QString>

#include <atomic>

class QThread;

namespace q48 {

class UserPrompts;

// Reads the four firmware images on a worker thread once per run and hands the finished store
// back to this object's thread. When one is missing the user is told once.
class ImageLoader : public QObject {
    Q_OBJECT

public:
    explicit ImageLoader(UserPrompts *prompts = nullptr, QObject *parent = nullptr);
    ~ImageLoader() override;

    // Starts the check; does nothing if it was started before.
    void startImageCheck(const QString &libDir);
    bool isCheckStarted() const { return m_thread != nullptr; }
    bool isCheckDone() const { return m_done; }
    bool isCheckRunning() const;
    // Keeps events flowing until the check has finished or the time is up; true when done.
    bool waitForCheck(int timeoutMs = 30000);
    // Ends a check still under way and joins the worker; a check cut short hands back nothing.
    void stopCheck();

    // The images as loaded; all empty until the check has finished.
    const ImageStore &store() const { return m_store; }

signals:
    void checkFinished(bool allLoaded);

private:
    void imageCheckThread(const QString &libDir);
    void takeResult(const ImageStore &store, bool allLoaded, bool crashed);

    UserPrompts *m_prompts;
    QThread *m_thread = nullptr;
    std::atomic<bool> m_stop{false};
    bool m_done = false;
    ImageStore m_store;
};

} // namespace q48
