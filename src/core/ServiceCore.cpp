#include "ServiceCore.h"

#include <QCoreApplication>
#include <QDir>

namespace q48 {

ServiceCore::ServiceCore(UserPrompts &prompts, const Options &options, QObject *parent)
    : QObject(parent), link(prompts), images(&prompts), presetFiles(prompts, link.notifier()),
      memoryFiles(prompts), presets(link, link.notifier(), data, presetFiles),
      memory(link, link.notifier(), prompts, memoryImage, memoryFiles), firmware(link, prompts, images),
      dsp(link, link.watchdog(), prompts, options.outputDir),
      discovery(options.endpoints, options.discoveryTimings),
      connection(link, discovery, prompts, options.endpoints, [this] { presets.requestPresetList(0); }),
      m_prompts(prompts), m_libDir(options.libDir.isEmpty() ? defaultLibDir() : options.libDir)
{
    Dispatcher &dispatcher = link.dispatcher();
    presets.registerHandlers(dispatcher);
    memory.registerHandlers(dispatcher);
    firmware.registerHandlers(dispatcher);
    dsp.registerHandlers(dispatcher);
}

ServiceCore::~ServiceCore() { shutdown(); }

QString ServiceCore::defaultLibDir()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("lib"));
}

void ServiceCore::startDiscovery() { discovery.startDiscovery(); }

void ServiceCore::startProbingAndLoad()
{
    discovery.startProbing();
    startImageCheck();
    loadVersionFile();
}

bool ServiceCore::loadVersionFile()
{
    const bool ok = q48::loadVersionFile(m_libDir, data, version, &m_prompts);
    setUtype(version.utype);
    return ok;
}

void ServiceCore::startImageCheck() { images.startImageCheck(m_libDir); }

void ServiceCore::setUtype(int utype)
{
    version.utype = utype;
    link.setUtype(utype);
    presetFiles.setUtype(utype);
    presets.setUtype(utype);
}

void ServiceCore::shutdown()
{
    if (m_shutDown)
        return;
    m_shutDown = true;
    discovery.stop();
    images.stopCheck();
    connection.releaseLink();
    link.releaseLink();
}

} // namespace q48
