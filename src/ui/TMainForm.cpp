#include "TMainForm.h"
#include "ui_TMainForm.h"

#include "AppLook.h"
#include "AppTitle.h"
#include "TFirmwareWindow.h"
#include "TPrsetSaveLoadForm.h"
#include "TfmAbout.h"
#include "presets/TData.h"

#include <QCloseEvent>
#include <QScreen>
#include <QShowEvent>

TMainForm::TMainForm(q48::WindowRegistry &registry, q48::TData &data, QWidget *parent)
    : QMainWindow(parent), ui(new Ui::TMainForm), m_registry(registry), m_data(data), m_prompts(this)
{
    ui->setupUi(this);
    // Only the system menu and the close button: the layout is drawn for one size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::CustomizeWindowHint);
    setWindowIcon(q48::appIcon());
    q48::fitTextSize(ui->libtitle, 15);
    q48::growToFit(ui->Label8);
    applyWidth(947);
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
}

TMainForm::~TMainForm()
{
    delete ui;
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

void TMainForm::setVersionInfo(const q48::VersionInfo &info)
{
    m_info = info;
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
    ui->lineM->hide();
    applyWidth(kShownWidth);
    if (const QScreen *screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    setRefreshEnabled(true);
}

void TMainForm::closeEvent(QCloseEvent *event)
{
    // Never refused: the window closes also while connected or in the middle of a transfer.
    emit closing();
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
    emit connectRequested();
}

void TMainForm::refleshBtnClick()
{
    emit refreshRequested();
}

void TMainForm::upateFirmwareBtnClick()
{
    TFirmwareWindow window(m_registry, this);
    window.setVersionTexts(m_data.mcuVer, m_data.keyVer, m_data.dsp1Ver, m_data.dsp2Ver);
    emit firmwareWindowOpening(&window);
    window.exec();
}

void TMainForm::saveloadBtnClick()
{
    TPrsetSaveLoadForm window(m_registry, m_data, m_prompts, m_presetActions, this);
    emit presetWindowOpening(&window);
    window.exec();
}

void TMainForm::Version1Click()
{
    TfmAbout about(m_info, this);
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
    emit dspDownloadRequested(dspSelection());
}

void TMainForm::btnClearClick() {}

void TMainForm::dspSendClick()
{
    const int selection = dspSelection();
    if (selection < 0)
        return;
    emit dspExportRequested(selection);
}
