#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantList>
#include <functional>
#include <optional>

class QPagedPaintDevice;
class QPrinter;

namespace tarnvue {

class ChartControl;
struct ExportMethod;
struct PrintedPage;

// The export engine: prints, previews, exports to files and hands files on
// to send-to targets. Callers create it through the component registry by
// ComponentIds::exportEngine() and drive it by name only: the settings are
// properties written with setProperty, the operations are invokable methods
// called with QMetaObject::invokeMethod.
//
// Settings:
// - Title, SubTitle, Paragraph, Footer: the texts of pages and printouts;
//   where empty, the chart's own titles and footer are used.
// - ImageWidth, ImageHeight: the picture size in pixels (PNG, SVG, and the
//   picture inside pages and printouts).
// - Orientation: 1 portrait, 2 landscape, for printouts and PDF documents.
// - FileFormat: when it names a method the object offers, it wins over the
//   method argument (a send-to job asks for "MHTML" this way).
// - TargetFilename, InitDir: the file to write and the folder it goes in when
//   relative ("\" is read as a folder separator too). After a job that wrote
//   a file TargetFilename holds that file's full path.
// - SkipFilenameSelection: write to TargetFilename without a file dialog,
//   adding the method's extension unless the name already ends in it.
// - SelectMethod: the file dialog offers only the method's file type; when
//   false it offers every type of the object and the extension of the chosen
//   name picks the format.
// - Quiet: no message boxes; with a DefaultPrinter naming a ".pdf" file,
//   PRINTER prints straight into that file with no dialog. DefaultPrinter
//   otherwise preselects an installed printer.
// - ProgramName, ProgramVersion: the generator named in pages and PDFs.
// - ImageFormat, ColumnList, SkipFieldSelection: accepted and kept; pictures
//   inside pages are always PNG and every column is written.
// - LastError (read only): why the last call failed, shown or not; empty
//   after a call that worked or was cancelled by the user.
//
// Writing a name that is not one of these settings is refused: setProperty
// returns false and no dynamic property is left behind.
class ExportEngineServer : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString ProgramName MEMBER m_programName)
    Q_PROPERTY(QString ProgramVersion MEMBER m_programVersion)
    Q_PROPERTY(QString Title MEMBER m_title)
    Q_PROPERTY(QString SubTitle MEMBER m_subTitle)
    Q_PROPERTY(QString Paragraph MEMBER m_paragraph)
    Q_PROPERTY(QString Footer MEMBER m_footer)
    Q_PROPERTY(int ImageHeight MEMBER m_imageHeight)
    Q_PROPERTY(int ImageWidth MEMBER m_imageWidth)
    Q_PROPERTY(QString ImageFormat MEMBER m_imageFormat)
    Q_PROPERTY(QString FileFormat MEMBER m_fileFormat)
    Q_PROPERTY(int Orientation MEMBER m_orientation)
    Q_PROPERTY(QString TargetFilename MEMBER m_targetFilename)
    Q_PROPERTY(QString InitDir MEMBER m_initDir)
    Q_PROPERTY(QString ColumnList MEMBER m_columnList)
    Q_PROPERTY(bool SelectMethod MEMBER m_selectMethod)
    Q_PROPERTY(bool SkipFieldSelection MEMBER m_skipFieldSelection)
    Q_PROPERTY(bool SkipFilenameSelection MEMBER m_skipFilenameSelection)
    Q_PROPERTY(bool Quiet MEMBER m_quiet)
    Q_PROPERTY(QString DefaultPrinter MEMBER m_defaultPrinter)
    Q_PROPERTY(QString LastError READ lastError)

