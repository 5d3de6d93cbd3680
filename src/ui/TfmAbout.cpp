#include "TfmAbout.h"
#include "ui_TfmAbout.h"

#include "AppLook.h"
#include "AppTitle.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

TfmAbout::TfmAbout(const q48::VersionInfo &info, QWidget *parent)
    : QDialog(parent), ui(new Ui::TfmAbout), m_info(info)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowIcon(q48::appIcon());
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    q48::ensureGuiResources();
    // Rendered at the screen's pixel ratio so the picture stays sharp when scaled.
    ui->aboutImg->setPixmap(QIcon(QStringLiteral(":/q48/about.svg")).pixmap(ui->aboutImg->size()));

    QFont link = ui->netul->font();
    link.setUnderline(true);
    ui->netul->setFont(link);
    ui->netul->setForegroundRole(QPalette::Highlight);
    ui->netul->setCursor(Qt::PointingHandCursor);
    ui->netul->setFocusPolicy(Qt::StrongFocus);
    ui->netul->installEventFilter(this);

    ui->compLabel->setText(m_info.compName);
}

TfmAbout::~TfmAbout()
{
    delete ui;
}

void TfmAbout::showEvent(QShowEvent *event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TfmAbout::FormShow()
{
    ui->lbpro->setText(m_info.appName);
    ui->lbv->setText(m_info.appVer);
    setWindowTitle(q48::applicationTitle());
    ui->netul->setText(m_info.appUrl);
    ui->netul->setToolTip(m_info.appUrl);
}

bool TfmAbout::isOpenableAddress(const QString &address)
{
    const QUrl url = QUrl::fromUserInput(address.trimmed());
    return url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

void TfmAbout::netulClick()
{
    // The address comes from a text file; never let it launch a local program.
    const QString address = ui->netul->text().trimmed();
    if (isOpenableAddress(address))
        QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

bool TfmAbout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->netul) {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            netulClick();
            return true;
        }
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                netulClick();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}
