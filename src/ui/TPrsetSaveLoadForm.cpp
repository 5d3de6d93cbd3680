#include "TPrsetSaveLoadForm.h"
#include "ui_TPrsetSaveLoadForm.h"

#include "AppLook.h"
#include "PresetActions.h"
#include "TFPresetNameSave.h"
#include "link/DebugLog.h"
#include "link/PumpWait.h"
#include "presets/PresetKinds.h"
#include "presets/TData.h"

#include <QShowEvent>

namespace {
const char *const modeLabels[4] = {" Scene", " DSP Channel", " DFX", " GEQ"};
} // namespace

TPrsetSaveLoadForm::TPrsetSaveLoadForm(q48::WindowRegistry &registry, q48::TData &data,
                                       q48::UserPrompts &prompts, q48::PresetActions *actions,
                                       QWidget *parent)
    : QDialog(parent), ui(new Ui::TPrsetSaveLoadForm), m_data(data), m_prompts(prompts), m_actions(actions)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(q48::appIcon());
    q48::growToFit(ui->RzLabel1);
    q48::growToFit(ui->Label1);
    q48::growToFit(ui->Label2);

    QPalette gauge = ui->pbar->palette();
    gauge.setColor(QPalette::Highlight, QColor(0, 200, 0));
    ui->pbar->setPalette(gauge);

    connect(ui->presetTypeRadio, &q48::RadioGroup::itemClicked, this,
            &TPrsetSaveLoadForm::presetTypeRadioClick);
    connect(ui->devTypeRadio, &q48::RadioGroup::itemClicked, this, &TPrsetSaveLoadForm::devTypeRadioClick);
    connect(ui->preList, &QListWidget::itemClicked, this, &TPrsetSaveLoadForm::preListClick);
    connect(ui->preList, &QListWidget::currentRowChanged, this, &TPrsetSaveLoadForm::preListClick);
    connect(ui->preList, &QListWidget::itemDoubleClicked, this, &TPrsetSaveLoadForm::preListDblClick);
    connect(ui->saveBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::saveBtnClick);
    connect(ui->deleteBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::deleteBtnClick);
    connect(ui->loadBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::loadBtnClick);
    connect(ui->recallBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::recallBtnClick);
    connect(ui->memImptBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::memImptBtnClick);
    connect(ui->memExptBtn, &QPushButton::clicked, this, &TPrsetSaveLoadForm::memExptBtnClick);

    FormCreate();
    m_registration.emplace(registry, q48::kPresetWindowClass, this);
}

TPrsetSaveLoadForm::~TPrsetSaveLoadForm()
{
    // Events that arrive from now on are lost, as for a closed window.
    m_registration.reset();
    delete ui;
}

void TPrsetSaveLoadForm::FormCreate()
{
    ui->stsEd->setReadOnly(true);
    showModeStatus(0);
    showBusy(false);
}

void TPrsetSaveLoadForm::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        FormShow();
    QDialog::showEvent(event);
}

void TPrsetSaveLoadForm::FormShow()
{
    refreshPresetList();
    enableControls(true);
    showBusy(false);
}

bool TPrsetSaveLoadForm::linkUp() const
{
    return m_actions && m_actions->isConnected();
}

int TPrsetSaveLoadForm::channelIndex() const
{
    // An empty channel list (Scene opened first) counts as the first channel.
    return qMax(0, ui->chBx->currentIndex());
}

int TPrsetSaveLoadForm::currentMode() const
{
    return q48::modeIndexOfItem(qMax(0, ui->presetTypeRadio->itemIndex()));
}

int TPrsetSaveLoadForm::currentKind() const
{
    return q48::modeToKind[currentMode()];
}

bool TPrsetSaveLoadForm::isDeviceMode() const
{
    return ui->devTypeRadio->itemIndex() == 0;
}

void TPrsetSaveLoadForm::setStatus(const QString &text)
{
    ui->stsEd->setText(text);
    ui->stsEd->setCursorPosition(0);
}

void TPrsetSaveLoadForm::refreshPresetList()
{
    const int kind = currentKind();
    fillChannelList(kind);
    if (isDeviceMode())
        fillPresetList(kind);
    m_selectedSlot = -1;
    ui->preList->setCurrentRow(-1);
    ui->preList->clearSelection();
}

