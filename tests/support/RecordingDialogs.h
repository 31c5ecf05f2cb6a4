#pragma once

#include "core/Dialogs.h"

#include <QList>
#include <QStringList>
#include <deque>

namespace tarnvue::test {

// Stands in for every message box and file dialog: keeps what was shown and
// answers with scripted replies (OK, and "cancel" for file dialogs, unless a
// test queued something else).
class RecordingDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        MessageIcon icon;
        QString title;
        bool busy = false; // the hourglass showed over it
    };

    MessageReply message(QWidget* parent, const QString& text, MessageIcon icon,
                         const QString& title, MessageButtons buttons) override;
    std::optional<QString> openFileName(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QString> saveFileName(QWidget* parent,
                                        const FileDialogRequest& request) override {
        return openFileName(parent, request);
    }

    QList<Message> messages;
    QList<FileDialogRequest> fileRequests;
    std::deque<MessageReply> replies;
    // Paths the file dialogs answer, in turn; an empty path is a cancel.
    std::deque<QString> fileAnswers;

    QStringList texts() const;
};

// Installs a recorder for the life of the scope and restores the real
// dialogs afterwards.
class DialogRecorderScope {
public:
    DialogRecorderScope();
    ~DialogRecorderScope();
    RecordingDialogs& operator*() const { return *m_recorder; }
    RecordingDialogs* operator->() const { return m_recorder.get(); }

private:
    std::shared_ptr<RecordingDialogs> m_recorder;
};

} // namespace tarnvue::test
