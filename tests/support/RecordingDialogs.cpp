#include "RecordingDialogs.h"

#include <QApplication>

namespace tarnvue::test {

MessageReply RecordingDialogs::message(QWidget*, const QString& text, MessageIcon icon,
                                       const QString& title, MessageButtons buttons) {
    messages.append({text, icon, title, QApplication::overrideCursor() != nullptr});
    if (!replies.empty()) {
        const MessageReply reply = replies.front();
        replies.pop_front();
        return reply;
    }
    return buttons == MessageButtons::YesNo || buttons == MessageButtons::YesNoCancel
               ? MessageReply::Yes
               : MessageReply::Ok;
}

std::optional<QString> RecordingDialogs::openFileName(QWidget*, const FileDialogRequest& request) {
    fileRequests.append(request);
    if (fileAnswers.empty())
        return std::nullopt;
    const QString answer = fileAnswers.front();
    fileAnswers.pop_front();
    if (answer.isEmpty())
        return std::nullopt;
    return answer;
}

QStringList RecordingDialogs::texts() const {
    QStringList result;
    for (const Message& m : messages)
        result.append(m.text);
    return result;
}

DialogRecorderScope::DialogRecorderScope() : m_recorder(std::make_shared<RecordingDialogs>()) {
    setDialogs(m_recorder);
}

DialogRecorderScope::~DialogRecorderScope() {
    setDialogs(nullptr);
}

} // namespace tarnvue::test