void TPrsetSaveLoadForm::fillPresetList(int kind)
{
    if (!q48::isPresetKind(kind))
        return;
    const QSignalBlocker quiet(ui->preList);
    ui->preList->clear();
    const int count = q48::slotCount(kind);
    for (int i = 0; i < count; ++i) {
        // A device name ends at its first zero byte, as the list always showed it.
        QString line = m_data.presetLine(i, kind);
        const qsizetype zero = line.indexOf(QChar(0));
        if (zero >= 0)
            line.truncate(zero);
        ui->preList->addItem(line);
    }
}

void TPrsetSaveLoadForm::fillChannelList(int kind)
{
    q48::debugLogNumber(QStringLiteral("smode click index is : "), kind, q48::lcPresets());
    ui->chboxPanel->setVisible(kind == q48::kKindDspChannel || kind == q48::kKindGeq);
    if (kind == q48::kKindScene || !q48::isPresetKind(kind))
        return;
    ui->chBx->clear();
    ui->chBx->addItems(q48::channelRun(kind));
    ui->chBx->setCurrentIndex(0);
}

void TPrsetSaveLoadForm::showModeStatus(int mode)
{
    if (mode < 0 || mode > 3)
        return;
    q48::debugLogNumber(QStringLiteral("choose diff value is  "), mode, q48::lcPresets());
    setStatus(QStringLiteral("Choose Mode Type:") + QLatin1String(modeLabels[mode]));
}

void TPrsetSaveLoadForm::showBusy(bool on)
{
    if (on) {
        if (!linkUp())
            return;
        ui->cirBar->setEnabled(true);
        ui->cirBar->setPosition(0);
        ui->cirBar->show();
    } else {
        ui->cirBar->setEnabled(false);
        ui->cirBar->setPosition(0);
        ui->cirBar->hide();
    }
}

void TPrsetSaveLoadForm::enableControls(bool on)
{
    ui->chooseGp->setEnabled(on);
    ui->choosetypeP->setEnabled(on);
    ui->memImptBtn->setEnabled(on);
    ui->memExptBtn->setEnabled(on);
}

void TPrsetSaveLoadForm::selectMemoryButton(int which)
{
    if (which == 1) {
        ui->memExptBtn->setEnabled(true);
        ui->memImptBtn->setSelected(false);
        ui->memImptBtn->setEnabled(false);
        ui->memExptBtn->setSelected(true);
    } else if (which == 0) {
        ui->memImptBtn->setSelected(true);
        ui->memImptBtn->setEnabled(true);
        ui->memExptBtn->setEnabled(false);
        ui->memExptBtn->setSelected(false);
    }
}

void TPrsetSaveLoadForm::setProgressMaximum(int maximum)
{
    ui->pbar->setMaximum(maximum);
    ui->pbar->setValue(0);
}

void TPrsetSaveLoadForm::setProgressPosition(int position)
{
    ui->pbar->setValue(qBound(ui->pbar->minimum(), position, ui->pbar->maximum()));
}

void TPrsetSaveLoadForm::presetTypeRadioClick()
{
    showModeStatus(currentMode());
    refreshPresetList();
}

void TPrsetSaveLoadForm::devTypeRadioClick()
{
    refreshPresetList();
    const bool device = isDeviceMode();
    ui->deleteBtn->setVisible(device);
    ui->saveBtn->setVisible(device);
    ui->recallBtn->setVisible(device);
}

void TPrsetSaveLoadForm::preListClick()
{
    m_selectedSlot = ui->preList->currentRow();
}

void TPrsetSaveLoadForm::preListDblClick()
{
    saveBtnClick();
}

int TPrsetSaveLoadForm::selectedSlotAfterWait()
{
    // Taken before the wait: a list refresh during it must not move the command to another slot.
    const int slot = m_selectedSlot;
    if (slot < 0) {
        setStatus(kNoSelection);
        return -1;
    }
    if (!isDeviceMode())
        return -1;
    q48::pumpingWait(m_actionDelayMs);
    return slot;
}

