#include "app/aboutform.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/shell_logic.h"
#include "core/messages.h"

aboutform::aboutform(QWidget* parent) : aboutform(kx::PlatformSystemInfo(), parent) {}

aboutform::aboutform(kx::SystemInfoHost& host, QWidget* parent)
    : ScreenDialog(parent), host_(host) {
    const QString title = QString::fromUtf8(kx::ApplicationTitle);
    setObjectName(QStringLiteral("aboutform"));
    setWindowTitle(QStringLiteral("About ") + title);
    setWindowIcon(kx::ApplicationIcon());

    QLabel* icon = kx::NamedLabel("picIcon", QString(), this);
    icon->setPixmap(kx::ApplicationIconPixmap(48));
    icon->setAccessibleName(QStringLiteral("Application icon"));
    icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    QLabel* lblTitle = kx::NamedLabel("lblTitle", title, this);
    QFont big = lblTitle->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    lblTitle->setFont(big);
    QLabel* lblVersion = kx::NamedLabel(
        "lblVersion", QString::fromStdString(kx::VersionText(kx::ApplicationVersion)), this);
    QLabel* label2 = kx::NamedLabel(
        "Label2", QStringLiteral("This Software is distributed free with the "), this);
    QLabel* label3 = kx::NamedLabel("Label3", QStringLiteral("KX3105 Evaluation Board"), this);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setAccessibleName(QStringLiteral("Separator"));

    QPushButton* ok = kx::NamedButton("cmdOK", QStringLiteral("&OK"), this);
    QPushButton* sysInfo = kx::NamedButton("cmdSysInfo", QStringLiteral("&System Info..."), this);
    ok->setDefault(true);
    for (auto* button : {ok, sysInfo})
        button->setMinimumWidth(110);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(lblTitle);
    texts->addWidget(lblVersion);
    texts->addSpacing(12);
    texts->addWidget(label2);
    texts->addWidget(label3);

    auto* top = new QHBoxLayout;
    top->setSpacing(16);
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(line);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(host_); });
}
