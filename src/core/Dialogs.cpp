#include "Dialogs.h"

#include "ProgramInfo.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace tarnvue {

namespace {

// Messages are built with CR LF (or a lone CR) between lines; Qt wants LF.
QString plainLineBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons qtButtons(MessageButtons buttons) {
    switch (buttons) {
    case MessageButtons::Ok:
        return QMessageBox::Ok;
    case MessageButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case MessageButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MessageButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

void prepare(QFileDialog& dialog, const FileDialogRequest& request) {
    dialog.setWindowTitle(request.title);
    if (!request.directory.isEmpty())
        dialog.setDirectory(request.directory);
    if (!request.filters.isEmpty())
        dialog.setNameFilters(request.filters);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty() && !request.fileName.contains(QLatin1Char('*')))
        dialog.selectFile(request.fileName);
}

class QtDialogs : public Dialogs {
public:
    MessageReply message(QWidget* parent, const QString& text, MessageIcon icon,
                         const QString& title, MessageButtons buttons) override {
        QMessageBox box(qtIcon(icon), title, text, qtButtons(buttons), parent);
        // Database texts and paths are shown as they are, never as markup.
        box.setTextFormat(Qt::PlainText);
        box.setText(plainLineBreaks(text));
        switch (box.exec()) {
        case QMessageBox::Cancel:
            return MessageReply::Cancel;
        case QMessageBox::Yes:
            return MessageReply::Yes;
        case QMessageBox::No:
            return MessageReply::No;
        default:
            return MessageReply::Ok;
        }
    }

    std::optional<QString> openFileName(QWidget* parent,
                                        const FileDialogRequest& request) override {
        QFileDialog dialog(parent);
        prepare(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }

    std::optional<QString> saveFileName(QWidget* parent,
                                        const FileDialogRequest& request) override {
        QFileDialog dialog(parent);
        prepare(dialog, request);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (!request.confirmOverwrite)
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return dialog.selectedFiles().constFirst();
    }
};

std::shared_ptr<Dialogs>& installed() {
    static std::shared_ptr<Dialogs> implementation = std::make_shared<QtDialogs>();
    return implementation;
}

} // namespace

Dialogs& dialogs() {
    return *installed();
}

void setDialogs(std::shared_ptr<Dialogs> implementation) {
    installed() = implementation ? std::move(implementation) : std::make_shared<QtDialogs>();
}

void showExclamation(QWidget* parent, const QString& text) {
    dialogs().message(parent, text, MessageIcon::Exclamation, programTitle(), MessageButtons::Ok);
}

} // namespace tarnvue
