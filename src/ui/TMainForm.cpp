#include "TMainForm.h"
#include "ui_TMainForm.h"

#include "AppLook.h"
#include "AppTitle.h"
#include "TFirmwareWindow.h"
#include "TPrsetSaveLoadForm.h"
#include "TfmAbout.h"
#include "firmware/CArrayExport.h"
#include "firmware/FirmwareRun.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>

TMainForm::TMainForm(const q48::ServiceCore::Options &options, q48::UserPrompts *prompts, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::TMainForm), m_guiPrompts(this),
      m_prompts(prompts ? *prompts : m_guiPrompts), m_outputDir(options.outputDir),
      m_core(std::make_unique<q48::ServiceCore>(m_prompts, options)),
      m_presetActions(std::make_unique<q48::CorePresetActions>(*m_core))
{
    ui->setupUi(this);
    // Only the system menu and the close button: the layout is drawn for one size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setWindowIcon(q48::appIcon());
    q48::fitTextSize(ui->libtitle, 15);
    q48::growToFit(ui->Label8);
    applyWidth(kStoredWidth);
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->TabSheet2), false);

    connect(ui->connectButton, &QPushButton::clicked, this, &TMainForm::connectButtonClick);
    connect(ui->refleshBtn, &QPushButton::clicked, this, &TMainForm::refleshBtnClick);
    connect(ui->upateFirmwareBtn, &QPushButton::clicked, this, &TMainForm::upateFirmwareBtnClick);
    connect(ui->saveloadBtn, &QPushButton::clicked, this, &TMainForm::saveloadBtnClick);
    connect(ui->Version1, &QAction::triggered, this, &TMainForm::Version1Click);
    connect(ui->DSPbtn1, &QPushButton::clicked, this, &TMainForm::DSPbtn1Click);
    connect(ui->btnClear, &QPushButton::clicked, this, &TMainForm::btnClearClick);
    connect(ui->Button4, &QPushButton::clicked, this, &TMainForm::dspSendClick);
    connect(ui->lineM, &QPlainTextEdit::textChanged, this, [this] { moChange(ui->lineM); });
    connect(ui->recever, &QPlainTextEdit::textChanged, this, [this] { moChange(ui->recever); });
    ui->lineM->viewport()->installEventFilter(this);

    q48::ServiceCore &core = *m_core;
    connect(&core.connection, &q48::ConnectionManager::ledChanged, this, &TMainForm::setLedActive);
    connect(&core.connection, &q48::ConnectionManager::captionChanged, this, &TMainForm::setConnectCaption);
    connect(&core.discovery, &q48::Discovery::ipLabelChanged, this, &TMainForm::setDeviceText);
    connect(&core.discovery, &q48::Discovery::refreshEnabledChanged, this, &TMainForm::setRefreshEnabled);
    connect(&core.dsp, &q48::DspReadback::progressChanged, this, &TMainForm::setDspProgress);
}

TMainForm::~TMainForm()
{
    // The link's close events must not reach controls that are already gone.
    FormClose();
    m_core->disconnect(this);
    m_core->connection.disconnect(this);
    m_core->discovery.disconnect(this);
    m_core->dsp.disconnect(this);
    delete ui;
    ui = nullptr;
}

void TMainForm::FormCreate()
{
    m_core->startDiscovery();
}

void TMainForm::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    m_core->shutdown();
}

void TMainForm::applyWidth(int width)
{
    setFixedSize(width, 445 + ui->MainMenu1->sizeHint().height());
}

void TMainForm::setEngineering(bool on)
{
    m_engineering = on;
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->TabSheet2), on);
    ui->Button4->setVisible(on);
}

void TMainForm::setCaption(const QString &caption)
{
    setWindowTitle(caption);
    q48::setApplicationTitle(caption);
}

void TMainForm::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TMainForm::FormShow()
{
    ui->PageControl1->setTabVisible(ui->PageControl1->indexOf(ui->TabSheet2), m_engineering);
    // The engineering memo sits right of the narrowed window: an engineer keeps the full width.
    ui->lineM->setVisible(m_engineering);
    applyWidth(m_engineering ? kStoredWidth : kShownWidth);
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    m_core->startProbingAndLoad();
    setCaption(m_core->version.caption());
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Never refused: the window closes also while connected or in the middle of a transfer.
    emit closing();
    FormClose();
    event->accept();
}

void TMainForm::setLedActive(bool on)
{
    ui->xled->setActive(on);
}

void TMainForm::setRefreshEnabled(bool on)
{
    ui->refleshBtn->setEnabled(on);
}

void TMainForm::setConnectCaption(const QString &caption)
{
    ui->connectButton->setText(caption);
}

void TMainForm::setDeviceText(const QString &text)
{
    ui->ipLabel->setText(text);
    // A long port path does not fit the label; the whole name is one hover away.
    ui->ipLabel->setToolTip(text);
}

int TMainForm::dspSelection() const
{
    return ui->mcuType->itemIndex();
}

void TMainForm::setDspProgress(int position)
{
    ui->ProgressBar6->setValue(qBound(ui->ProgressBar6->minimum(), position, ui->ProgressBar6->maximum()));
}

int TMainForm::dspProgress() const
{
    return ui->ProgressBar6->value();
}

void TMainForm::showExportedFile(const QString &fileName)
{
    ui->edInput->clear();
    if (!fileName.isEmpty())
        ui->edInput->appendPlainText(fileName);
}

void TMainForm::connectButtonClick()
{
    m_core->connection.connectButtonClick();
}

void TMainForm::refleshBtnClick()
{
    m_core->discovery.refleshBtnClick();
}

void TMainForm::upateFirmwareBtnClick()
{
    q48::ServiceCore &core = *m_core;
    TFirmwareWindow window(core.link.windows(), &core.firmware, this);
    window.setVersionTexts(core.data.mcuVer, core.data.keyVer, core.data.dsp1Ver, core.data.dsp2Ver);
    window.run()->setRebootDelay(core.version.rebootDelay);
    emit firmwareWindowOpening(&window);
    window.exec();
}

void TMainForm::saveloadBtnClick()
{
    TPrsetSaveLoadForm window(m_core->link.windows(), m_core->data, m_prompts, m_presetActions.get(), this);
    emit presetWindowOpening(&window);
    window.exec();
}

void TMainForm::Version1Click()
{
    TfmAbout about(m_core->version, this);
    about.exec();
}

void TMainForm::moChange(QPlainTextEdit *memo)
{
    if (memo->blockCount() > 100)
        memo->clear();
}

void TMainForm::lineMDblClick()
{
    ui->lineM->clear();
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->lineM->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        lineMDblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::DSPbtn1Click()
{
    m_core->dsp.DSPbtn1Click(dspSelection());
}

void TMainForm::btnClearClick() {}

void TMainForm::dspSendClick()
{
    const QString result = q48::dspSendClick(dspSelection(), m_prompts, m_outputDir);
    if (result.isNull())
        return;
    showExportedFile(result == QLatin1String("0") ? QString() : result);
}
