#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QObject;
class QWidget;

namespace tarnvue {

// One method an export engine offers: its key and the name the user sees.
struct EngineMethod {
    QString key;
    QString name;
};

// The program's side of the export engine server ("NorvaneExports7.Engine").
// It keeps the settings of the next job, creates a server for each job,
// copies the settings onto it by name, calls it, reads back the file it
// wrote and returns every setting to its default. It also fills the Export
// and Send To menus from the methods the server offers.
//
// Errors the server raises during a call are not caught here: they reach the
// command as Error. A quiet job (one that shows no message itself) that fails
// is thrown as Error with the server's reason, so the command still reports it.
class ExportEngine {
public:
    ExportEngine();
    ~ExportEngine();

    // The program's one instance, created on first use.
    static ExportEngine& shared();

    // Settings (plain storage; Reset restores the defaults).
    QString ProgramName;
    QString ProgramVersion;
    QString Title;
    QString SubTitle;
    QString Paragraph;
    QString Footer;
    int Orientation = 1;
    int ImageHeight = 400;
    int ImageWidth = 640;
    QString TargetFilename;
    QString InitDir;
    QString ImageFormat;
    QString ColumnList;
    QString FileFormat;
    bool SelectMethod = false;
    bool SkipFieldSelection = false;
    bool SkipFilenameSelection = false;
    bool Quiet = false;
    QString DefaultPrinter;

    // Print family: the export of the same kind of thing with the method
    // "PREVIEW" or "PRINTER".
    bool PrintTable(QObject* Table, bool Preview = false);
    void PrintRTF(const QString& RTF, bool Preview = false);
    void PrintText(const QString& Text, bool Preview = false);
    void PrintTextFile(const QString& FileName, bool Preview = false);
    void PrintEMFFile(const QString& FileName, bool Preview = false);
    bool PrintChart(QObject* Chart, bool Preview = false);
    bool PrintMap(QObject* Map, bool Preview = false);
    void PrintPicture(QObject* Picture, bool Preview = false);
    void PrintImageFile(const QString& FileName, bool Preview = false);

    // Export family. False without a server (reported once, settings kept).
    bool ExportTable(QObject* Table, const QString& Method);
    bool ExportRTF(const QString& RTF, const QString& Method);
    bool ExportText(const QString& Text, const QString& Method);
    bool ExportTextFile(const QString& FileName, const QString& Method);
    bool ExportEMFFile(const QString& FileName, const QString& Method);
    bool ExportChart(QObject* Chart, const QString& Method);
    bool ExportMap(QObject* Map, const QString& Method);
    bool ExportPicture(QObject* Picture, const QString& Method);
    bool ExportImageFile(const QString& FileName, const QString& Method);

    // Export, then hand the file to a send-to target.
    bool ExportAndSendTable(QObject* Table, const QString& SendToMethod);
    bool ExportAndSendChart(QObject* Chart, const QString& SendToMethod);
    bool ExportAndSendMap(QObject* Map, const QString& SendToMethod);
    bool ExportAndSendPicture(QObject* Picture, const QString& SendToMethod);
    bool ExportAndSendRTF(const QString& RTFText, const QString& SendToMethod);
    bool ExportAndSendEMFFile(const QString& EMFFilename, const QString& SendToMethod);
    bool ExportAndSendText(const QString& Text, const QString& SendToMethod);

    // Hands a file to a send-to target; an invalid variant without a server.
    QVariant SendTo(const QString& FileName, const QString& SendToMethod);

    // Queries: silent, empty without a server.
    QStringList ExportMethods(int ObjectType = 0);
    QString MethodName(const QString& Method);
    std::vector<EngineMethod> SendToMethods();

    // Fills a menu's method list: one action per method, inserted after the
    // placeholder (which is hidden when the server offers any method). Each
    // new action carries its key as data and Prefix + key as object name.
    // Silent without a server: the menu keeps its placeholder.
    std::vector<QAction*> LoadExportsMenu(QMenu* Menu, QAction* Placeholder,
                                          const QString& Prefix = {}, int ObjectType = 0);
    std::vector<QAction*> LoadSendToMenu(QMenu* Menu, QAction* Placeholder,
                                         const QString& Prefix = {});

    // The export method that suits a send-to target for an object type.
    static QString BestExportMethod(int ObjectType, const QString& Method);
    // The last part of a path ("\" and "/" alike, then after the last ":"),
    // without its extension if asked.
    static QString FileNamePart(const QString& Path, bool StripExtension);

    // True, after telling the user, when the machine has no printer.
    bool NoPrinters(QWidget* parent = nullptr);

    void Reset();

private:
    std::unique_ptr<QObject> CreateEngine(bool quiet);
    void PushSettings(QObject& server);
    bool exportObject(const char* operation, QObject* object, const QString& text,
                      const QString& method, bool passFolder, bool fillFileFormat,
                      bool fillImageFormat, bool objectArgument);
    bool exportAndSend(int objectType, const QString& sendToMethod,
                       const std::function<bool(const QString&)>& exportCall);
    bool exportAndSendText(bool rtf, const QString& text, const QString& sendToMethod);
    std::vector<QAction*> fillMenu(QMenu* menu, QAction* placeholder, const QString& prefix,
                                   const std::vector<EngineMethod>& methods);
};

// The methods of a server's ordered list answer ({key, name} pairs).
std::vector<EngineMethod> engineMethods(const QVariant& answer);

} // namespace tarnvue
