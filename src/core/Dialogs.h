#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

namespace tarnvue {

enum class MessageIcon { None, Information, Exclamation, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageReply { Ok, Cancel, Yes, No };

// What an open or save dialog is asked for. Filters are in Qt's form, one per
// entry: "Norvane Chart (*.nvc)".
struct FileDialogRequest {
    QString title;
    QString directory;
    QString fileName;
    QStringList filters;
    QString defaultSuffix; // without the dot
    bool confirmOverwrite = true;
};

// Every message box and every file dialog of the program goes through this
// one seam. The default shows real Qt dialogs; tests install a recorder that
// keeps what was shown and answers with scripted replies, so nothing modal
// ever waits for a person.
class Dialogs {
public:
    virtual ~Dialogs() = default;
    virtual MessageReply message(QWidget* parent, const QString& text, MessageIcon icon,
                                 const QString& title, MessageButtons buttons) = 0;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> openFileName(QWidget* parent,
                                                const FileDialogRequest& request) = 0;
    virtual std::optional<QString> saveFileName(QWidget* parent,
                                                const FileDialogRequest& request) = 0;
};

Dialogs& dialogs();
// Installs a dialog implementation; nullptr restores the real dialogs.
void setDialogs(std::shared_ptr<Dialogs> implementation);

// The program's usual report: its title, the exclamation icon, an OK button.
void showExclamation(QWidget* parent, const QString& text);

} // namespace tarnvue
