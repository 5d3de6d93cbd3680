#pragma once

#include "connection/ConnectionManager.h"
#include "connection/Discovery.h"
#include "connection/Endpoints.h"
#include "firmware/DspReadback.h"
#include "firmware/FirmwareProgrammer.h"
#include "firmware/ImageLoader.h"
#include "firmware/VersionFile.h"
#include "link/LinkCore.h"
#include "presets/MemoryFiles.h"
#include "presets/MemoryImage.h"
#include "presets/MemoryTransfer.h"
#include "presets/PresetCommands.h"
#include "presets/PresetFiles.h"
#include "presets/TData.h"

#include <QObject>
#include <QString>

namespace q48 {

class UserPrompts;

// The whole tool without its front end: the link, the name store, the version values, the
// images, presets, memory, firmware, DSP read-back, discovery and the connect button. The main
// window and the command line each own one and stay thin.
class ServiceCore : public QObject {
    Q_OBJECT
public:
    struct Options {
        DiscoveryEndpoints endpoints;
        DiscoveryTimings discoveryTimings;
        // Ver.ini and the four images; empty means the lib folder beside the executable.
        QString libDir;
        // Where DSP read-backs and C arrays go; empty means the executable's folder.
        QString outputDir;
    };

    ServiceCore(UserPrompts &prompts, const Options &options, QObject *parent = nullptr);
    ~ServiceCore() override;

    // The lib folder beside the running executable.
    static QString defaultLibDir();

    // Window creation: the serial sweep and the UDP search start.
    void startDiscovery();
    // Window show: the TCP probe ticks, the images are checked and Ver.ini is read.
    void startProbingAndLoad();
    // Reads Ver.ini and hands utype to everything that sizes scene presets. Called by
    // startProbingAndLoad; the command line calls it on its own.
    bool loadVersionFile();
    // Checks the images on the worker; the command line calls it on its own.
    void startImageCheck();
    // Stops discovery and every worker, releases the link; returns with the threads joined.
    void shutdown();

    void setUtype(int utype);
    int utype() const { return version.utype; }
    QString libDir() const { return m_libDir; }

    UserPrompts &prompts() { return m_prompts; }
    LinkCore link;
    TData data;
    VersionInfo version;
    ImageLoader images;
    PresetFiles presetFiles;
    MemoryImage memoryImage;
    MemoryFiles memoryFiles;
    PresetCommands presets;
    MemoryTransfer memory;
    FirmwareProgrammer firmware;
    DspReadback dsp;
    Discovery discovery;
    ConnectionManager connection;

private:
    UserPrompts &m_prompts;
    QString m_libDir;
    bool m_shutDown = false;
};

} // namespace q48
