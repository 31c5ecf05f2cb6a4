#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tarnvue {

// Help contexts of the compiled help file.
inline constexpr int PollwatchHelpContext = 3200; // "Help on Pollwatch ..."
inline constexpr int WindowHelpContext = 6300;    // F1 in the window and its dialogs

// Help pages of the product family, addressed by context and topic.
QString helpDocContext();        // "GearloftDoc"
QString introducingToolsTopic(); // "GearloftPHIntroducingTools"
QString tarnvueTopic();          // "GearloftPHPollwatchingToolsTarnvue"

// A string value of the user's settings, or `fallback` when the key is
// missing or holds anything but a string. The text ends before its first NUL.
QString readSettingsString(const QString& organization, const QString& application,
                           const QString& key, const QString& fallback);

// The product family's help folder, QSettings("Norvane", "Gearloft")
// "HelpDirectory"; empty when missing, empty or not a string.
QString helpDirectory();

// "file://" + help folder + separator + "default.htm?context=" + context +
// "&topic=" + topic. The folder is the family's help folder used exactly as
// stored, or else the program directory's "Help" folder.
QString helpTopicAddress(const QString& context, const QString& topic);

// The maker's web addresses.
QString makerWebAddress();
QString updatesAddress();
QString onlineManualAddress();
QString faqAddress();
QString feedbackAddress();

// Shows a page through the "Norvane.Browser" component. Without the
// component the user is told where to get it; a page the component could not
// show is reported as "Web Page not Opened".
void openWebPage(const QString& address, QWidget* parent = nullptr);

// The help commands of the window's Help menu.
void showHelpContents(QWidget* parent);  // "&Contents ..."
void showHelpOnTarnvue(QWidget* parent); // "&Help on Tarnvue ..."
void showHelpOnPollwatch();              // "Help on Pollwatch ...": context 3200
void openUpdatesPage(QWidget* parent);   // "Software &Updates ..."
void openOnlineManual(QWidget* parent);  // "&On-Line Manual ..."
void openFaqPage(QWidget* parent);       // "&Frequently Asked Questions ..."
void openFeedbackPage(QWidget* parent);  // "Provide &Feedback ..."

// The Help button of the node selection and custom period dialogs.
void showDialogHelp(QWidget* dialog);

// F1: the compiled help file at the window's help context. Where the file or
// a viewer for it is missing, the user guide's page for that context opens
// in the desktop's browser instead. Failures are not reported.
void showHelpContext(int contextId);

// The user guide's page (a file name in the Help folder)
// that stands in for a context of the compiled help file.
QString helpPageForContext(int contextId);

// Starts a viewer of the compiled help file at a context; false when there
// is no viewer. Tests replace it; an empty function restores the default.
using CompiledHelpViewer = std::function<bool(const QString& helpFile, int contextId)>;
void setCompiledHelpViewer(CompiledHelpViewer viewer);

} // namespace tarnvue
