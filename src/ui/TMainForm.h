#pragma once

#include "CorePresetActions.h"
#include "GuiPrompts.h"
#include "ServiceCore.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class TMainForm;
}

class QPlainTextEdit;
class TFirmwareWindow;
class TPrsetSaveLoadForm;

// The main window: connection controls, the two feature buttons, the About menu and the hidden
// engineering page. It owns the program's core and only shows and forwards.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kStoredWidth = 947;
    static constexpr int kShownWidth = 692;

    // `prompts` replaces the message boxes and file dialogs (tests script them); null means the
    // real ones, in front of the window that asked.
    explicit TMainForm(const q48::ServiceCore::Options &options, q48::UserPrompts *prompts = nullptr,
                       QWidget *parent = nullptr);
    ~TMainForm() override;

    q48::ServiceCore &core() { return *m_core; }
    q48::UserPrompts &prompts() { return m_prompts; }

    // Offers the engineering page and its export button.
    void setEngineering(bool on);
    const q48::VersionInfo &versionInfo() const { return m_core->version; }
    // Window caption and application title together, as the version file sets them.
    void setCaption(const QString &caption);

    // Connection display.
    void setLedActive(bool on);
    void setRefreshEnabled(bool on);
    void setConnectCaption(const QString &caption);
    void setDeviceText(const QString &text);

    // Engineering page.
    int dspSelection() const;
    void setDspProgress(int position);
    int dspProgress() const;
    void showExportedFile(const QString &fileName);

    // Discovery starts here, before the window is shown.
    void FormCreate();
    void FormShow();
    // Stops discovery and every worker, releases the link and joins the threads. Runs once.
    void FormClose();

signals:
    // Emitted before the window runs, so a caller can tune or watch it.
    void firmwareWindowOpening(TFirmwareWindow *window);
    void presetWindowOpening(TPrsetSaveLoadForm *window);
    void closing();

public slots:
    void connectButtonClick();
    void refleshBtnClick();
    void upateFirmwareBtnClick();
    void saveloadBtnClick();
    void Version1Click();
    void lineMDblClick();
    void DSPbtn1Click();
    void btnClearClick();
    void dspSendClick();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moChange(QPlainTextEdit *memo);
    void applyWidth(int width);

    Ui::TMainForm *ui;
    q48::GuiPrompts m_guiPrompts;
    q48::UserPrompts &m_prompts;
    QString m_outputDir;
    std::unique_ptr<q48::ServiceCore> m_core;
    std::unique_ptr<q48::CorePresetActions> m_presetActions;
    bool m_engineering = false;
    bool m_shown = false;
    bool m_closed = false;
};
