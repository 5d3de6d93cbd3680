#include "TFPresetNameSave.h"
#include "ui_TFPresetNameSave.h"

#include "AppLook.h"
#include "UserPrompts.h"
#include "presets/TData.h"

TFPresetNameSave::TFPresetNameSave(q48::TData &data, q48::UserPrompts &prompts, QWidget *parent)
    : QDialog(parent), ui(new Ui::TFPresetNameSave), m_data(data), m_prompts(prompts)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(q48::appIcon());
    q48::growToFit(ui->RzLabel2);
    connect(ui->prestSaveBtn, &QPushButton::clicked, this, &TFPresetNameSave::prestSaveBtnClick);
    connect(ui->CSwitchButton2, &QPushButton::clicked, this, &TFPresetNameSave::CSwitchButton2Click);
}

TFPresetNameSave::~TFPresetNameSave()
{
    delete ui;
}

QString TFPresetNameSave::enteredName() const
{
    return ui->edPstname->text().trimmed();
}

void TFPresetNameSave::prestSaveBtnClick()
{
    const QString name = enteredName();
    if (name.size() < 2) {
        m_prompts.message(QStringLiteral("cannot empty......"));
        return;
    }
    m_data.setPresetName(presetKind, presetSlot, name);
    accept();
}

void TFPresetNameSave::CSwitchButton2Click()
{
    reject();
}
