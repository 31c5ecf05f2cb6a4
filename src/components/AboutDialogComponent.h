#pragma once

#include <QDialog>
#include <QIcon>
#include <QObject>
#include <QString>

class QLabel;

namespace tarnvue {

// The window the About component shows: the program's icon, name, subtitle
// and version lines, and an OK button. It deletes itself when closed.
class AboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

    void setTexts(const QString& programName, const QString& subTitle, const QString& versionInfo,
                  const QIcon& icon);

    QLabel* IconLabel() const { return m_icon; }
    QLabel* NameLabel() const { return m_name; }
    QLabel* SubTitleLabel() const { return m_subTitle; }
    QLabel* VersionLabel() const { return m_version; }

private:
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_subTitle = nullptr;
    QLabel* m_version = nullptr;
};

// The About dialog component ("NorvaneHelpAbout.AboutDialog"), driven by
// name: set ProgramName, SubTitle, VersionInfo and ProgIcon, then call Show.
// Show opens an application-modal About window that outlives the component,
// so the caller may release the component at once.
class AboutDialogComponent : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName READ programName WRITE setProgramName)
    Q_PROPERTY(QString SubTitle READ subTitle WRITE setSubTitle)
    Q_PROPERTY(QString VersionInfo READ versionInfo WRITE setVersionInfo)
    Q_PROPERTY(QIcon ProgIcon READ progIcon WRITE setProgIcon)

public:
    explicit AboutDialogComponent(QObject* parent = nullptr);

    QString programName() const { return m_programName; }
    void setProgramName(const QString& value) { m_programName = value; }
    QString subTitle() const { return m_subTitle; }
    void setSubTitle(const QString& value) { m_subTitle = value; }
    QString versionInfo() const { return m_versionInfo; }
    void setVersionInfo(const QString& value) { m_versionInfo = value; }
    QIcon progIcon() const { return m_icon; }
    void setProgIcon(const QIcon& value) { m_icon = value; }

    // Shows the About window over the active window and returns at once.
    Q_INVOKABLE void Show();

private:
    QString m_programName;
    QString m_subTitle;
    QString m_versionInfo;
    QIcon m_icon;
};

} // namespace tarnvue
