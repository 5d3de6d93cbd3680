#include "ImageLoader.h"

#include "UserPrompts.h"
#include "link/DebugLog.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace q48 {

ImageLoader::ImageLoader(UserPrompts *prompts, QObject *parent) : QObject(parent), m_prompts(prompts) {}

ImageLoader::~ImageLoader()
{
    stopCheck();
    delete m_thread;
}

bool ImageLoader::isCheckRunning() const
{
    return m_thread && m_thread->isRunning();
}

void ImageLoader::stopCheck()
{
    if (!m_thread)
        return;
    m_stop = true;
    m_thread->wait();
}

void ImageLoader::startImageCheck(const QString &libDir)
{
    if (m_thread)
        return;
    m_thread = QThread::create([this, libDir] { imageCheckThread(libDir); });
    m_thread->setObjectName(QStringLiteral("imageCheckThread"));
    m_thread->start();
}

// Runs on the worker. It fills a store of its own and hands it over by value, so the two
// threads never share the buffers.
void ImageLoader::imageCheckThread(const QString &libDir)
{
    ImageStore store;
    bool allLoaded = false;
    bool crashed = false;
    try {
        allLoaded = store.loadAllImages(libDir, &m_stop);
    } catch (...) {
        crashed = true;
    }
    if (m_stop)
        return;
    QMetaObject::invokeMethod(
        this, [this, store = std::move(store), allLoaded, crashed] { takeResult(store, allLoaded, crashed); },
        Qt::QueuedConnection);
}

void ImageLoader::takeResult(const ImageStore &store, bool allLoaded, bool crashed)
{
    m_store = store;
    m_done = true;
    if (crashed)
        qCWarning(lcFirmware) << "the firmware image check failed";
    else if (!allLoaded && m_prompts)
        m_prompts->message(QStringLiteral("One of the firmware has been lost~!"),
                           QStringLiteral("Firmware Detected waring!"));
    emit checkFinished(allLoaded);
}

bool ImageLoader::waitForCheck(int timeoutMs)
{
    if (m_done || !m_thread)
        return m_done;
    QEventLoop loop;
    connect(this, &ImageLoader::checkFinished, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return m_done;
}

} // namespace q48
