#include "ExportEngine.h"

#include "SendFolder.h"
#include "components/ComponentIds.h"
#include "core/ComponentRegistry.h"
#include "core/Dialogs.h"
#include "core/Error.h"
#include "core/ProgramDir.h"
#include "core/ProgramInfo.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMetaObject>
#include <QPrinterInfo>

namespace tarnvue {

namespace {

// Returns every setting to its default even when a server call throws, so a
// failed job never leaks its settings into the next one.
class ResetOnExit {
public:
    explicit ResetOnExit(ExportEngine& engine) : m_engine(engine) {}
    ~ResetOnExit() {
        if (m_armed)
            m_engine.Reset();
    }
    void disarm() { m_armed = false; }

private:
    ExportEngine& m_engine;
    bool m_armed = true;
};

[[noreturn]] void cannotCall(const char* operation) {
    throw Error(
        QStringLiteral("The export engine does not offer %1.").arg(QLatin1String(operation)));
}

bool invokeBool(QObject& server, const char* operation, QGenericArgument a, QGenericArgument b,
                QGenericArgument c = QGenericArgument()) {
    bool result = false;
    const bool called = c.name()
                            ? QMetaObject::invokeMethod(&server, operation, Qt::DirectConnection,
                                                        Q_RETURN_ARG(bool, result), a, b, c)
                            : QMetaObject::invokeMethod(&server, operation, Qt::DirectConnection,
                                                        Q_RETURN_ARG(bool, result), a, b);
    if (!called)
        cannotCall(operation);
    return result;
}

} // namespace

std::vector<EngineMethod> engineMethods(const QVariant& answer) {
    std::vector<EngineMethod> methods;
    for (const QVariant& entry : answer.toList()) {
        const QVariantList pair = entry.toList();
        if (pair.size() >= 2)
            methods.push_back({pair.at(0).toString(), pair.at(1).toString()});
    }
    return methods;
}

ExportEngine::ExportEngine() {
    Reset();
}

ExportEngine::~ExportEngine() = default;

ExportEngine& ExportEngine::shared() {
    static ExportEngine engine;
    return engine;
}

void ExportEngine::Reset() {
    ProgramName = programTitle();
    ProgramVersion = programVersion();
    Title.clear();
    SubTitle.clear();
    Paragraph.clear();
    Footer.clear();
    Orientation = 1;
    ImageHeight = 400;
    ImageWidth = 640;
    TargetFilename.clear();
    InitDir.clear();
    ImageFormat = QStringLiteral("GIF");
    ColumnList.clear();
    FileFormat.clear();
    SelectMethod = false;
    SkipFieldSelection = false;
    SkipFilenameSelection = false;
    Quiet = false;
    DefaultPrinter.clear();
}

std::unique_ptr<QObject> ExportEngine::CreateEngine(bool quiet) {
    std::unique_ptr<QObject> server =
        ComponentRegistry::instance().create(ComponentIds::exportEngine());
    if (!server && !quiet) {
        showExclamation(nullptr,
                        QStringLiteral("Cannot start Norvane Export Engine.\r\nYou may need to "
                                       "reinstall the Norvane software.\r\n\r\nError= The "
                                       "component %1 is not installed.")
                            .arg(ComponentIds::exportEngine()));
    }
    return server;
}

void ExportEngine::PushSettings(QObject& server) {
    // A setting the server refuses is skipped; the rest still go through.
    const std::pair<const char*, QVariant> settings[] = {
        {"ProgramName", ProgramName},
        {"ProgramVersion", ProgramVersion},
        {"Title", Title},
        {"SubTitle", SubTitle},
        {"Paragraph", Paragraph},
        {"Footer", Footer},
        {"ImageHeight", ImageHeight},
        {"ImageWidth", ImageWidth},
        {"ImageFormat", ImageFormat},
        {"FileFormat", FileFormat},
        {"Orientation", Orientation},
        {"TargetFilename", TargetFilename},
        {"InitDir", InitDir},
        {"ColumnList", ColumnList},
        {"SelectMethod", SelectMethod},
        {"SkipFieldSelection", SkipFieldSelection},
        {"SkipFilenameSelection", SkipFilenameSelection},
        {"Quiet", Quiet},
        {"DefaultPrinter", DefaultPrinter},
    };
    for (const auto& [name, value] : settings) {
        if (server.metaObject()->indexOfProperty(name) >= 0)
            server.setProperty(name, value);
    }
}

bool ExportEngine::exportObject(const char* operation, QObject* object, const QString& text,
                                const QString& method, bool passFolder, bool fillFileFormat,
                                bool fillImageFormat, bool objectArgument) {
    std::unique_ptr<QObject> server = CreateEngine(false);
    if (!server)
        return false;
    if (fillFileFormat && FileFormat.isEmpty())
        FileFormat = method;
    if (fillImageFormat && ImageFormat.isEmpty())
        ImageFormat = method;
    PushSettings(*server);

    ResetOnExit reset(*this);
    const QString folder = programDirectory();
    const bool quiet = Quiet;
    const bool noDialog = SkipFilenameSelection;
    bool result = false;
    if (objectArgument) {
        result = passFolder ? invokeBool(*server, operation, Q_ARG(QObject*, object),
                                         Q_ARG(QString, method), Q_ARG(QString, folder))
                            : invokeBool(*server, operation, Q_ARG(QObject*, object),
                                         Q_ARG(QString, method));
    } else {
        result = passFolder
                     ? invokeBool(*server, operation, Q_ARG(QString, text), Q_ARG(QString, method),
                                  Q_ARG(QString, folder))
                     : invokeBool(*server, operation, Q_ARG(QString, text), Q_ARG(QString, method));
    }
    reset.disarm();
    Reset();
    TargetFilename = server->property("TargetFilename").toString();
    // A quiet job shows nothing itself; its failure still reaches the
    // command that started it.
    // (Without a file dialog nobody can have cancelled it.)
    const QString failure = server->property("LastError").toString();
    if (!result && quiet && !failure.isEmpty())
        throw Error(failure);
    if (!result && quiet && noDialog)
        throw Error(QStringLiteral("The export engine did not write the file."));
    return result;
}

bool ExportEngine::ExportTable(QObject* Table, const QString& Method) {
    return exportObject("ExportTable", Table, {}, Method, true, false, false, true);
}

bool ExportEngine::ExportRTF(const QString& RTF, const QString& Method) {
    return exportObject("ExportRTF", nullptr, RTF, Method, true, false, false, false);
}

bool ExportEngine::ExportText(const QString& Text, const QString& Method) {
    return exportObject("ExportText", nullptr, Text, Method, true, false, false, false);
}

bool ExportEngine::ExportTextFile(const QString& FileName, const QString& Method) {
    return exportObject("ExportTextFile", nullptr, FileName, Method, false, false, false, false);
}

bool ExportEngine::ExportEMFFile(const QString& FileName, const QString& Method) {
    return exportObject("ExportEMFFile", nullptr, FileName, Method, true, false, false, false);
}

bool ExportEngine::ExportChart(QObject* Chart, const QString& Method) {
    return exportObject("ExportChart", Chart, {}, Method, true, true, true, true);
}

bool ExportEngine::ExportMap(QObject* Map, const QString& Method) {
    return exportObject("ExportMap", Map, {}, Method, false, true, true, true);
}

bool ExportEngine::ExportPicture(QObject* Picture, const QString& Method) {
    return exportObject("ExportPicture", Picture, {}, Method, true, false, true, true);
}

bool ExportEngine::ExportImageFile(const QString& FileName, const QString& Method) {
    return exportObject("ExportImageFile", nullptr, FileName, Method, true, false, true, false);
}

namespace {

QString printMethod(bool preview) {
    return preview ? QStringLiteral("PREVIEW") : QStringLiteral("PRINTER");
}

} // namespace

bool ExportEngine::PrintTable(QObject* Table, bool Preview) {
    return ExportTable(Table, printMethod(Preview));
}
void ExportEngine::PrintRTF(const QString& RTF, bool Preview) {
    ExportRTF(RTF, printMethod(Preview));
}
void ExportEngine::PrintText(const QString& Text, bool Preview) {
    ExportText(Text, printMethod(Preview));
}
void ExportEngine::PrintTextFile(const QString& FileName, bool Preview) {
    ExportTextFile(FileName, printMethod(Preview));
}
void ExportEngine::PrintEMFFile(const QString& FileName, bool Preview) {
    ExportEMFFile(FileName, printMethod(Preview));
}
bool ExportEngine::PrintChart(QObject* Chart, bool Preview) {
    return ExportChart(Chart, printMethod(Preview));
}
bool ExportEngine::PrintMap(QObject* Map, bool Preview) {
    return ExportMap(Map, printMethod(Preview));
}
void ExportEngine::PrintPicture(QObject* Picture, bool Preview) {
    ExportPicture(Picture, printMethod(Preview));
}
void ExportEngine::PrintImageFile(const QString& FileName, bool Preview) {
    ExportImageFile(FileName, printMethod(Preview));
}

bool ExportEngine::exportAndSend(int objectType, const QString& sendToMethod,
                                 const std::function<bool(const QString&)>& exportCall) {
    if (TargetFilename.isEmpty())
        TargetFilename = SendFolder::newJobFolder() + QDir::separator() + QStringLiteral("Export");
    const QString method = BestExportMethod(objectType, sendToMethod);
    if (sendToMethod.compare(QStringLiteral("MailContent"), Qt::CaseInsensitive) == 0) {
        FileFormat = QStringLiteral("MHTML");
        SelectMethod = false;
    } else {
        FileFormat = method;
        SelectMethod = true;
    }
    SkipFilenameSelection = true;
    Quiet = true;
    ResetOnExit reset(*this);
    const bool ok = exportCall(method);
    if (ok)
        SendTo(TargetFilename, sendToMethod);
    return ok;
}

bool ExportEngine::ExportAndSendTable(QObject* Table, const QString& SendToMethod) {
    return exportAndSend(0, SendToMethod,
                         [&](const QString& method) { return ExportTable(Table, method); });
}

bool ExportEngine::ExportAndSendChart(QObject* Chart, const QString& SendToMethod) {
    return exportAndSend(3, SendToMethod,
                         [&](const QString& method) { return ExportChart(Chart, method); });
}

bool ExportEngine::ExportAndSendMap(QObject* Map, const QString& SendToMethod) {
    return exportAndSend(3, SendToMethod,
                         [&](const QString& method) { return ExportMap(Map, method); });
}

bool ExportEngine::ExportAndSendPicture(QObject* Picture, const QString& SendToMethod) {
    return exportAndSend(2, SendToMethod,
                         [&](const QString& method) { return ExportPicture(Picture, method); });
}

bool ExportEngine::ExportAndSendEMFFile(const QString& EMFFilename, const QString& SendToMethod) {
    return exportAndSend(3, SendToMethod,
                         [&](const QString& method) { return ExportEMFFile(EMFFilename, method); });
}

// Texts go out in the format already chosen (plain text unless set), as a
// web archive when an HTML page goes to a mail target.
bool ExportEngine::exportAndSendText(bool rtf, const QString& text, const QString& sendToMethod) {
    if (TargetFilename.isEmpty())
        TargetFilename = SendFolder::newJobFolder() + QDir::separator() + QStringLiteral("Export");
    SelectMethod = SkipFilenameSelection = Quiet = true;
    if (FileFormat.isEmpty())
        FileFormat = QStringLiteral("txt");
    if (sendToMethod.contains(QStringLiteral(".MAPIMAIL"), Qt::CaseInsensitive) &&
        FileFormat.compare(QStringLiteral("HTML"), Qt::CaseInsensitive) == 0)
        FileFormat = QStringLiteral("MHTML");
    ResetOnExit reset(*this);
    const QString format = FileFormat;
    const bool ok = rtf ? ExportRTF(text, format) : ExportText(text, format);
    if (ok)
        SendTo(TargetFilename, sendToMethod);
    return ok;
}

bool ExportEngine::ExportAndSendRTF(const QString& RTFText, const QString& SendToMethod) {
    return exportAndSendText(true, RTFText, SendToMethod);
}

bool ExportEngine::ExportAndSendText(const QString& Text, const QString& SendToMethod) {
    return exportAndSendText(false, Text, SendToMethod);
}

QVariant ExportEngine::SendTo(const QString& FileName, const QString& SendToMethod) {
    std::unique_ptr<QObject> server = CreateEngine(false);
    if (!server)
        return {};
    PushSettings(*server);
    ResetOnExit reset(*this);
    bool result = false;
    if (!QMetaObject::invokeMethod(server.get(), "SendTo", Qt::DirectConnection,
                                   Q_RETURN_ARG(bool, result), Q_ARG(QString, FileName),
                                   Q_ARG(QString, SendToMethod)))
        cannotCall("SendTo");
    return result;
}

QStringList ExportEngine::ExportMethods(int ObjectType) {
    std::unique_ptr<QObject> server = CreateEngine(true);
    QVariantList answer;
    if (!server ||
        !QMetaObject::invokeMethod(server.get(), "ExportMethods", Qt::DirectConnection,
                                   Q_RETURN_ARG(QVariantList, answer), Q_ARG(int, ObjectType)))
        return {};
    QStringList keys;
    for (const EngineMethod& m : engineMethods(answer))
        keys << m.key;
    return keys;
}

QString ExportEngine::MethodName(const QString& Method) {
    std::unique_ptr<QObject> server = CreateEngine(true);
    QString name;
    if (server)
        QMetaObject::invokeMethod(server.get(), "MethodName", Qt::DirectConnection,
                                  Q_RETURN_ARG(QString, name), Q_ARG(QString, Method));
    return name;
}

std::vector<EngineMethod> ExportEngine::SendToMethods() {
    std::unique_ptr<QObject> server = CreateEngine(true);
    QVariantList answer;
    if (!server || !QMetaObject::invokeMethod(server.get(), "SendToMethods", Qt::DirectConnection,
                                              Q_RETURN_ARG(QVariantList, answer)))
        return {};
    return engineMethods(answer);
}

std::vector<QAction*> ExportEngine::fillMenu(QMenu* menu, QAction* placeholder,
                                             const QString& prefix,
                                             const std::vector<EngineMethod>& methods) {
    std::vector<QAction*> added;
    const QList<QAction*> actions = menu->actions();
    const qsizetype at = actions.indexOf(placeholder);
    QAction* before = at >= 0 && at + 1 < actions.size() ? actions.at(at + 1) : nullptr;
    for (const EngineMethod& method : methods) {
        auto* action = new QAction(method.name, menu);
        action->setData(method.key);
        action->setObjectName(prefix + method.key);
        action->setVisible(true);
        action->setEnabled(true);
        menu->insertAction(before, action);
        added.push_back(action);
    }
    // The designed placeholder shows only when the server offers nothing.
    if (!added.empty())
        placeholder->setVisible(false);
    return added;
}

std::vector<QAction*> ExportEngine::LoadExportsMenu(QMenu* Menu, QAction* Placeholder,
                                                    const QString& Prefix, int ObjectType) {
    std::unique_ptr<QObject> server = CreateEngine(true);
    QVariantList answer;
    if (!server ||
        !QMetaObject::invokeMethod(server.get(), "ExportMethods", Qt::DirectConnection,
                                   Q_RETURN_ARG(QVariantList, answer), Q_ARG(int, ObjectType)))
        return {};
    return fillMenu(Menu, Placeholder, Prefix.isEmpty() ? QStringLiteral("Export:") : Prefix,
                    engineMethods(answer));
}

std::vector<QAction*> ExportEngine::LoadSendToMenu(QMenu* Menu, QAction* Placeholder,
                                                   const QString& Prefix) {
    const std::vector<EngineMethod> methods = SendToMethods();
    if (methods.empty())
        return {};
    return fillMenu(Menu, Placeholder, Prefix.isEmpty() ? QStringLiteral("SendTo:") : Prefix,
                    methods);
}

QString ExportEngine::BestExportMethod(int ObjectType, const QString& Method) {
    switch (ObjectType) {
    case 0:
    case 2:
    case 3:
        return Method.contains(QStringLiteral(".MAPIMAIL"), Qt::CaseInsensitive)
                   ? QStringLiteral("MHTML")
                   : QStringLiteral("HTML");
    case 1:
        return QStringLiteral("TXT");
    default:
        return {};
    }
}

QString ExportEngine::FileNamePart(const QString& Path, bool StripExtension) {
    QString part = Path;
    part.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const qsizetype slash = part.lastIndexOf(QLatin1Char('\\'));
    if (slash >= 0)
        part = part.mid(slash + 1);
    const qsizetype colon = part.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0)
        part = part.mid(colon + 1);
    if (StripExtension) {
        const qsizetype dot = part.lastIndexOf(QLatin1Char('.'));
        if (dot >= 0)
            part = part.left(dot);
    }
    return part;
}

bool ExportEngine::NoPrinters(QWidget* parent) {
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        return false;
    dialogs().message(parent,
                      QStringLiteral("You do not have a Printer installed.\r\nYou must install a "
                                     "Printer before you can print."),
                      MessageIcon::Critical, programTitle(), MessageButtons::Ok);
    return true;
}

} // namespace tarnvue
