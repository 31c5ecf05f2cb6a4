#include "AboutDialogComponent.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace tarnvue {

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AboutDialog"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_icon = new QLabel(this);
    m_icon->setObjectName(QStringLiteral("ProgIcon"));
    m_icon->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    m_name = new QLabel(this);
    m_name->setObjectName(QStringLiteral("ProgramName"));
    QFont nameFont = m_name->font();
    nameFont.setPointSizeF(nameFont.pointSizeF() * 1.6);
    nameFont.setBold(true);
    m_name->setFont(nameFont);

    m_subTitle = new QLabel(this);
    m_subTitle->setObjectName(QStringLiteral("SubTitle"));
    m_subTitle->setWordWrap(true);

    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("VersionInfo"));
    m_version->setTextFormat(Qt::PlainText);
    m_version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("OK_Button"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* texts = new QVBoxLayout;
    texts->addWidget(m_name);
    texts->addWidget(m_subTitle);
    texts->addSpacing(12);
    texts->addWidget(m_version);
    texts->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(m_icon);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
}

void AboutDialog::setTexts(const QString& programName, const QString& subTitle,
                           const QString& versionInfo, const QIcon& icon) {
    setWindowTitle(QStringLiteral("About ") + programName);
    m_name->setText(programName);
    m_subTitle->setText(subTitle);
    // The lines arrive ending in CR LF; a label wants plain line feeds.
    QString lines = versionInfo;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    m_version->setText(lines.trimmed());
    m_icon->setPixmap(icon.isNull() ? QPixmap() : icon.pixmap(48, 48));
    m_icon->setVisible(!icon.isNull());
    if (!icon.isNull())
        setWindowIcon(icon);
}

AboutDialogComponent::AboutDialogComponent(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("NorvaneHelpAbout.AboutDialog"));
}

void AboutDialogComponent::Show() {
    auto* dialog = new AboutDialog(QApplication::activeWindow());
    dialog->setTexts(m_programName, m_subTitle, m_versionInfo, m_icon);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->show();
}

} // namespace tarnvue
