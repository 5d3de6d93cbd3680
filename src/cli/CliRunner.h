#pragma once

#include "CliSession.h"

#include <QCommandLineParser>
#include <QJsonObject>
#include <QStringList>

#include <memory>

namespace q48 {

class CliPrompts;
class ProgressLine;

// q48ctl's commands: parses the command line, runs one command over a CliSession and prints
// its results. Returns the process exit code.
class CliRunner {
public:
    explicit CliRunner(const QStringList &arguments);
    ~CliRunner();

    int run();

private:
    struct Command;

    int parse();
    int usageError(const QString &text);
    int fail(int code, const QString &text);
    void result(const QJsonObject &json, const QString &text);

    void makeSession();
    // A session that has read Ver.ini and connected as the main window would.
    bool connectSession();
    // The -o file of a command that saves what the device sends: given, writable, and the save
    // question answered. ExitOk, or the exit code of what is wrong.
    int takeSaveFile(const QString &missing, const QString &what);
    int kindOption(bool required, int *kind);
    int slotOption(int kind, int *slot);
    int channelOption(int kind, int *channel);
    int checkWritable(const QString &path);
    int needAnswers(const QString &what);
    int fromSession();

    int runDiscover();
    int runPresetsList();
    int runPresetsSave();
    int runPresetsDelete();
    int runPresetsRead();
    int runPresetsWrite();
    int runMemoryExport();
    int runMemoryImport();
    int runFirmware();
    int runDsp();
    int runCArray();

    QStringList m_arguments;
    QCommandLineParser m_parser;
    QStringList m_words; // command words, then positional files
    QString m_command;
    QStringList m_positional;
    bool m_json = false;
    std::unique_ptr<CliPrompts> m_prompts;
    std::unique_ptr<ProgressLine> m_progress;
    CliSession::Settings m_settings;
    std::unique_ptr<CliSession> m_session;
    int m_rebootTimeout = -1;
    int m_rebootDelay = -1;
    int m_pauseMs = -1;
};

} // namespace q48
