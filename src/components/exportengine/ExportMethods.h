#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tarnvue {

// The kinds of thing the export engine is handed, by the numbers its callers
// pass: 0 a table, 1 text, 2 a picture, 3 a chart (also maps and vector
// drawings).
enum class ExportObjectType { Table = 0, Text = 1, Picture = 2, Chart = 3 };

// One way the engine can write something out.
struct ExportMethod {
    QString key;          // "HTML"; matched without regard to letter case
    QString displayName;  // "Web Page (HTML)"
    QStringList suffixes; // file name suffixes without the dot; the first is proposed

    QString extension() const { return suffixes.value(0); }
    // The file dialog's filter: "Web Page (HTML) (*.html *.htm)".
    QString filter() const;
};

// The export methods offered for an object type, in the order the user sees
// them; an unknown type offers none.
//   table:   HTML, MHTML, CSV, TXT
//   text:    TXT, HTML, PDF
//   picture: HTML, MHTML, PDF, PNG, SVG
//   chart:   HTML, MHTML, PDF, PNG, SVG, CSV, TXT
QList<ExportMethod> exportMethodsFor(int objectType);
// Every export method any object type offers, once each.
const QList<ExportMethod>& allExportMethods();
// The method of a key among a list (any letter case), or nullptr.
const ExportMethod* findMethod(const QList<ExportMethod>& methods, const QString& key);

// The keys of the two printing methods, which write no file.
inline constexpr char PrinterKey[] = "PRINTER";
inline constexpr char PreviewKey[] = "PREVIEW";
bool isPrintMethod(const QString& key);

// The send-to targets, in the order the user sees them.
struct SendToMethod {
    QString key;
    QString displayName;
};
const QList<SendToMethod>& sendToMethods();

// The display name of any method key (export, print or send-to), or an
// empty text for a key the engine does not know.
QString methodDisplayName(const QString& key);

// A free name for a copy of fileName in folder: the same name when nothing
// is there, else "name (2).ext", "name (3).ext", ...
QString freeFileName(const QString& folder, const QString& fileName);

} // namespace tarnvue