public:
    explicit ExportEngineServer(QObject* parent = nullptr);
    ~ExportEngineServer() override;

    QString lastError() const { return m_lastError; }

    // Exports of objects. The object must be a ChartControl; a table is its
    // data, a picture or map its drawing. Method "PRINTER" prints, "PREVIEW"
    // opens a print preview, anything else is an export method key.
    Q_INVOKABLE bool ExportChart(QObject* chart, const QString& method,
                                 const QString& programFolder);
    Q_INVOKABLE bool ExportTable(QObject* table, const QString& method,
                                 const QString& programFolder);
    Q_INVOKABLE bool ExportPicture(QObject* picture, const QString& method,
                                   const QString& programFolder);
    Q_INVOKABLE bool ExportMap(QObject* map, const QString& method);
    // Exports of text (object type 1). RTF text is taken as it is: there is
    // no RTF reader, so it is written and printed as plain text.
    Q_INVOKABLE bool ExportRTF(const QString& text, const QString& method,
                               const QString& programFolder);
    Q_INVOKABLE bool ExportText(const QString& text, const QString& method,
                                const QString& programFolder);
    Q_INVOKABLE bool ExportTextFile(const QString& fileName, const QString& method);
    // Exports of picture files: PNG and PDF, or printing. The "metafile" is
    // an SVG drawing (any image Qt reads is taken as well).
    Q_INVOKABLE bool ExportEMFFile(const QString& fileName, const QString& method,
                                   const QString& programFolder);
    Q_INVOKABLE bool ExportImageFile(const QString& fileName, const QString& method,
                                     const QString& programFolder);

    // Hands a file to a send-to target; true when it worked.
    Q_INVOKABLE bool SendTo(const QString& fileName, const QString& sendToKey);

    // Ordered lists of QVariantList{key, display name}.
    Q_INVOKABLE QVariantList ExportMethods(int objectType);
    Q_INVOKABLE QVariantList SendToMethods();
    Q_INVOKABLE QVariantList SentToMethods(); // the same list under its other name
    // The display name of an export, print or send-to key; "" when unknown.
    Q_INVOKABLE QString MethodName(const QString& key);

    // Replaces starting programs (program and arguments) and opening URLs
    // (program empty) while set, so that tests open no mail program or
    // browser. The function's result stands for the launch's success.
    using Launcher =
        std::function<bool(const QString& program, const QStringList& args, const QUrl& url)>;
    static void setLauncherForTests(Launcher launcher);

protected:
    bool event(QEvent* event) override;

private:
    bool exportObject(int objectType, QObject* object, const QString& method);
    bool exportTextContent(const QString& text, const QString& method);
    bool exportImage(const QImage& image, const QString& method);

    const ExportMethod* chooseMethod(const QList<ExportMethod>& offered,
                                     const QString& method) const;
    // The file to write: TargetFilename, or the user's choice in the file
    // dialog (which may change *method). Nothing on cancel.
    std::optional<QString> targetPath(const QList<ExportMethod>& offered,
                                      const ExportMethod*& method);

    bool
    writeExport(const QList<ExportMethod>& offered, const QString& method, const QString& what,
                const std::function<bool(const ExportMethod&, const QString&, QString*)>& write);
    bool writeChart(ChartControl& chart, const ExportMethod& method, const QString& path,
                    QString* reason);
    QString chartPageHtml(ChartControl& chart, const QImage& image, const QString& source) const;
    PrintedPage chartPage(ChartControl& chart);
    bool writePdf(const QString& path, const std::function<bool(QPagedPaintDevice&)>& render,
                  QString* reason) const;
    bool print(bool preview, const std::function<bool(QPrinter&)>& render);
    bool printPage(bool preview, const PrintedPage& page);

    bool launch(const QString& program, const QStringList& args, const QUrl& url) const;
    bool copyInto(const QString& path, const QString& folder);
    bool fail(const QString& text) const;
    int imageWidth() const;
    int imageHeight() const;
    QString generator() const;

    QString m_programName;
    QString m_programVersion;
    QString m_title;
    QString m_subTitle;
    QString m_paragraph;
    QString m_footer;
    int m_imageHeight = 400;
    int m_imageWidth = 640;
    QString m_imageFormat;
    QString m_fileFormat;
    int m_orientation = 1;
    QString m_targetFilename;
    QString m_initDir;
    QString m_columnList;
    bool m_selectMethod = false;
    bool m_skipFieldSelection = false;
    bool m_skipFilenameSelection = false;
    bool m_quiet = false;
    QString m_defaultPrinter;
    mutable QString m_lastError;
};

// Makes the engine creatable through the component registry.
void registerExportEngine();

} // namespace tarnvue