void TPrsetSaveLoadForm::saveBtnClick()
{
    const int kind = currentKind();
    const int slot = selectedSlotAfterWait();
    if (slot < 0)
        return;
    q48::debugLogNumber(QStringLiteral("save.... itemindex is : "), slot, q48::lcPresets());

    TFPresetNameSave dialog(m_data, m_prompts, this);
    dialog.presetKind = kind;
    dialog.presetSlot = slot;
    if (dialog.exec() == QDialog::Accepted) {
        if (m_actions)
            m_actions->sendPresetName(kind, slot, channelIndex());
        showBusy(true);
    }
}

void TPrsetSaveLoadForm::deleteBtnClick()
{
    const int kind = currentKind();
    const int slot = selectedSlotAfterWait();
    if (slot < 0)
        return;
    if (m_actions)
        m_actions->sendDeletePreset(kind, slot);
    showBusy(true);
}

void TPrsetSaveLoadForm::loadBtnClick()
{
    q48::pumpingWait(m_actionDelayMs);
    const int kind = currentKind();
    const int slot = m_selectedSlot;
    const int channel = channelIndex();
    if (isDeviceMode()) {
        if (slot < 0) {
            setStatus(kNoSelection);
            return;
        }
        if (m_actions)
            m_actions->requestPreset(kind, slot);
        showBusy(true);
        return;
    }
    if (m_actions && m_actions->readPresetFile(kind)) {
        m_actions->sendPresetData(kind, channel);
        showBusy(true);
    }
}

void TPrsetSaveLoadForm::recallBtnClick()
{
    q48::pumpingWait(m_actionDelayMs);
    showBusy(true);
    if (m_actions)
        m_actions->requestPresetList(0);
}

void TPrsetSaveLoadForm::memImptBtnClick()
{
    setProgressMaximum(30);
    selectMemoryButton(1);
    // Only a transfer that really started gets its gauge and status; a declined prompt or a
    // cancelled file dialog leaves the window as it was.
    if (m_actions && m_actions->memoryExport()) {
        ui->pbar->show();
        setStatus(QStringLiteral("Begin to export all memory to files now,please wait~~!"));
    }
}

void TPrsetSaveLoadForm::memExptBtnClick()
{
    setProgressMaximum(30);
    selectMemoryButton(0);
    // Only a transfer that really started gets its gauge and status; a declined prompt or a
    // cancelled file dialog leaves the window as it was.
    if (m_actions && m_actions->memoryImport()) {
        ui->pbar->show();
        setStatus(QStringLiteral("Begin to import memory file to device now,please wait~~!"));
    }
}

long TPrsetSaveLoadForm::handleNotify(int message, qintptr wParam, qintptr lParam)
{
    if (message == q48::WM_LINK_NOTIFY)
        handleLinkNotify(wParam, lParam);
    return 0;
}

void TPrsetSaveLoadForm::handleLinkNotify(qintptr wParam, qintptr lParam)
{
    const int value = static_cast<int>(wParam);
    switch (lParam) {
    case q48::LN_PRESET_LISTS_READ:
        refreshPresetList();
        showBusy(false);
        setStatus(QStringLiteral("Update Presets sucessfully ..~!"));
        break;
    case q48::LN_EXPORT_PACKET:
        setProgressPosition(value);
        if (value == 30) {
            setStatus(QStringLiteral("Memory export from device over .....~!"));
            ui->pbar->hide();
        }
        break;
    case q48::LN_TRANSFER_STATE:
        enableControls(value == 1);
        ui->pbar->hide();
        break;
    case q48::LN_PRESET_WRITTEN:
        if (q48::isPresetKind(value)) {
            setStatus(QStringLiteral("Load %1 from local finished ~!").arg(q48::kindLabel(value)));
            showBusy(false);
        }
        break;
    case q48::LN_PRESET_READ:
        showBusy(false);
        break;
    case q48::LN_PRESET_FILE_REJECTED:
        setStatus(QStringLiteral("The preset mismatch current mode type or file is invalided"));
        showBusy(false);
        break;
    case q48::LN_IMPORT_PACKET:
        setProgressPosition(value);
        if (value == 30) {
            ui->pbar->hide();
            setStatus(QStringLiteral(
                "Memory export over ,begin to synchronize presetList from device,waiting.....~!"));
            showBusy(true);
            if (m_actions)
                m_actions->requestPresetList(0);
        }
        break;
    default:
        break;
    }
}
