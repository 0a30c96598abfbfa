#include "frmAbout.h"

#include "HelpTopics.h"
#include "LevelIcons.h"
#include "VersionRecord.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

// The two fixed notices; the load leaves them as they are.
const char* const ConfidentialityNotice =
    "This program and its documentation contain confidential information of Velmora "
    "and are provided under a licence agreement.";
const char* const CopyrightWarning =
    "Warning: this computer program is protected by copyright law and international "
    "treaties. Unauthorized reproduction or distribution of this program, or any portion "
    "of it, may result in severe civil and criminal penalties.";

QLabel* makeLabel(QWidget* parent, const QString& name, bool wrap = false)
{
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(wrap);
    return label;
}

QFrame* makeLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

frmAbout::frmAbout(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(true);

    auto* image = makeLabel(this, QStringLiteral("Image1"));
    image->setPixmap(LevelIcons::forKey(QStringLiteral("REPORT")).pixmap(64, 64));
    image->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* text = new QVBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_titles[i] = makeLabel(this, QStringLiteral("Titles%1").arg(i));
        text->addWidget(m_titles[i]);
    }
    QFont productFont = m_titles[0]->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 1.6);
    productFont.setBold(true);
    m_titles[0]->setFont(productFont);
    text->addWidget(makeLine(this));
    for (int i = 0; i < 2; ++i) {
        m_copyright[i] = makeLabel(this, QStringLiteral("Copyright%1").arg(i), true);
        text->addWidget(m_copyright[i]);
    }
    text->addWidget(makeLine(this));
    const char* const notices[] = {ConfidentialityNotice, CopyrightWarning};
    for (int i = 0; i < 2; ++i) {
        QLabel* warning = makeLabel(this, QStringLiteral("Warning%1").arg(i), true);
        warning->setText(QString::fromLatin1(notices[i]));
        text->addWidget(warning);
    }
    text->addWidget(makeLine(this));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OK"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &frmAbout::OK_Click);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ok, QDialogButtonBox::AcceptRole);
    text->addWidget(buttons);

    auto* layout = new QGridLayout(this);
    layout->addWidget(image, 0, 0);
    layout->addLayout(text, 0, 1);
    layout->setColumnMinimumWidth(1, 380);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    InstallHelpKey(this, QStringLiteral("about.html"));
    Form_Load();
}

void frmAbout::Form_Load()
{
    const VersionRecord version = ProgramVersion();
    setWindowTitle(QStringLiteral("About ") + version.fileDescription);
    m_titles[0]->setText(version.productName);
    m_titles[1]->setText(version.fileDescription);
    m_titles[2]->setText(VersionText(version));
    m_copyright[0]->setText(version.copyright);
    m_copyright[1]->setText(version.trademark);
}

void frmAbout::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - frameGeometry().width()) / 2,
         area.y() + (area.height() - frameGeometry().height()) / 2);
}

void frmAbout::OK_Click()
{
    accept();
}
