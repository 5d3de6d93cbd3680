#pragma once

#include "link/WindowRegistry.h"

#include <QDialog>

#include <optional>

namespace Ui {
class TPrsetSaveLoadForm;
}

namespace q48 {
class PresetActions;
class TData;
class UserPrompts;
} // namespace q48

// The preset manager: the slot names of one preset kind, save/delete/load/recall of presets,
// and the start of a memory export or import. Hears the link events while it is open.
class TPrsetSaveLoadForm : public QDialog, public q48::NotifyTarget {
    Q_OBJECT

public:
    static inline const QString kNoSelection = QStringLiteral("No item selected or selected item is empty");

    // `actions` may be null: then nothing is sent and the link counts as down.
    TPrsetSaveLoadForm(q48::WindowRegistry &registry, q48::TData &data, q48::UserPrompts &prompts,
                       q48::PresetActions *actions, QWidget *parent = nullptr);
    ~TPrsetSaveLoadForm() override;

    // The pause before each device command; one second on the real device.
    void setActionDelay(int milliseconds) { m_actionDelayMs = milliseconds; }

    int selectedSlot() const { return m_selectedSlot; }
    int currentMode() const;
    int currentKind() const;
    bool isDeviceMode() const;
    // The selected slot for a device command, after the one-second wait; -1 (and nothing
    // waited) without a selection, which the status then says, or in Local Computer mode.
    int selectedSlotAfterWait();

    void refreshPresetList();
    void fillPresetList(int kind);
    void fillChannelList(int kind);
    void showModeStatus(int mode);
    void showBusy(bool on);
    void enableControls(bool on);
    void selectMemoryButton(int which);
    void setProgressMaximum(int maximum);
    void setProgressPosition(int position);
    void setStatus(const QString &text);

    long handleNotify(int message, qintptr wParam, qintptr lParam) override;
    void handleLinkNotify(qintptr wParam, qintptr lParam);

    void FormShow();

public slots:
    void presetTypeRadioClick();
    void devTypeRadioClick();
    void preListClick();
    void preListDblClick();
    void saveBtnClick();
    void deleteBtnClick();
    void loadBtnClick();
    void recallBtnClick();
    void memImptBtnClick();
    void memExptBtnClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormCreate();
    bool linkUp() const;
    int channelIndex() const;

    Ui::TPrsetSaveLoadForm *ui;
    q48::TData &m_data;
    q48::UserPrompts &m_prompts;
    q48::PresetActions *m_actions;
    int m_selectedSlot = -1;
    int m_actionDelayMs = 1000;
    std::optional<q48::WindowRegistration> m_registration;
};
