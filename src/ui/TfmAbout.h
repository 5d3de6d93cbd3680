#pragma once

#include "firmware/VersionFile.h"

#include <QDialog>

namespace Ui {
class TfmAbout;
}

// The About box: product name, version, company and web address from the version file.
class TfmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfmAbout(const q48::VersionInfo &info, QWidget *parent = nullptr);
    ~TfmAbout() override;

    void FormShow();
    // Opens the address the link label shows; only web addresses are handed to the system.
    void netulClick();
    // True when netulClick would open `address`; false for anything but http(s).
    static bool isOpenableAddress(const QString &address);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    Ui::TfmAbout *ui;
    q48::VersionInfo m_info;
};
