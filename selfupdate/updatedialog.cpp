#include "updatedialog.h"

#include "coreresources.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

static void registerSelfUpdateResources()
{
    Q_INIT_RESOURCE(selfupdate);
}

namespace {
// The dialog's images live in this library; registering them here spares
// every program that shows the dialog from knowing about them.
void initDialogResources()
{
    static const bool registered = (registerSelfUpdateResources(), initCoreResources(), true);
    Q_UNUSED(registered)
}

QLabel *makeLabel(const QString &objectName, const QString &text, int pointSize, bool bold, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(objectName);
    QFont font(QStringLiteral("Arial"), pointSize);
    font.setBold(bold);
    label->setFont(font);
    return label;
}

QPushButton *makeIconButton(const QString &objectName, const QString &icon, const QSize &iconSize, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(objectName);
    button->setMaximumSize(113, 33);
    button->setIcon(QIcon(icon));
    button->setIconSize(iconSize);
    return button;
}
} // namespace

UpdateDialog::UpdateDialog(QWidget *parent)
    : QDialog(parent)
{
    initDialogResources();
    setObjectName(QStringLiteral("UpdateDialog"));
    resize(450, 267);
    setMinimumSize(0, 0);
    setMaximumSize(5000, 5000);
    setWindowOpacity(1.0);
    setWindowTitle(QStringLiteral("Update Velamaris Tidemart"));

    auto *verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    auto *horizontalLayout_4 = new QHBoxLayout;
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    auto *iconLayout = new QVBoxLayout;
    iconLayout->setObjectName(QStringLiteral("iconLayout"));
    iconLayout->setContentsMargins(10, 10, 10, 0);
    auto *imageLabel = new QLabel(this);
    imageLabel->setObjectName(QStringLiteral("imageLabel_2"));
    imageLabel->setMaximumSize(67, 67);
    imageLabel->setScaledContents(true);
    imageLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    imageLabel->setMargin(0);
    imageLabel->setPixmap(QPixmap(QStringLiteral(":/Images/air-icon.png")));
    iconLayout->addWidget(imageLabel);
    iconLayout->addStretch();
    horizontalLayout_4->addLayout(iconLayout);

    auto *verticalLayout_2 = new QVBoxLayout;
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->addWidget(makeLabel(QStringLiteral("label_2"), QStringLiteral("Update is Available"), 16, false, this));
    verticalLayout_2->addWidget(makeLabel(QStringLiteral("label_3"), QStringLiteral("Velamaris Tidemart"), 16, true, this));
    auto *horizontalLayout = new QHBoxLayout;
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addWidget(makeLabel(QStringLiteral("label_4"), QStringLiteral("version"), 12, false, this));
    mVersionLabel = makeLabel(QStringLiteral("versionLabel"), QStringLiteral("1.4.9"), 12, false, this);
    horizontalLayout->addWidget(mVersionLabel);
    horizontalLayout->addStretch();
    verticalLayout_2->addLayout(horizontalLayout);
    horizontalLayout_4->addLayout(verticalLayout_2);
    verticalLayout->addLayout(horizontalLayout_4);

    QLabel *message = makeLabel(QStringLiteral("label_6"),
                                QStringLiteral("We have delivered important changes. In order to properly access our "
                                               "services, you cannot skip this updaye."),
                                12, true, this);
    message->setWordWrap(true);
    verticalLayout->addWidget(message);

    auto *line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    verticalLayout->addWidget(line);

    auto *horizontalLayout_2 = new QHBoxLayout;
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    auto *horizontalLayout_3 = new QHBoxLayout;
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_2->addStretch();
    mUpdateButton = makeIconButton(QStringLiteral("updateButton"), QStringLiteral(":/Images/Update.png"), QSize(114, 32), this);
    mUpdateButton->setShortcut(QKeySequence(QKeySequence::InsertParagraphSeparator));
    mExitButton = makeIconButton(QStringLiteral("exitButton"), QStringLiteral(":/Images/exit.png"), QSize(113, 32), this);
    horizontalLayout_3->addWidget(mUpdateButton);
    horizontalLayout_3->addWidget(mExitButton);
    horizontalLayout_2->addLayout(horizontalLayout_3);
    verticalLayout->addLayout(horizontalLayout_2);

    QMetaObject::connectSlotsByName(this);
    mUpdateButton->setFocus();
}

void UpdateDialog::setVersionText(const QString &version)
{
    mVersionLabel->setText(version);
}

void UpdateDialog::on_updateButton_clicked()
{
    accept();
}

void UpdateDialog::on_exitButton_clicked()
{
    reject();
}
