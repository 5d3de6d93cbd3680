#pragma once

#include <QDialog>

namespace Ui {
class TFPresetNameSave;
}

namespace q48 {
class TData;
class UserPrompts;
} // namespace q48

// Asks for the name of a preset slot and writes it into the name store on OK.
class TFPresetNameSave : public QDialog {
    Q_OBJECT

public:
    TFPresetNameSave(q48::TData &data, q48::UserPrompts &prompts, QWidget *parent = nullptr);
    ~TFPresetNameSave() override;

    int presetKind = 0;
    int presetSlot = 0;

    QString enteredName() const;

public slots:
    void prestSaveBtnClick();
    void CSwitchButton2Click();

private:
    Ui::TFPresetNameSave *ui;
    q48::TData &m_data;
    q48::UserPrompts &m_prompts;
};
