#include "TestEnvironment.h"

#include "AppState.h"
#include "Settings.h"

#include <QLoggingCategory>
#include <QMutex>

namespace {
// Where audit.sql lines go while an environment records them.
QStringList* sqlLines = nullptr;
QMutex sqlMutex;
QtMessageHandler previousHandler = nullptr;
QLoggingCategory::CategoryFilter previousFilter = nullptr;

bool isSqlCategory(const char* name)
{
    return name && qstrcmp(name, "audit.sql") == 0;
}

void sqlFilter(QLoggingCategory* category)
{
    if (previousFilter)
        previousFilter(category);
    if (isSqlCategory(category->categoryName()))
        category->setEnabled(QtDebugMsg, true);
}

void sqlHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!isSqlCategory(context.category)) {
        if (previousHandler)
            previousHandler(type, context, message);
        return;
    }
    QMutexLocker lock(&sqlMutex);
    if (sqlLines)
        sqlLines->append(message);
}
} // namespace

TestEnvironment::TestEnvironment()
{
    SetSettingsFile(m_folder.filePath(QStringLiteral("auditlog-test.conf")));
    ResetAppState();
    ClearRunFailure();
    m_previousResponder = SetMessageResponder([this](const MessageRequest& request) {
        m_messages.append(request);
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        const bool yesNo =
            request.buttons == MsgButtons::YesNo || request.buttons == MsgButtons::YesNoCancel;
        return yesNo ? MsgAnswer::Yes : MsgAnswer::Ok;
    });
    m_previousEndHandler = SetEndHandler([this](int status) { m_endStatuses.append(status); });
}

TestEnvironment::~TestEnvironment()
{
    if (m_recordingSql) {
        qInstallMessageHandler(previousHandler);
        QLoggingCategory::installFilter(previousFilter);
        QMutexLocker lock(&sqlMutex);
        sqlLines = nullptr;
    }
    SetMessageResponder(m_previousResponder);
    SetEndHandler(m_previousEndHandler);
    SetSettingsFile(QString());
    ResetAppState();
    ClearRunFailure();
}

void TestEnvironment::setSetting(const QString& key, const QString& value)
{
    SaveSettingValue(key, value);
}

void TestEnvironment::setLevels(const QString& letters)
{
    const QString keys[] = {SettingKey::LevelStatus, SettingKey::LevelWarning,
                            SettingKey::LevelError, SettingKey::LevelFatalError};
    for (int i = 0; i < 4; ++i)
        SaveSettingValue(keys[i], letters.contains(QLatin1Char("SWEF"[i])) ? "True" : "False");
}

QStringList TestEnvironment::messageTexts() const
{
    QStringList texts;
    for (const MessageRequest& request : m_messages)
        texts.append(request.text);
    return texts;
}

void TestEnvironment::recordSqlLog()
{
    if (m_recordingSql)
        return;
    {
        QMutexLocker lock(&sqlMutex);
        sqlLines = &m_sqlLog;
    }
    m_recordingSql = true;
    previousHandler = qInstallMessageHandler(sqlHandler);
    previousFilter = QLoggingCategory::installFilter(sqlFilter);
}

QStringList TestEnvironment::sqlLog(const QString& kind) const
{
    QMutexLocker lock(&sqlMutex);
    if (kind.isEmpty())
        return m_sqlLog;
    QStringList texts;
    for (const QString& line : m_sqlLog)
        if (line.startsWith(kind + QLatin1Char(':')))
            texts.append(line.mid(8)); // every kind is padded to eight columns
    return texts;
}
