#pragma once

#include <QString>
#include <exception>

namespace tarnvue {

// A failure that a command reports to the user. The description is what the
// message box shows after the command's fixed sentence; database errors carry
// the driver's text, numeric overflow carries "Overflow".
class Error : public std::exception {
public:
    explicit Error(QString description) : m_description(std::move(description)) {}
    const QString& description() const noexcept { return m_description; }
    const char* what() const noexcept override;

private:
    QString m_description;
    mutable QByteArray m_what;
};

// The text a command shows for a failure: its fixed sentence, CR LF, and the
// error's description.
QString failureText(const QString& sentence, const QString& description);

} // namespace tarnvue
