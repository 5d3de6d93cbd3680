#pragma once

#include "GuiPrompts.h"
#include "firmware/VersionFile.h"
#include "link/WindowRegistry.h"

#include <QMainWindow>

namespace Ui {
class TMainForm;
}

namespace q48 {
class PresetActions;
class TData;
} // namespace q48

class QPlainTextEdit;
class TFirmwareWindow;
class TPrsetSaveLoadForm;

// The main window: connection controls, the two feature buttons, the About menu and the hidden
// engineering page. The program's core objects hang off it; it only shows and forwards.
class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    static constexpr int kShownWidth = 692;

    TMainForm(q48::WindowRegistry &registry, q48::TData &data, QWidget *parent = nullptr);
    ~TMainForm() override;

    // Offers the engineering page and its export button.
    void setEngineering(bool on);
    void setVersionInfo(const q48::VersionInfo &info);
    const q48::VersionInfo &versionInfo() const { return m_info; }
    // Window caption and application title together, as the version file sets them.
    void setCaption(const QString &caption);
    void setPresetActions(q48::PresetActions *actions) { m_presetActions = actions; }
    q48::UserPrompts &prompts() { return m_prompts; }

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

    void FormShow();

signals:
    void connectRequested();
    void refreshRequested();
    void dspDownloadRequested(int selection);
    void dspExportRequested(int selection);
    // Emitted before the window runs, so its signals can be tied to the core.
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
    q48::WindowRegistry &m_registry;
    q48::TData &m_data;
    q48::GuiPrompts m_prompts;
    q48::VersionInfo m_info;
    q48::PresetActions *m_presetActions = nullptr;
    bool m_engineering = false;
    bool m_shown = false;
};
